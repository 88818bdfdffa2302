"""What the Python tests share: the frames a unit should get, the lock folder
and the programs that hold lines beside korvel-program (minicom, picocom),
and one base test class with its scratch folder, the units and programs it
starts, all stopped by pid in its cleanup, and the check that none of them
left anything in the lock folder. Simulated units and ser2net come from
sim/sim_units.py, which the benchmarks use too.

A test reaches this folder with
    sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
and ends with main("program", "unit", ...), the options its CMake
registration gives."""

import argparse
import os
import select
import shutil
import signal
import stat
import subprocess
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
TOP = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
sys.path.insert(0, os.path.join(TOP, "sim"))
from sim_units import (LOCK_DIR, Ser2net, StartError, Unit, die_with_parent,  # noqa: E402,F401
                       free_port, listening, lock_path, lock_pid, wait_for)

SPACE, CRLF, END = b" ", b"\r\n", b"\r\n\x1a"
BLANK = SPACE * 28 + CRLF + SPACE * 28 + END


def padded(text):
    """The message frame of a text that brings its own line break."""
    return text + b"\0" + SPACE * (57 - len(text)) + END


def message_frame(text):
    """The message frame of any text: its terminator and the spaces after it,
    the line break forced at 28 when the text brings no CR in its first 30
    bytes, CR LF and SUB at the end, up to the first SUB."""
    frame = bytearray(text[:61])
    if len(frame) < 61:
        frame.append(0)
    frame = frame.ljust(61, SPACE)
    if b"\r" not in frame[:30]:
        frame[28:30] = CRLF
    frame[58:61] = END
    return bytes(frame[:frame.index(0x1A) + 1])


def hex_line(data):
    """A frame as korvel-unit's --frames file writes it."""
    return " ".join("%02X" % b for b in data)


def read_until_closed(master):
    """All a program writes to the terminal whose other end is master, until
    it closes its end (10 s of silence at most); master is closed after."""
    shown = b""
    while select.select([master], [], [], 10)[0]:
        try:
            chunk = os.read(master, 4096)
        except OSError:  # the program has closed its end
            break
        if not chunk:
            break
        shown += chunk
    os.close(master)
    return shown


def end(process):
    """A process started by a test, ended at once by its pid."""
    if process.poll() is None:
        process.kill()
    process.wait()


# minicom and picocom, the serial programs whose locks korvel-program and the
# launcher share, holding a line as a user has them hold one: minicom on a
# terminal that tmux gives it, with a configuration of its own that sends
# nothing, keeps a UUCP lock file in /var/lock; picocom, its input on a pipe,
# keeps an flock. Each is ended by its pid, and minicom's lock file with it.

# minicom's own settings: no modem to set up or hang up, so nothing is sent.
MINIRC = "pu minit\npu mreset\npu mhangup\n"


def dead_pid():
    """A pid that ran a moment ago and runs no more."""
    process = subprocess.Popen(["true"])
    process.wait()
    return process.pid


def flock_holders():
    """The pids holding an flock now."""
    with open("/proc/locks") as f:
        return {int(line.split()[4]) for line in f if line.split()[1] == "FLOCK"}


def _end(pid, how=signal.SIGKILL):
    try:
        os.kill(pid, how)
    except ProcessLookupError:
        return
    wait_for(lambda: not os.path.exists("/proc/%d" % pid) or _zombie(pid), "pid %d to end" % pid)


def _zombie(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] == "Z"
    except FileNotFoundError:
        return True


def _minicom_env(work):
    home = os.path.join(work, "minicom-home")
    os.makedirs(home, exist_ok=True)
    with open(os.path.join(home, ".minirc.dfl"), "w") as f:
        f.write(MINIRC)
    return dict(os.environ, HOME=home, TERM="xterm")


def minicom_once(device, work):
    """minicom started on device without a terminal: it says whether it may
    take the line, and then stops, since it has no terminal to run on."""
    return subprocess.run(["minicom", "-D", device], env=_minicom_env(work),
                          stdin=subprocess.DEVNULL, capture_output=True, text=True, timeout=20)


