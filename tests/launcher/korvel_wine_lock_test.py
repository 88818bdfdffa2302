"""The real launcher, headless, with COM1 on a device of its own: korvel-unit's
pseudo-terminal. It holds the device for the utility under Wine, which still
programs the unit through it while korvel-program and minicom are turned away,
and lets go once Wine ends; and it refuses a device minicom holds, naming it,
before Wine starts. Every program started here is ended by its pid, Wine with
wine-exec --kill, and no lock file is left behind."""

import os
import shutil
import subprocess
import sys
import time
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import korvel_drive as kd  # noqa: E402
from korvel_test_support import (BLANK, Minicom, Unit, hex_line, lock_path, lock_pid,  # noqa: E402
                                 minicom_once)

LAUNCHER = os.path.join(kd.TOP, "launcher", "korvel-wine")


class LauncherLockTest(unittest.TestCase):
    def setUp(self):
        self.dir = os.path.join(kd.ARGS.out, self.id().split(".")[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)
        self.unit = Unit(os.path.join(kd.ARGS.native_build, "sim", "korvel-unit", "korvel-unit"),
                         self.dir)
        self.addCleanup(self.assert_no_lock_left)
        self.addCleanup(self.unit.kill)

    def assert_no_lock_left(self):
        if os.path.lexists(lock_path(self.unit.path)):
            os.remove(lock_path(self.unit.path))
            self.fail("%s was left behind" % lock_path(self.unit.path))

    def run_program(self):
        return subprocess.run([os.path.join(kd.ARGS.native_build, "cli", "korvel-program"),
                               "--port", self.unit.path, "HELLO"],
                              capture_output=True, text=True, timeout=30)

    def test_it_holds_the_device_while_the_utility_runs_and_lets_go_after(self):
        session = kd.Session(os.path.join(self.dir, "session"), arch=kd.ARGS.arch,
                             win_build=kd.ARGS.win_build, native_build=kd.ARGS.native_build,
                             com1=self.unit.path, headless=True,
                             prefix=os.path.join(kd.ARGS.out, "wineprefix"))
        session.start()
        self.addCleanup(session.stop)

        # Where each port leads is said first.
        with open(session.unit_out) as f:
            said = f.read()
        self.assertIn("korvel-wine: COM1 leads to %s\n" % self.unit.path, said)
        self.assertIn("korvel-wine: COM2 leads to nowhere", said)
        self.assertRegex(said, r"korvel-wine: the (32|64)-bit korvel.exe")

        holder = lock_pid(self.unit.path)
        self.assertIsNotNone(holder, "the device is not locked")
        with open("/proc/%d/comm" % holder) as f:
            self.assertEqual(f.read().strip(), "korvel-wine")
        refused = self.run_program()
        self.assertEqual(refused.returncode, 3, refused.stderr)
        self.assertEqual(refused.stderr, "korvel-program: %s is in use by korvel-wine (pid %d); "
                         "try again once it is done.\n" % (self.unit.path, holder))
        minicom = minicom_once(self.unit.path, self.dir)
        self.assertIn("Device %s is locked." % self.unit.path, minicom.stdout + minicom.stderr)

        # The utility itself opens the device it is held for.
        session.click(kd.PORT1, wait=True)
        session.type("HELD FOR ME", kd.MESSAGE)
        session.click(kd.PROGRAM, wait=True)
        kd.wait_for(lambda: len(self.unit.frames()) >= 2, 60, "the utility's frames")
        self.assertEqual(self.unit.frames(),
                         [hex_line(BLANK), hex_line(kd.message_frame(b"HELD FOR ME"))])

        session.stop()
        self.assertFalse(os.path.lexists(lock_path(self.unit.path)), "the lock outlived Wine")
        ran = self.run_program()
        self.assertEqual(ran.returncode, 0, ran.stderr)
        self.assertEqual(len(self.unit.received()), 244)

    def test_it_refuses_a_device_minicom_holds_naming_it_before_wine_starts(self):
        minicom = Minicom(self.unit.path, self.dir)
        self.addCleanup(minicom.end)
        prefix = os.path.join(self.dir, "wineprefix")
        self.addCleanup(subprocess.run, [os.path.join(kd.TOP, "launcher", "wine-exec"),
                                         kd.ARGS.arch, prefix, "--kill"])
        start = time.monotonic()
        launcher = subprocess.run(
            [LAUNCHER, "--headless", "--arch", kd.ARGS.arch, "--prefix", prefix,
             "--exe", os.path.join(kd.ARGS.win_build, "app", "korvel.exe"),
             "--com1", self.unit.path], capture_output=True, text=True, timeout=60)
        self.assertLess(time.monotonic() - start, 5)
        self.assertEqual(launcher.returncode, 3, launcher.stderr)
        self.assertEqual(launcher.stderr, "korvel-wine: %s is in use by minicom (pid %d); try "
                         "again once it is done.\n" % (self.unit.path, minicom.pid))
        self.assertFalse(os.path.exists(prefix), "Wine was started")
        self.assertEqual(lock_pid(self.unit.path), minicom.pid)
        self.assertEqual(self.unit.received(), b"")


if __name__ == "__main__":
    kd.run_tests()
