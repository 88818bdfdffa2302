"""The Windows console korvel-program.exe under Wine: COM1 of a private prefix
leads to korvel-unit's pseudo-terminal, COM2 to nothing. Wine and the unit are
stopped again, also when a case fails."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import (BLANK, Ser2net, Unit, free_port, hex_line,  # noqa: E402
                                 message_frame, padded)

ARGS = None


class WindowsConsoleTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        # Class cleanups run even when this fails half-way, last added first.
        cls.launcher = os.path.join(ARGS.source, "launcher")
        lines = ARGS.prefix + ".lines"
        subprocess.run([os.path.join(cls.launcher, "wine-prefix.sh"), ARGS.arch, ARGS.prefix, "null",
                        os.path.join(lines, "com1"), os.path.join(lines, "com2")],
                       check=True, stdout=subprocess.DEVNULL)
        work = tempfile.mkdtemp(prefix="korvel-program-wine-")
        cls.addClassCleanup(shutil.rmtree, work, True)
        cls.unit = Unit(ARGS.unit, work)
        cls.addClassCleanup(cls.unit.kill)
        # Wine lets go of the terminal before the unit goes away.
        cls.addClassCleanup(subprocess.run,
                            [os.path.join(cls.launcher, "wine-exec"), ARGS.arch, ARGS.prefix, "--kill"])

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
        return subprocess.run([os.path.join(self.launcher, "wine-exec"), ARGS.arch, ARGS.prefix,
                               ARGS.exe] + list(args), capture_output=True, timeout=120)

    def test_com1_gets_both_frames_a_unix_device_is_refused_and_a_missing_port_gives_3(self):
        noted = len(self.unit.frames())
        result = self.run_program("--port", "com1", "HELLO", "WORLD")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn(b"korvel-program: com1: programmed", result.stderr)
        self.assertEqual(self.unit.frames_after(noted + 2)[-2:],
                         [hex_line(BLANK), hex_line(padded(b"HELLO\r\nWORLD"))])
        result = self.run_program("--port", "COM1", "--text", r"CAF\xC9\x1Arest")
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertEqual(self.unit.frames_after(noted + 4)[-1], hex_line(b"CAF\xc9\x1a"))

        before = self.unit.frames()
        # COM2 leads to a terminal that is not there; Wine has no COM17.
        for args, status, said in ((["--port", "COM2", "HELLO"], 3, b"korvel-program: COM2 "),
                                   (["--port", "COM17", "HELLO"], 3, b"COM17 does not exist"),
                                   (["--port", "/dev/ttyS0", "HI"], 2,
                                    b"is no COM port; a port is one such as COM1")):
            with self.subTest(args=args):
                result = self.run_program(*args)
                self.assertEqual(result.returncode, status, result.stderr)
                self.assertIn(said, result.stdout + result.stderr)
        self.assertEqual(self.unit.frames(), before)

    def test_network_ports_through_winsock_beside_com1_in_one_command(self):
        work = tempfile.mkdtemp(prefix="korvel-program-wine-net-")
        self.addCleanup(shutil.rmtree, work, True)
        units = []
        for name in ("raw", "rfc2217"):
            os.makedirs(os.path.join(work, name))
            units.append(Unit(ARGS.unit, os.path.join(work, name)))
            self.addCleanup(units[-1].kill)
        server = Ser2net(work, [("raw", units[0].path, "9600n81,local"),
                                ("rfc2217", units[1].path, "19200n81")])
        self.addCleanup(server.kill)
        ports = ["socket://127.0.0.1:%d" % server.ports[0],
                 "rfc2217://localhost:%d" % server.ports[1], "COM1"]
        noted = {unit.path: len(unit.frames()) for unit in units + [self.unit]}
        result = self.run_program(*[a for p in ports for a in ("--port", p)], "--", "-SALE-")
        self.assertEqual(result.returncode, 0, result.stderr)
        for unit in units + [self.unit]:
            self.assertEqual(unit.frames_after(noted[unit.path] + 2)[-2:],
                             [hex_line(BLANK), hex_line(message_frame(b"-SALE-"))])
        nobody = "socket://127.0.0.1:%d" % free_port()
        refused = self.run_program("--port", nobody, "HI")
        self.assertEqual(refused.returncode, 3, refused.stderr)
        self.assertIn(b"%s could not be used: the connection was refused" % nobody.encode(),
                      refused.stderr)

    def test_the_ports_of_the_prefix_are_listed_as_lines_and_as_json(self):
        lines = self.run_program("--list-ports")
        self.assertEqual(lines.returncode, 0, lines.stderr)
        listed = self.run_program("--list-ports", "--json")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        ports = [json.loads(line) for line in listed.stdout.decode().splitlines()]
        self.assertIn("COM1", [port["port"] for port in ports])
        self.assertEqual([line.split()[0] for line in lines.stdout.decode().splitlines()],
                         [port["port"] for port in ports])


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    for name in ("--arch", "--exe", "--unit", "--source", "--prefix"):
        parser.add_argument(name, required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
