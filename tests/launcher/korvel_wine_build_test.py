"""launcher/korvel-wine where the builds it runs are not there yet, as after
make install: it names everything missing at once and builds it with one make
command, then goes on; a build that fails stops it before anything starts; a
korvel-unit installed on PATH serves as the simulated unit. The launcher runs
from a copy of launcher/ with an empty build folder beside it; make, Wine's
loader and its server are stand-ins that record their calls (make's "builds"
by linking the real korvel-unit and line-lock into place), so that nothing is
built and Wine is not started. A pseudo-terminal plays the serial device; the
units started are ended by the launcher, and no lock file is left behind."""

import argparse
import os
import shutil
import stat
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import lock_path  # noqa: E402

LAUNCHER = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "launcher")
SCRIPTS = ("korvel-wine", "wine-arch", "wine-env.sh", "wine-exec", "wine-prefix.sh")
ARGS = None

# Records each call; wineboot makes the prefix's registry; a Windows program
# "runs" by ending at once, as a utility closed straight away.
LOADER = """#!/bin/sh
echo "loader $*" >>"$CALLS"
case "$1" in
  --version) echo wine-8.0 ;;
  wineboot) mkdir -p "$WINEPREFIX" && touch "$WINEPREFIX/system.reg" ;;
esac
"""

# make korvel-wine: records the call; unless told to fail, leaves korvel.exe
# and links the real korvel-unit and line-lock where the build puts them.
MAKE = """#!/bin/sh
echo "make $*" >>"$CALLS"
if [ -n "${MAKE_FAILS:-}" ]; then echo "make: *** [Makefile] Error 1" >&2; exit 2; fi
top=$2
mkdir -p "$top/build/win64/app" "$top/build/native/sim/korvel-unit" \\
         "$top/build/native/launcher/line-lock"
echo stand-in >"$top/build/win64/app/korvel.exe"
ln -sf "$REAL_UNIT" "$top/build/native/sim/korvel-unit/korvel-unit"
ln -sf "$REAL_LINE_LOCK" "$top/build/native/launcher/line-lock/line-lock"
"""

# An installed korvel-unit: records that it ran, then is the real one.
INSTALLED_UNIT = """#!/bin/sh
echo "installed korvel-unit $*" >>"$CALLS"
exec "$REAL_UNIT" "$@"
"""


