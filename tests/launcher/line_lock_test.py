"""line-lock, which holds serial lines for the utility under Wine, with a
stand-in for the utility: it takes each line as korvel-program does, in the
real lock directory, holds them while the process it is given runs or until it
is told to stop, and refuses a line another program holds, naming it, while
holding none. Every program started here is ended by its pid, and no lock file
is left behind."""

import os
import signal
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import (KorvelTestCase, Minicom, end, lock_path, lock_pid, main,  # noqa: E402
                                 minicom_once)


class LineLockTest(KorvelTestCase):
    scratch_prefix = "korvel-line-lock-test-"

    def start(self, *command, **options):
        return self.start_program(*command[1:], binary=command[0], text=True, **options)

    def hold(self, *args):
        return self.start(self.args.line_lock, *args)

    def program_unit(self, unit):
        return self.run_program("--port", unit.path, "HELLO", text=True)

    def test_it_holds_the_lines_while_the_process_runs_and_lets_go_when_it_ends(self):
        units = [self.start_unit(), self.start_unit()]
        stand_in = self.start("sleep", "600")
        holder = self.hold("--while", str(stand_in.pid), *[unit.path for unit in units])
        self.assertEqual(holder.stdout.readline(), "held\n")
        for unit in units:
            with self.subTest(unit=unit.path):
                # Named as the holder: the process the lines are held for.
                self.assertEqual(lock_pid(unit.path), stand_in.pid)
                refused = self.program_unit(unit)
                self.assertEqual(refused.returncode, 3, refused.stderr)
                self.assertIn("%s is in use by sleep (pid %d)" % (unit.path, stand_in.pid),
                              refused.stderr)
                minicom = minicom_once(unit.path, self.work)
                self.assertIn("Device %s is locked." % unit.path, minicom.stdout + minicom.stderr)

        start = time.monotonic()
        end(stand_in)
        self.assertEqual(holder.wait(timeout=10), 0, holder.stderr.read())
        self.assertLess(time.monotonic() - start, 3)
        for unit in units:
            with self.subTest(unit=unit.path):
                self.assertFalse(os.path.lexists(lock_path(unit.path)))
                # Its flock went too; the refused run and minicom sent nothing.
                ran = self.program_unit(unit)
                self.assertEqual(ran.returncode, 0, ran.stderr)
                self.assertEqual(len(unit.received()), 122)

    def test_told_to_stop_it_lets_go(self):
        for stop in (signal.SIGTERM, signal.SIGINT, signal.SIGHUP):
            with self.subTest(signal=stop.name):
                unit = self.start_unit()
                holder = self.hold(unit.path)
                self.assertEqual(holder.stdout.readline(), "held\n")
                self.assertEqual(lock_pid(unit.path), holder.pid)
                holder.send_signal(stop)
                self.assertEqual(holder.wait(timeout=10), 0)
                self.assertFalse(os.path.lexists(lock_path(unit.path)))
                self.assertEqual(self.program_unit(unit).returncode, 0)

    def test_a_line_another_program_holds_is_refused_naming_it_and_none_is_held(self):
        free, taken = self.start_unit(), self.start_unit()
        minicom = Minicom(taken.path, self.work)
        self.addCleanup(minicom.end)
        start = time.monotonic()
        holder = self.hold("--while", str(os.getpid()), free.path, taken.path)
        said, errors = holder.communicate(timeout=10)
        self.assertLess(time.monotonic() - start, 3)
        self.assertEqual(holder.returncode, 3)
        self.assertEqual(said, "")
        self.assertEqual(errors, "line-lock: %s is in use by minicom (pid %d); try again once it "
                         "is done.\n" % (taken.path, minicom.pid))
        self.assertFalse(os.path.lexists(lock_path(free.path)), "the free line stayed held")
        self.assertEqual(lock_pid(taken.path), minicom.pid)


if __name__ == "__main__":
    main("line_lock", "program", "unit")