def picocom_once(device):
    """picocom started on device with nothing to read: it takes the line and
    lets go at once, or says why it could not."""
    return subprocess.run(["picocom", device], stdin=subprocess.DEVNULL, capture_output=True,
                          text=True, timeout=20)


class Minicom:
    """minicom holding device, on a terminal of a tmux server of its own."""

    def __init__(self, device, work):
        # A socket's path is short: a folder of its own, gone with tmux.
        self._socket_dir = tempfile.mkdtemp(prefix="korvel-tmux-")
        env = _minicom_env(work)
        started = subprocess.run(
            ["tmux", "-S", os.path.join(self._socket_dir, "s"), "-f", "/dev/null",
             "new-session", "-d", "-x", "80", "-y", "24", "-P", "-F", "#{pane_pid} #{pid}",
             "env", "HOME=" + env["HOME"], "TERM=xterm", "minicom", "-D", device],
            env=env, capture_output=True, text=True, timeout=20)
        if started.returncode != 0:
            shutil.rmtree(self._socket_dir)
            raise StartError("tmux did not start minicom: " + started.stderr)
        self.pid, self._tmux = map(int, started.stdout.split())
        self.device = device
        try:
            wait_for(lambda: lock_pid(device) == self.pid, "minicom to lock " + device)
        except AssertionError:
            self.end()
            raise

    def end(self):
        # Ended at once: minicom takes seconds to go when asked. Its lock
        # file, stale now, goes with it.
        _end(self.pid)
        if lock_pid(self.device) == self.pid:
            os.remove(lock_path(self.device))
        # Asked, tmux removes its socket as it goes.
        _end(self._tmux, signal.SIGTERM)
        shutil.rmtree(self._socket_dir, True)