class KorvelWineBuildTest(unittest.TestCase):
    def setUp(self):
        self.dir = tempfile.mkdtemp(prefix="korvel-wine-build-")
        self.addCleanup(shutil.rmtree, self.dir, True)
        self.top = os.path.join(self.dir, "top")
        os.makedirs(os.path.join(self.top, "launcher"))
        for script in SCRIPTS:
            shutil.copy2(os.path.join(LAUNCHER, script), os.path.join(self.top, "launcher"))
        self.calls = os.path.join(self.dir, "calls")
        self.shims = os.path.join(self.dir, "shims")
        os.makedirs(self.shims)
        self.executable(self.shims, "make", MAKE)
        self.loader = self.executable(self.dir, "wine64", LOADER)
        self.server = self.executable(self.dir, "wineserver", "#!/bin/sh\nexit 0\n")
        # Only the stand-in's korvel-unit, or none at all.
        path = [d for d in os.environ["PATH"].split(os.pathsep)
                if d and not os.path.exists(os.path.join(d, "korvel-unit"))]
        self.environment = {k: v for k, v in os.environ.items()
                            if k not in ("KORVEL_WIN_ARCH", "DISPLAY", "MAKEFLAGS")}
        self.environment.update(PATH=os.pathsep.join([self.shims] + path), CALLS=self.calls,
                                KORVEL_WINE_LOADER_X64=self.loader,
                                KORVEL_WINESERVER=self.server,
                                REAL_UNIT=os.path.abspath(ARGS.unit),
                                REAL_LINE_LOCK=os.path.abspath(ARGS.line_lock))
        # The serial device: a pseudo-terminal's far end.
        self.master, slave = os.openpty()
        self.device = os.ttyname(slave)
        os.close(slave)
        self.addCleanup(os.close, self.master)
        self.addCleanup(self.assert_no_lock_left)

    def executable(self, folder, name, text):
        path = os.path.join(folder, name)
        with open(path, "w") as f:
            f.write(text)
        os.chmod(path, stat.S_IRWXU)
        return path

    def assert_no_lock_left(self):
        if os.path.lexists(lock_path(self.device)):
            os.remove(lock_path(self.device))
            self.fail("%s was left behind" % lock_path(self.device))

    def launch(self, *ports):
        return subprocess.run([os.path.join(self.top, "launcher", "korvel-wine"), "--headless",
                               "--arch", "x64", "--prefix", os.path.join(self.dir, "prefix")]
                              + list(ports), env=self.environment, capture_output=True,
                              text=True, timeout=120)

    def calls_made(self, what):
        if not os.path.exists(self.calls):
            return []
        with open(self.calls) as f:
            return [line.rstrip("\n") for line in f if line.startswith(what + " ")]

    def utility_runs(self):
        exe = os.path.join(self.top, "build", "win64", "app", "korvel.exe")
        return [call for call in self.calls_made("loader") if call == "loader " + exe]

    def test_everything_missing_is_named_at_once_built_by_one_command_and_then_run(self):
        ports = ("--com1", "sim", "--com2", self.device)
        first = self.launch(*ports)
        self.assertEqual(first.returncode, 0, first.stdout + first.stderr)
        self.assertIn("korvel-wine: not built yet: the 64-bit korvel.exe, the unit simulator "
                      "korvel-unit and line-lock, which holds the devices. Building them now "
                      "with 'make korvel-wine ARCH=x64'", first.stdout)
        self.assertEqual(self.calls_made("make"),
                         ["make -C %s --no-print-directory korvel-wine ARCH=x64" % self.top])
        # And on, with what was built: the unit it started, the device held.
        self.assertRegex(first.stdout, r"korvel-wine: COM1 leads to a simulated unit on /dev/")
        self.assertIn("korvel-wine: COM2 leads to %s\n" % self.device, first.stdout)
        self.assertEqual(len(self.utility_runs()), 1)

        # Once built, nothing is built again.
        again = self.launch(*ports)
        self.assertEqual(again.returncode, 0, again.stdout + again.stderr)
        self.assertNotIn("not built yet", again.stdout)
        self.assertEqual(len(self.calls_made("make")), 1)
        self.assertEqual(len(self.utility_runs()), 2)

    def test_only_what_the_ports_need_is_missing_and_a_failed_build_stops_before_wine(self):
        self.environment["MAKE_FAILS"] = "1"
        failed = self.launch("--com1", "none")
        self.assertEqual(failed.returncode, 2)
        self.assertIn("korvel-wine: not built yet: the 64-bit korvel.exe. Building it now",
                      failed.stdout)
        self.assertIn("make: *** [Makefile] Error 1", failed.stderr)
        self.assertTrue(failed.stderr.endswith(
            "korvel-wine: the build did not succeed (its messages are above); 'make korvel-wine "
            "ARCH=x64' in %s tries again.\n" % self.top), failed.stderr)
        self.assertEqual(self.utility_runs(), [])
        self.assertFalse(os.path.exists(os.path.join(self.dir, "prefix")), "Wine was set up")

    def test_a_mistaken_port_is_said_before_any_build(self):
        for ports, said in ((("--com1", "/dev/no-such-tty"), "COM1: /dev/no-such-tty does not exist"),
                            (("--com2", "ttyUSB0"),
                             "COM2: 'ttyUSB0' is neither 'sim', 'none' nor a device path.")):
            refused = self.launch(*ports)
            self.assertEqual(refused.returncode, 2)
            self.assertIn(said, refused.stderr)
        self.assertEqual(self.calls_made("make"), [])

    def test_an_installed_korvel_unit_serves_as_the_simulated_unit_with_nothing_built(self):
        exe = os.path.join(self.top, "build", "win64", "app", "korvel.exe")
        os.makedirs(os.path.dirname(exe))
        with open(exe, "w") as f:
            f.write("stand-in")
        installed = os.path.join(self.dir, "installed", "bin")
        os.makedirs(installed)
        self.executable(installed, "korvel-unit", INSTALLED_UNIT)
        self.environment["PATH"] += os.pathsep + installed

        ran = self.launch("--com1", "sim", "--unit-args", "--count 1")
        self.assertEqual(ran.returncode, 0, ran.stdout + ran.stderr)
        self.assertNotIn("not built yet", ran.stdout)
        self.assertEqual(self.calls_made("make"), [])
        self.assertEqual(len(self.calls_made("installed")), 1)
        self.assertIn("--count 1", self.calls_made("installed")[0])
        self.assertRegex(ran.stdout, r"korvel-wine: COM1 leads to a simulated unit on /dev/")
        self.assertEqual(len(self.utility_runs()), 1)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--unit", required=True)
    parser.add_argument("--line-lock", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
