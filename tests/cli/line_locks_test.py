"""korvel-program beside the serial programs it shares lines with, on
pseudo-terminals, with the real lock directory (/var/lock), where minicom looks
too: minicom (its lock file) and picocom (its flock) each turn it away by name
and nothing is sent; it turns them away while it runs; its lock goes however
it ends; and what a stranger put in the lock directory neither hangs it nor is
touched. Every program started here is ended by its pid, and no lock file is
left behind."""

import os
import re
import signal
import stat
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import (BLANK, KorvelTestCase, Minicom, Picocom, dead_pid,  # noqa: E402
                                 hex_line, lock_files_of, lock_path, lock_pid, main,
                                 minicom_once, padded, picocom_once, wait_for)


class LocksTestCase(KorvelTestCase):
    scratch_prefix = "korvel-locks-test-"

    def minicom(self, device):
        minicom = Minicom(device, self.work)
        self.addCleanup(minicom.end)
        return minicom

    def picocom(self, device):
        picocom = Picocom(device)
        self.addCleanup(picocom.end)
        return picocom

    def start_program(self, *args, **kwargs):
        kwargs.setdefault("text", True)
        return super().start_program(*args, **kwargs)

    def assert_nothing_sent(self, unit):
        time.sleep(0.2)  # a byte on its way would have arrived by now
        self.assertEqual(unit.received(), b"")


class HeldByAnotherProgramTest(LocksTestCase):
    def test_minicom_holds_the_line_by_its_lock_file_even_under_another_name(self):
        unit = self.start_unit()
        minicom = self.minicom(unit.path)
        link = os.path.join(self.work, "usb-KORVEL-if00")
        os.symlink(unit.path, link)
        for port in (unit.path, link):
            with self.subTest(port=port):
                result = self.run_program("--port", port, "HELLO")
                self.assertEqual(result.returncode, 3, result.stderr)
                self.assertEqual(result.stderr, "korvel-program: %s is in use by minicom (pid %d);"
                                 " try again once it is done.\n" % (port, minicom.pid))
        self.assert_nothing_sent(unit)
        self.assertEqual(lock_pid(unit.path), minicom.pid, "minicom's lock was touched")

    def test_picocom_holds_the_line_by_its_flock(self):
        unit = self.start_unit()
        picocom = self.picocom(unit.path)
        result = self.run_program("--port", unit.path, "HELLO")
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertEqual(result.stderr, "korvel-program: %s is in use by picocom (pid %d);"
                         " try again once it is done.\n" % (unit.path, picocom.pid))
        self.assert_nothing_sent(unit)
        self.assertFalse(os.path.lexists(lock_path(unit.path)), "the refused run left its lock")


    def test_of_several_ports_each_is_taken_as_it_opens_and_a_held_one_alone_is_refused(self):
        free, held = self.start_unit(), self.start_unit()
        minicom = self.minicom(held.path)
        result = self.run_program("--port", free.path, "--port", held.path, "HELLO")
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertIn("korvel-program: %s: programmed" % free.path, result.stderr)
        self.assertIn("korvel-program: %s is in use by minicom (pid %d)" % (held.path, minicom.pid),
                      result.stderr)
        self.assertEqual(len(free.received()), 122)
        self.assert_nothing_sent(held)
        self.assertFalse(os.path.lexists(lock_path(free.path)))


