"""The Windows console korvel-program.exe under Wine: COM1 of a private prefix
leads to korvel-unit's pseudo-terminal, COM2 to nothing. Wine and the unit are
stopped again, also when a case fails."""

import argparse
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
from unit_on_pty import BLANK, Unit, hex_line, padded

ARGS = None


class WindowsConsoleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Class cleanups run even when this fails half-way, last added first.
        cls.tools = os.path.join(ARGS.source, "tools")
        lines = ARGS.prefix + ".lines"
        subprocess.run([os.path.join(cls.tools, "wine-prefix.sh"), ARGS.arch, ARGS.prefix, "null",
                        os.path.join(lines, "com1"), os.path.join(lines, "com2")],
                       check=True, stdout=subprocess.DEVNULL)
        work = tempfile.mkdtemp(prefix="korvel-program-wine-")
        cls.addClassCleanup(shutil.rmtree, work, True)
        cls.unit = Unit(ARGS.unit, work)
        cls.addClassCleanup(cls.unit.kill)
        # Wine lets go of the terminal before the unit goes away.
        cls.addClassCleanup(subprocess.run,
                            [os.path.join(cls.tools, "wine-exec"), ARGS.arch, ARGS.prefix, "--kill"])

        os.makedirs(lines, exist_ok=True)
        links = [os.path.join(lines, name) for name in ("com1", "com2")]

        def remove_links():
            # A link left behind would lead COM1 to whatever terminal gets
            # the unit's number next.
            for link in links:
                if os.path.lexists(link):
                    os.remove(link)
        remove_links()
        cls.addClassCleanup(remove_links)
        os.symlink(cls.unit.path, links[0])

    def run_program(self, *args):
        return subprocess.run([os.path.join(self.tools, "wine-exec"), ARGS.arch, ARGS.prefix,
                               ARGS.exe] + list(args), capture_output=True, timeout=120)

    def test_a_run_on_com1_sends_both_frames_and_a_missing_port_gives_3(self):
        before = self.unit.frames()
        result = self.run_program("--port", "com1", "HELLO", "WORLD")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"korvel-program: com1: programmed", result.stderr)
        self.assertEqual(self.unit.frames(),
                         before + [hex_line(BLANK), hex_line(padded(b"HELLO\r\nWORLD"))])

        result = self.run_program("--port", "COM1", "--text", r"CAF\xC9\x1Arest")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.unit.frames()[-1], hex_line(b"CAF\xc9\x1a"))

        # COM2 leads to a terminal that is not there; Wine has no COM17.
        for port, said in (("COM2", b"korvel-program: COM2 "), ("COM17", b"COM17 does not exist")):
            with self.subTest(port=port):
                missing = self.run_program("--port", port, "HELLO")
                self.assertEqual(missing.returncode, 3, missing.stderr)
                self.assertIn(said, missing.stderr)

    def test_refusals_and_the_dry_run_open_nothing(self):
        before = self.unit.frames()
        for args, said in ((["--port", "COM1", "X" * 29], b"line 1 is 29 characters"),
                           (["--port", "/dev/ttyS0", "HI"], b"--port takes a port such as COM1"),
                           (["--port", "COM1", "--text", r"\q"], b"is no escape")):
            with self.subTest(args=args):
                result = self.run_program(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(said, result.stderr)
        dry = self.run_program("--dry-run", "HELLO", "WORLD")
        self.assertEqual(dry.returncode, 0, dry.stderr)
        self.assertIn(b"|HELLO                       |", dry.stdout)
        version = self.run_program("--version")
        self.assertTrue(version.stdout.startswith(b"korvel-program "), version.stdout)
        self.assertEqual(self.unit.frames(), before)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("--arch", "--exe", "--unit", "--source", "--prefix"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
