"""korvel-program beside the serial programs it shares lines with, on
pseudo-terminals, with the real lock directory (/var/lock), where minicom looks
too: minicom (its lock file) and picocom (its flock) each turn it away by name
and nothing is sent; it turns them away while it runs; its lock goes however
it ends; and what a stranger put in the lock directory neither hangs it nor is
touched. Every program started here is ended by its pid, and no lock file is
left behind."""

import argparse
import os
import re
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
from line_holders import (LOCK_DIR, Minicom, Picocom, dead_pid, lock_path, lock_pid,
                          minicom_once, picocom_once)
from unit_on_pty import BLANK, Unit, hex_line, padded, wait_for

ARGS = None


def end(process):
    process.kill()
    process.wait()


def leftovers(pid):
    """Temporary files a process left in the lock directory."""
    return [name for name in os.listdir(LOCK_DIR) if name.startswith("LTMP.%d." % pid)]


class LocksTestCase(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="korvel-locks-test-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def unit(self, *options):
        unit = Unit(ARGS.unit, tempfile.mkdtemp(dir=self.work), *options)
        # Last of all, once everything else has ended: no lock file is left.
        self.addCleanup(self.assert_no_lock_left, unit.path)
        self.addCleanup(unit.kill)
        return unit

    def assert_no_lock_left(self, device):
        path = lock_path(device)
        if os.path.lexists(path):
            os.remove(path)
            self.fail("%s was left behind" % path)

    def minicom(self, device):
        minicom = Minicom(device, self.work)
        self.addCleanup(minicom.end)
        return minicom

    def picocom(self, device):
        picocom = Picocom(device)
        self.addCleanup(picocom.end)
        return picocom

    def run_program(self, *args):
        return subprocess.run([ARGS.program] + list(args), capture_output=True, text=True,
                              timeout=30)

    def start_program(self, *args):
        process = subprocess.Popen([ARGS.program] + list(args), stdout=subprocess.PIPE,
                                   stderr=subprocess.PIPE, text=True)
        self.addCleanup(end, process)
        return process

    def assert_nothing_sent(self, unit):
        time.sleep(0.2)  # a byte on its way would have arrived by now
        self.assertEqual(unit.received(), b"")


class HeldByAnotherProgramTest(LocksTestCase):
    def test_minicom_holds_the_line_by_its_lock_file_even_under_another_name(self):
        unit = self.unit()
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
        unit = self.unit()
        picocom = self.picocom(unit.path)
        result = self.run_program("--port", unit.path, "HELLO")
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertEqual(result.stderr, "korvel-program: %s is in use by picocom (pid %d);"
                         " try again once it is done.\n" % (unit.path, picocom.pid))
        self.assert_nothing_sent(unit)
        self.assertFalse(os.path.lexists(lock_path(unit.path)), "the refused run left its lock")


    def test_of_several_ports_each_is_taken_as_it_opens_and_a_held_one_alone_is_refused(self):
        free, held = self.unit(), self.unit()
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
        unit = self.unit("--answer-delay", "10")
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
                unit = self.unit(*options)
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
        unit = self.unit()
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
        unit = self.unit()
        lock = lock_path(unit.path)
        target = os.path.join(self.work, "precious")
        nowhere = os.path.join(self.work, "made-through-the-link")
        stale = "%10d\n" % dead_pid()

        def put_link():
            os.symlink(target, lock)

        def put_dangling_link():
            os.symlink(nowhere, lock)

        def put_pipe():
            os.mkfifo(lock)

        def put_garbage():
            with open(lock, "w") as f:
                f.write("no pid here\n")

        cases = [(put_link, "is a symbolic link, not a lock file"),
                 (put_dangling_link, "is a symbolic link, not a lock file"),
                 (put_pipe, "is a named pipe, not a lock file"),
                 (put_garbage, "holds no pid")]
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
                self.assertFalse(os.path.lexists(nowhere))
                self.assertEqual(leftovers(program.pid), [])
                os.remove(lock)
        self.assert_nothing_sent(unit)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--program", required=True)
    parser.add_argument("--unit", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