class HoldingTest(LocksTestCase):
    def test_while_it_runs_minicom_and_picocom_are_turned_away_and_the_run_is_byte_exact(self):
        unit = self.start_unit("--answer-delay", "10")
        program = self.start_program("--port", unit.path, "FIRST", "RUN")
        wait_for(lambda: len(unit.received()) >= 3, "the run to start")
        self.assertEqual(lock_pid(unit.path), program.pid)

        minicom = minicom_once(unit.path, self.work)
        self.assertNotEqual(minicom.returncode, 0)
        self.assertIn("Device %s is locked." % unit.path, minicom.stdout + minicom.stderr)
        picocom = picocom_once(unit.path)
        self.assertNotEqual(picocom.returncode, 0)
        # As root the open goes through and the flock refuses; otherwise TIOCEXCL does.
        self.assertRegex(picocom.stdout + picocom.stderr,
                         r"FATAL: cannot (lock|open) %s" % re.escape(unit.path))
        self.assertLess(len(unit.received()), 122, "the run ended before they were tried")

        _, errors = program.communicate(timeout=30)
        self.assertEqual(program.returncode, 0, errors)
        self.assertEqual(unit.frames_after(2), [hex_line(BLANK), hex_line(padded(b"FIRST\r\nRUN"))])
        self.assertEqual(len(unit.received()), 122)

    def test_its_lock_goes_however_the_run_ends(self):
        # Answered slowly enough that the run is seen under way before it ends.
        for how, options, status in [("done", ("--answer-delay", "5"), 0),
                                     ("failed", ("--no-answer",), 4),
                                     ("Ctrl-C", ("--answer-delay", "10"), 130),
                                     ("SIGTERM", ("--answer-delay", "10"), 130)]:
            with self.subTest(how=how):
                unit = self.start_unit(*options)
                program = self.start_program("--port", unit.path, "HELLO")
                wait_for(lambda: len(unit.received()) >= 1, "the run to start")
                self.assertEqual(lock_pid(unit.path), program.pid)
                if how in ("Ctrl-C", "SIGTERM"):
                    program.send_signal(signal.SIGINT if how == "Ctrl-C" else signal.SIGTERM)
                _, errors = program.communicate(timeout=30)
                self.assertEqual(program.returncode, status, errors)
                self.assertFalse(os.path.lexists(lock_path(unit.path)), "the lock was left")


class LockDirectoryTest(LocksTestCase):
    def test_a_stale_lock_is_removed_saying_so_and_the_run_goes_ahead(self):
        unit = self.start_unit()
        dead = dead_pid()
        with open(lock_path(unit.path), "w") as f:
            f.write("%10d\n" % dead)
        result = self.run_program("--port", unit.path, "HELLO")
        self.assertEqual(result.returncode, 0, result.stderr)
        said = "korvel-program: removed the stale lock %s of pid %d, which no longer runs\n" % (
            lock_path(unit.path), dead)
        self.assertEqual(result.stderr.count(said), 1, result.stderr)
        self.assertEqual(len(unit.received()), 122)

    def test_what_a_stranger_put_there_neither_hangs_the_run_nor_is_touched(self):
        unit = self.start_unit()
        lock = lock_path(unit.path)
        target = os.path.join(self.work, "precious")
        stale = "%10d\n" % dead_pid()

        def put_link():
            os.symlink(target, lock)


        def put_pipe():
            os.mkfifo(lock)


        # Each kind a stranger may put there is a rule of the line lock's own
        # test; here, through the real lock folder, the two that would do harm
        # if mishandled: a link followed, a pipe waited on.
        cases = [(put_link, "is a symbolic link, not a lock file"),
                 (put_pipe, "is a named pipe, not a lock file")]
        for put, said in cases:
            with self.subTest(put=put.__name__):
                with open(target, "w") as f:
                    f.write(stale)  # were the link followed, this lock would look stale
                before = os.stat(target)
                put()
                self.addCleanup(lambda: os.path.lexists(lock) and os.remove(lock))
                planted = os.lstat(lock)
                program = self.start_program("--port", unit.path, "HELLO")
                _, errors = program.communicate(timeout=10)
                self.assertEqual(program.returncode, 3, errors)
                self.assertEqual(errors, "korvel-program: %s: %s %s; remove it if no program "
                                 "uses the line.\n" % (unit.path, lock, said))
                now = os.lstat(lock)
                self.assertEqual((now.st_ino, stat.S_IFMT(now.st_mode)),
                                 (planted.st_ino, stat.S_IFMT(planted.st_mode)))
                with open(target) as f:
                    self.assertEqual(f.read(), stale)
                self.assertEqual(os.stat(target).st_mtime_ns, before.st_mtime_ns)
                self.assertEqual(lock_files_of({program.pid}), [])
                os.remove(lock)
        self.assert_nothing_sent(unit)


if __name__ == "__main__":
    main("program", "unit")
