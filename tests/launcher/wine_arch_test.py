"""How Windows programs are run here: the choice of build and Wine loader
(launcher/wine-arch), and what the scripts that follow it say when Wine cannot
start. Stand-in loaders play a machine without 32-bit support and one with it.
"""

import os
import shutil
import stat
import struct
import subprocess
import tempfile
import unittest

LAUNCHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "launcher")

# A loader that records how it was called, answers --version, and fails to
# make a prefix when told to.
WORKING_LOADER = """#!/bin/sh
echo "$(basename "$0") $* WINEARCH=$WINEARCH WINEPREFIX=$WINEPREFIX" >>"$CALLS"
case "$1" in
  --version) echo "wine-8.0" ;;
  wineboot) [ -z "${FAIL_BOOT:-}" ] || { echo "wineboot: cannot create $WINEPREFIX" >&2; exit 1; } ;;
esac
"""


def foreign_elf():
    """An executable for another machine: the kernel refuses it with ENOEXEC,
    as a kernel without 32-bit support refuses Wine's 32-bit loader."""
    header = b"\x7fELF" + bytes([2, 1, 1, 0]) + bytes(8)
    header += struct.pack("<HHIQQQIHHHHHH", 2, 183, 1, 0x400078, 64, 0, 0, 64, 56, 1, 0, 0, 0)
    program = struct.pack("<IIQQQQQQ", 1, 5, 0, 0x400000, 0x400000, 120, 120, 0x1000)
    return header + program


class WineArchTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="wine-arch-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.calls = os.path.join(self.dir, "calls")
        self.working32 = self.executable("wine", WORKING_LOADER.encode())
        self.working64 = self.executable("wine64", WORKING_LOADER.encode())
        self.refused32 = self.executable("wine32-refused", foreign_elf())
        self.server = self.executable("wineserver", b"#!/bin/sh\nexit 0\n")

    def executable(self, name, content):
        path = os.path.join(self.dir, name)
        with open(path, "wb") as f:
            f.write(content)
        os.chmod(path, stat.S_IRWXU)
        return path

    def run_tool(self, args, loader32, loader64=None, **env):
        environment = {k: v for k, v in os.environ.items() if k != "KORVEL_WIN_ARCH"}
        environment.update(KORVEL_WINE_LOADER_X86=loader32,
                           KORVEL_WINE_LOADER_X64=loader64 or self.working64,
                           KORVEL_WINESERVER=self.server, CALLS=self.calls, **env)
        return subprocess.run([os.path.join(LAUNCHER, args[0])] + args[1:], env=environment,
                              capture_output=True, text=True, timeout=60)

    def calls_made(self):
        if not os.path.exists(self.calls):
            return []
        with open(self.calls) as f:
            return f.read().splitlines()

    def test_without_32_bit_support_the_64_bit_build_is_chosen_and_the_reason_said_once(self):
        chosen = self.run_tool(["wine-arch"], self.refused32)
        self.assertEqual((chosen.returncode, chosen.stdout), (0, "x64\n"))
        self.assertEqual(len(chosen.stderr.splitlines()), 1)
        self.assertIn("Exec format error", chosen.stderr)

        runnable = self.run_tool(["wine-arch", "--runnable"], self.refused32)
        self.assertEqual((runnable.returncode, runnable.stdout), (0, "x64\n"))
        self.assertEqual(len(runnable.stderr.splitlines()), 1)
        self.assertIn("32-bit build", runnable.stderr)

        check = self.run_tool(["wine-arch", "--check", "x86"], self.refused32)
        self.assertEqual(check.returncode, 1)
        self.assertIn("Exec format error", check.stderr)
        self.assertIn("32-bit emulation disabled", check.stderr)
        self.assertIn("KORVEL_WIN_ARCH=x64", check.stderr)

    def test_with_32_bit_support_both_run_and_the_32_bit_build_is_chosen(self):
        chosen = self.run_tool(["wine-arch"], self.working32)
        self.assertEqual((chosen.returncode, chosen.stdout, chosen.stderr), (0, "x86\n", ""))
        runnable = self.run_tool(["wine-arch", "--runnable"], self.working32)
        self.assertEqual((runnable.returncode, runnable.stdout, runnable.stderr),
                         (0, "x86 x64\n", ""))
        self.assertTrue(all("--version" in call for call in self.calls_made()))

    def test_the_variable_forces_a_build_and_a_wrong_value_is_refused(self):
        for loader32 in (self.working32, self.refused32):
            forced = self.run_tool(["wine-arch", "--runnable"], loader32, KORVEL_WIN_ARCH="x64")
            self.assertEqual(forced.stdout, "x64\n")
        forced = self.run_tool(["wine-arch"], self.refused32, KORVEL_WIN_ARCH="x86")
        self.assertEqual(forced.stdout, "x86\n")  # forced; running it is what fails
        wrong = self.run_tool(["wine-arch"], self.working32, KORVEL_WIN_ARCH="arm")
        self.assertEqual(wrong.returncode, 2)
        self.assertIn("x86 or x64", wrong.stderr)

    def test_no_64_bit_loader_fails_with_what_to_do(self):
        missing = os.path.join(self.dir, "no-such-wine64")
        for args in (["wine-arch"], ["wine-arch", "--runnable"]):
            result = self.run_tool(args, self.refused32, loader64=missing)
            self.assertNotEqual(result.returncode, 0, args)
            self.assertEqual(result.stdout, "")
            self.assertIn("not installed", result.stderr)
            self.assertIn("make deps", result.stderr)

    def test_a_prefix_that_cannot_be_made_says_why_and_is_not_taken_for_made(self):
        prefix = os.path.join(self.dir, "prefix")
        result = self.run_tool(["wine-prefix.sh", "x64", prefix, "null"], self.working32,
                               FAIL_BOOT="1")
        self.assertEqual(result.returncode, 1)
        self.assertIn("could not make the prefix", result.stderr)
        self.assertIn("wineboot: cannot create " + prefix, result.stderr)
        self.assertFalse(os.path.exists(os.path.join(prefix, ".korvel-made")))

    def test_the_launcher_says_why_once_and_starts_nothing(self):
        result = self.run_tool(["korvel-wine", "--com1", "sim"], self.refused32,
                               KORVEL_WIN_ARCH="x86", DISPLAY=":0")
        self.assertEqual(result.returncode, 2)
        self.assertEqual(result.stderr.count("Exec format error"), 1, result.stderr)
        self.assertIn("KORVEL_WIN_ARCH=x64", result.stderr)
        self.assertEqual(result.stdout, "")  # no unit was started: it would print its terminal

    def test_the_launcher_says_which_build_in_one_plain_line_and_refuses_what_is_no_terminal(self):
        exe = self.executable("korvel.exe", b"MZ")
        prefix = os.path.join(self.dir, "prefix")
        result = self.run_tool(["korvel-wine", "--headless", "--exe", exe, "--prefix", prefix,
                                "--com1", "/dev/null"], self.refused32)
        self.assertEqual(result.stdout,
                         "korvel-wine: the 64-bit korvel.exe (this machine does not run 32-bit "
                         "programs)\n")
        self.assertNotIn("Exec format error", result.stderr, "all is well: no error text")
        self.assertEqual(result.returncode, 3)
        self.assertIn("korvel-wine: /dev/null is not a serial port", result.stderr)
        self.assertFalse(os.path.exists(prefix), "Wine was started")

        where32 = self.run_tool(["korvel-wine", "--headless", "--exe", exe, "--prefix", prefix,
                                 "--com1", "/dev/null"], self.working32)
        self.assertTrue(where32.stdout.startswith("korvel-wine: the 32-bit korvel.exe\n"),
                        where32.stdout)


if __name__ == "__main__":
    unittest.main(verbosity=2)
