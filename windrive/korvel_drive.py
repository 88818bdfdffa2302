"""Drives korvel.exe under Wine on an X display as a person would.

A Session starts a display (Xvfb when none is given), the utility through
launcher/korvel-wine with a simulated unit on COM1 (or on any COM port it is
told), and then clicks, types and looks: window-probe tells where each control is and what it shows, xdotool
moves the mouse and presses keys, ImageMagick takes screenshots.
The unit's byte log and frames file tell what reached the line.

Everything a Session starts is stopped when it stops, also when starting
fails part way; exit_on_termination() makes SIGTERM and SIGHUP end a script
through the same clean-up as Ctrl-C.
"""

import argparse
import ctypes
import os
import shlex
import signal
import subprocess
import sys
import time
import unittest

TOP = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MAIN_TITLE = "KORVEL programmer"

# Control ids of the main dialog.
EXIT, PROGRAM, PORT1, PORT2, PROGRESS, MESSAGE, LOAD = 2, 3, 1000, 1001, 1002, 1003, 1004


class DriveError(Exception):
    pass


# What run_tests() took from a test program's command line.
ARGS = None


def run_tests():
    """Runs the calling test program's cases against the builds given on its
    command line (--arch, --win-build, --native-build), with a folder for what
    each case leaves behind (--out); unittest's own options may follow."""
    global ARGS
    parser = argparse.ArgumentParser()
    parser.add_argument("--arch", choices=("x86", "x64"), required=True)
    parser.add_argument("--win-build", required=True)
    parser.add_argument("--native-build", required=True)
    parser.add_argument("--out", required=True)
    ARGS, rest = parser.parse_known_args()
    exit_on_termination()
    unittest.main(module="__main__", argv=[sys.argv[0]] + rest, verbosity=2)


def exit_on_termination():
    """SIGTERM and SIGHUP end the script as Ctrl-C does, through its clean-up."""
    def stop(signum, _frame):
        sys.exit(128 + signum)
    signal.signal(signal.SIGTERM, stop)
    signal.signal(signal.SIGHUP, stop)


def default_arch():
    """The Windows build that runs on this machine: x86 or x64 (launcher/wine-arch)."""
    result = subprocess.run([os.path.join(TOP, "launcher", "wine-arch")], capture_output=True,
                            text=True)
    if result.returncode != 0:
        raise DriveError(result.stderr.strip())
    sys.stderr.write(result.stderr)
    return result.stdout.strip()


def _die_with_parent():
    """In a child: a SIGTERM when the script dies, even by SIGKILL, so that what
    the child started is stopped too."""
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


def _signal_group(leader, signum):
    try:
        os.killpg(leader, signum)
    except (ProcessLookupError, PermissionError):
        pass


def wait_for(condition, timeout, what, interval=0.1):
    """Polls condition until it gives a true value; fails with what after timeout s."""
    deadline = time.monotonic() + timeout
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise DriveError("timed out waiting for " + what)
        time.sleep(interval)


def blank_frame():
    return b" " * 28 + b"\r\n" + b" " * 28 + b"\r\n\x1a"


def message_frame(text):
    """The bytes the unit should get for a text the message edit holds."""
    frame = bytearray(text[:61])
    if len(frame) < 61:
        frame.append(0)
    frame = frame.ljust(61, b" ")
    if b"\r" not in frame[:30]:
        frame[28:30] = b"\r\n"
    frame[58:61] = b"\r\n\x1a"
    return bytes(frame[:frame.index(0x1A) + 1])


class Control:
    def __init__(self, fields):
        self.id = int(fields[0])
        self.x, self.y = int(fields[1]), int(fields[2])
        self.enabled = fields[3] == "1"
        self.checked = fields[4] == "1"
        self.progress = int(fields[5])
        self.text = b"" if fields[6] == "-" else bytes.fromhex(fields[6])


