"""minicom and picocom, the serial programs whose locks korvel-program and the
launcher share, holding a line as a user has them hold one: minicom on a
terminal that tmux gives it, with a configuration of its own that sends
nothing, keeps a UUCP lock file in /var/lock; picocom, its input on a pipe,
keeps an flock. Each is ended by its pid, and minicom's lock file with it."""

import os
import shutil
import signal
import subprocess
import tempfile

from unit_on_pty import wait_for

LOCK_DIR = "/var/lock"
# minicom's own settings: no modem to set up or hang up, so nothing is sent.
MINIRC = "pu minit\npu mreset\npu mhangup\n"


def lock_path(device):
    """Where the lock file of a device is: named after the device it leads to."""
    return os.path.join(LOCK_DIR, "LCK.." + os.path.realpath(device)[len("/dev/"):]
                        .replace("/", "_"))


def lock_pid(device):
    """The pid in a device's lock file; None when there is none."""
    try:
        with open(lock_path(device)) as f:
            return int(f.read())
    except (FileNotFoundError, ValueError):
        return None


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
            raise AssertionError("tmux did not start minicom: " + started.stderr)
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