class Picocom:
    """picocom holding device by its flock, its input a pipe kept open."""

    def __init__(self, device):
        self.process = subprocess.Popen(["picocom", device], stdin=subprocess.PIPE,
                                        stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        self.pid = self.process.pid
        try:
            wait_for(lambda: self.pid in flock_holders(), "picocom to lock " + device)
        except AssertionError:
            self.end()
            raise

    def end(self):
        self.process.kill()
        self.process.wait()
        self.process.stdin.close()


def lock_files_of(pids):
    """The files in the lock folder that name one of pids: a lock file that
    holds one, or a temporary file one was making."""
    found = []
    for name in sorted(os.listdir(LOCK_DIR)):
        path = os.path.join(LOCK_DIR, name)
        if name.startswith("LTMP."):
            owner = name.split(".")[1]
        elif name.startswith("LCK.."):
            try:
                if not stat.S_ISREG(os.lstat(path).st_mode):
                    continue  # a stranger's pipe would hold the open up
                with open(path) as f:
                    owner = f.read().strip()
            except OSError:
                continue
        else:
            continue
        if owner.isdigit() and int(owner) in pids:
            found.append(path)
    return found


_PENDING = []  # the stops not yet run, for a run that is interrupted


def stop_once(function, *args):
    """function(*args) as a stop that runs once: at its cleanup, or when the
    run is interrupted (main()), whichever comes first."""
    def stop():
        if stop in _PENDING:
            _PENDING.remove(stop)
            function(*args)
    _PENDING.append(stop)
    return stop


class KorvelTestCase(unittest.TestCase):
    """A test with a scratch folder of its own. What it starts through
    start_unit(), start_ser2net(), run_program() and start_program() is ended by pid in its
    cleanup, and last of all the lock folder is checked: no lock left on a
    unit's device and no file naming one of the test's processes.
    args holds the options main() read."""

    args = None
    scratch_prefix = "korvel-test-"

    def setUp(self):
        self._pids, self._devices = set(), []
        # Added first, so run last: once everything the test started has ended.
        super().addCleanup(self._assert_lock_folder_clean)
        self.work = tempfile.mkdtemp(prefix=self.scratch_prefix)
        self.addCleanup(shutil.rmtree, self.work, True)

    def addCleanup(self, function, *args):
        """A cleanup that also runs when the run is interrupted."""
        super().addCleanup(stop_once(function, *args))

    def started(self, pid):
        """Counts a process the test started another way for the lock check."""
        self._pids.add(pid)

    def start_unit(self, *options, binary=None):
        """A korvel-unit in a folder of its own in the scratch folder."""
        unit = Unit(binary or self.args.unit, tempfile.mkdtemp(dir=self.work), *options)
        self._pids.add(unit.pid)
        self._devices.append(unit.path)
        self.addCleanup(unit.kill)
        return unit

    def start_ser2net(self, *connections):
        """Debian's ser2net in front of units: (kind, device, settings) each."""
        server = Ser2net(self.work, connections)
        self._pids.add(server.pid)
        self.addCleanup(server.kill)
        return server

    def start_program(self, *args, binary=None, stdout=subprocess.PIPE,
                      stderr=subprocess.PIPE, **kwargs):
        """korvel-program (or binary) running beside the test."""
        process = subprocess.Popen([binary or self.args.program] + list(args), stdout=stdout,
                                   stderr=stderr, **kwargs)
        self._pids.add(process.pid)
        self.addCleanup(end, process)
        return process

    def run_program(self, *args, binary=None, timeout=30, input=None, **kwargs):
        """korvel-program (or binary) run to its end: a CompletedProcess."""
        stdin = kwargs.pop("stdin", subprocess.PIPE if input is not None else None)
        process = self.start_program(*args, binary=binary, stdin=stdin, **kwargs)
        try:
            out, err = process.communicate(input, timeout=timeout)
        except subprocess.TimeoutExpired:
            end(process)
            raise
        return subprocess.CompletedProcess(process.args, process.returncode, out, err)

    def _left_for(self, device):
        """Whether the lock of a unit's device was left by the test: one of
        its processes, one that no longer runs, or what it put there itself.
        Once the unit has ended, its terminal may be another's, with its lock."""
        path = lock_path(device)
        if not os.path.lexists(path):
            return False
        if not stat.S_ISREG(os.lstat(path).st_mode):
            return True
        pid = lock_pid(device)
        return pid is None or pid in self._pids or not os.path.exists("/proc/%d" % pid)

    def _assert_lock_folder_clean(self):
        left = [lock_path(device) for device in self._devices if self._left_for(device)]
        left += [path for path in lock_files_of(self._pids) if path not in left]
        for path in left:
            os.remove(path)
        if left:
            self.fail("left in the lock folder: " + ", ".join(left))


def main(*required, **defaults):
    """Reads the options required names (--program PATH, ...) and those
    defaults names with their defaults (copy_mid_run=None: --copy-mid-run)
    into KorvelTestCase.args, and runs the tests of __main__ with the rest. A
    path that exists is made absolute: a test may run a program in another
    folder. Stopped from outside (ctest's timeout, a closed terminal), it
    stops all the tests started before it exits."""
    parser = argparse.ArgumentParser()
    for option in required:
        parser.add_argument("--" + option.replace("_", "-"), required=True)
    for option, value in defaults.items():
        parser.add_argument("--" + option.replace("_", "-"), default=value)
    args, rest = parser.parse_known_args()
    for option, value in vars(args).items():
        if value is not None and os.path.exists(value):
            setattr(args, option, os.path.abspath(value))
    KorvelTestCase.args = args

    # unittest lets only KeyboardInterrupt end the whole run.
    def interrupted(signal_number, frame):
        raise KeyboardInterrupt
    signal.signal(signal.SIGTERM, interrupted)
    signal.signal(signal.SIGHUP, interrupted)
    try:
        unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2)
    except KeyboardInterrupt:
        print("interrupted; stopping what was started", file=sys.stderr)
        sys.exit(130)
    finally:
        for stop in reversed(list(_PENDING)):
            try:
                stop()
            except Exception as error:  # the others are stopped all the same
                print("while stopping: %s" % error, file=sys.stderr)