class Session:
    """headless: Wine's null graphics driver and no display; clicks and typing
    then go to the windows as messages (window-probe), and there is nothing to
    take a screenshot of."""

    def __init__(self, workdir, arch=None, win_build=None,
                 native_build=os.path.join(TOP, "build", "native"), com1="sim", com2="none",
                 unit_args=(), display=None, prefix=None, exe=None, headless=False,
                 other_ports=()):
        self.workdir = os.path.abspath(workdir)
        self.arch = arch or default_arch()
        self.win_build = win_build or os.path.join(
            TOP, "build", "win64" if self.arch == "x64" else "win")
        self.native_build = native_build
        self.exe = exe or os.path.join(self.win_build, "app", "korvel.exe")
        self.com1, self.com2 = com1, com2
        # More ports beside COM1 and COM2: ("COM5", where) pairs, as korvel-wine's --comN takes them.
        self.other_ports = list(other_ports)
        self.unit_args = list(unit_args)
        self.display = display
        self.headless = headless
        self.prefix = prefix or os.path.join(
            self.workdir, "prefix-%s%s" % (self.arch, "-headless" if headless else ""))
        self.unit_log = os.path.join(self.workdir, "unit-bytes.log")
        self.frames_file = os.path.join(self.workdir, "unit-frames.txt")
        self.unit_out = os.path.join(self.workdir, "unit-display.txt")
        self.probe = os.path.join(self.win_build, "windrive", "window-probe", "window-probe.exe")
        self._xvfb = None
        self._launcher = None
        os.makedirs(self.workdir, exist_ok=True)

    # --- start and stop -------------------------------------------------
    def start(self, timeout=120):
        try:
            self._start(timeout)
        except BaseException:
            self.stop()
            raise
        return self

    def _start(self, timeout):
        if self.headless:
            self.env = {k: v for k, v in os.environ.items() if k != "DISPLAY"}
        else:
            if self.display is None:
                self._start_xvfb()
            self.env = dict(os.environ, DISPLAY=self.display)
        for path in (self.unit_log, self.frames_file):
            if os.path.exists(path):
                os.remove(path)
        unit_args = ["--log", self.unit_log, "--frames", self.frames_file] + self.unit_args
        ready = os.path.join(self.workdir, "ports")
        if os.path.exists(ready):
            os.remove(ready)
        self._out = open(self.unit_out, "wb")
        # In a session of its own, so that everything it starts can be stopped
        # together; told to stop should this script die.
        self._launcher = subprocess.Popen(
            [os.path.join(TOP, "launcher", "korvel-wine"),
             "--headless" if self.headless else "--bare-display", "--arch", self.arch,
             "--prefix", self.prefix, "--com1", self.com1, "--com2", self.com2]
            + [a for port, where in self.other_ports for a in ("--" + port.lower(), where)]
            + ["--wait-ready", ready, "--exe", self.exe,
             "--unit", os.path.join(self.native_build, "sim", "korvel-unit", "korvel-unit"),
             "--unit-args", " ".join(shlex.quote(a) for a in unit_args)],
            env=self.env, stdout=self._out, stderr=subprocess.STDOUT, start_new_session=True,
            preexec_fn=_die_with_parent)
        # No probing before the prefix is ready: a probe would keep its set-up waiting.
        wait_for(lambda: self._alive() and os.path.exists(ready), timeout,
                 "the Wine prefix (see %s)" % self.unit_out, interval=0.25)
        wait_for(lambda: self._alive() and self.window(MAIN_TITLE), timeout,
                 "the main window (see %s)" % self.unit_out, interval=0.25)

    def _alive(self):
        if self._launcher.poll() is not None:
            with open(self.unit_out, errors="replace") as f:
                said = f.read().strip()
            raise DriveError("the launcher ended (status %s)%s" % (
                self._launcher.returncode, ":\n" + said if said else " without a word"))
        return True

    def _start_xvfb(self):
        # Xvfb picks a free display itself and tells its number once it listens.
        read_end, write_end = os.pipe()
        self._xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                                       "800x600x24", "-nolisten", "tcp"],
                                      pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                                      stderr=subprocess.DEVNULL, preexec_fn=_die_with_parent)
        os.close(write_end)
        with os.fdopen(read_end) as numbers:
            number = numbers.readline().strip()
        if not number:
            raise DriveError("Xvfb did not start")
        self.display = ":" + number

    def stop(self):
        if self._launcher is not None:
            # Ending Wine ends the utility; the launcher then stops the units.
            self._wine("--kill")
            try:
                self._launcher.wait(timeout=20)
            except subprocess.TimeoutExpired:
                _signal_group(self._launcher.pid, signal.SIGTERM)
                try:
                    self._launcher.wait(timeout=10)
                except subprocess.TimeoutExpired:
                    self._launcher.kill()
                    self._launcher.wait()
            # Whatever of its session outlived it.
            _signal_group(self._launcher.pid, signal.SIGKILL)
            self._launcher = None
            self._out.close()
        if self._xvfb is not None:
            self._xvfb.terminate()
            try:
                self._xvfb.wait(timeout=10)
            except subprocess.TimeoutExpired:
                self._xvfb.kill()
                self._xvfb.wait()
            self._xvfb = None

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()

    def application_data(self):
        """The Windows user's application data folder (%APPDATA%) in the
        session's Wine prefix, as a path here; the prefix is made first when it
        is not there yet, so that a file can be put there before the utility
        starts."""
        made = subprocess.run([os.path.join(TOP, "launcher", "wine-prefix.sh"), self.arch,
                               self.prefix, "null" if self.headless else "xvfb"],
                              capture_output=True, text=True)
        if made.returncode != 0:
            raise DriveError("the Wine prefix could not be made: " + made.stderr.strip())
        users = os.path.join(self.prefix, "drive_c", "users")
        found = [os.path.join(users, user, "AppData", "Roaming") for user in sorted(os.listdir(users))
                 if os.path.isdir(os.path.join(users, user, "AppData", "Roaming"))]
        if len(found) != 1:
            raise DriveError("no single user's AppData\\Roaming in " + users)
        return found[0]

    # --- looking ----------------------------------------------------------
    def _wine(self, *args, **options):
        """Runs a program in the session's Wine prefix, or with --kill ends them all."""
        return subprocess.run([os.path.join(TOP, "launcher", "wine-exec"), self.arch, self.prefix]
                              + list(args), env=self.env, capture_output=True, **options)

    def _probe(self, *args, timeout=30):
        """window-probe's answer (see windrive/window-probe), as a finished process."""
        return self._wine(self.probe, *args, timeout=timeout)

    def windows(self):
        """Visible top-level windows: {title: enabled}."""
        found = {}
        for line in self._probe("windows").stdout.decode("latin-1").splitlines():
            handle, enabled, title = line.split(" ", 2)
            found[title.strip('"')] = enabled == "1"
        return found

    def window(self, title):
        return title in self.windows()

    def controls(self, title=MAIN_TITLE):
        self._last_dump = self._probe("dump", title)
        return {c.id: c for c in (Control(line.split()) for line in
                                  self._last_dump.stdout.decode("latin-1").splitlines()
                                  if line.strip())}

    def control(self, control_id, title=MAIN_TITLE):
        """One control of a window. A window that has only just appeared is
        asked again for a few seconds before the control counts as missing."""
        try:
            return wait_for(lambda: self.controls(title).get(control_id), 5, "", interval=0.25)
        except DriveError:
            said = self._last_dump.stderr.decode("latin-1").strip()
            raise DriveError("no control %d in %r (window-probe dump: status %d%s)" % (
                control_id, title, self._last_dump.returncode, ", " + said if said else ""))

    def screenshot(self, path, title=None):
        """The screen cut down to what is on it (the display is black elsewhere),
        or only the window of that title."""
        if self.headless:
            raise DriveError("a headless session has no screen to take")
        window = "root"
        if title is not None:
            found = self._xdotool("search", "--onlyvisible", "--name", "^%s$" % title).split()
            if not found:
                raise DriveError("no window %r on the screen" % title)
            window = found[-1]
        subprocess.run(["import", "-display", self.display, "-window", window,
                        "-trim", "+repage", path], check=True)

    def frames(self):
        """The frames the unit received, each as bytes."""
        if not os.path.exists(self.frames_file):
            return []
        with open(self.frames_file) as f:
            return [bytes.fromhex(line) for line in f if line.strip()]

    def received(self):
        """Every byte the unit received, with its time in microseconds."""
        if not os.path.exists(self.unit_log):
            return []
        with open(self.unit_log) as f:
            return [(int(t), int(b, 16)) for t, b in (line.split() for line in f if line.strip())]

    # --- acting -----------------------------------------------------------
    def _xdotool(self, *args):
        command = ["xdotool"] + [str(a) for a in args]
        try:
            return subprocess.run(command, env=self.env, check=True, capture_output=True,
                                  text=True, timeout=30).stdout
        except subprocess.TimeoutExpired:
            raise DriveError("%s did not finish within 30 s" % " ".join(command)) from None
        except subprocess.CalledProcessError as failed:
            raise DriveError("%s failed: %s" % (" ".join(command), failed.stderr.strip())) from None

    def _click_at(self, x, y):
        # mousemove --sync waits for the pointer to leave where it was, which it
        # never does when it is there already: a second press of one button.
        here = dict(pair.split("=", 1) for pair in
                    self._xdotool("getmouselocation", "--shell").split())
        if (int(here["X"]), int(here["Y"])) != (x, y):
            self._xdotool("mousemove", "--sync", x, y)
        self._xdotool("click", "1")

    def click(self, control_id, title=MAIN_TITLE, wait=False):
        """Clicks a control. Headless, wait: returns once the window has handled
        the click, so that nothing of the click is still going on meanwhile."""
        if self.headless:
            how = "press" if wait else "click"
            if self._probe(how, title, str(control_id), timeout=90).returncode:
                raise DriveError("no control %d in %r to click" % (control_id, title))
            return
        c = self.control(control_id, title)
        self._click_at(c.x, c.y)

    def click_at(self, control):
        """Clicks where a control was found (Control), with nothing else run
        first; on a display only."""
        self._click_at(control.x, control.y)

    def type(self, text, control_id=None, title=MAIN_TITLE):
        """Types into the focused control; headless, into control_id."""
        if self.headless:
            typed = self._probe("type", title, str(control_id), text.encode("latin-1").hex())
            if typed.returncode:
                raise DriveError("no control %s in %r to type into" % (control_id, title))
            return
        self._xdotool("type", "--delay", "30", text)

    def key(self, *names):
        self._xdotool("key", "--delay", "30", *names)
