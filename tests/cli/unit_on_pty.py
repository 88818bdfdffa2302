"""korvel-unit on a pseudo-terminal of its own, as korvel-program's tests use
it: its frames, its byte log, and the frames of a message as the unit gets them."""

import ctypes
import os
import select
import signal
import subprocess
import time

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


def wait_for(condition, what, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.01)


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


def die_with_test():
    """In korvel-unit: a SIGTERM when the test dies, even by SIGKILL."""
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Unit:
    """korvel-unit started in a scratch folder; kill() ends it at once, and its
    terminal hangs up for whoever has it open."""

    def __init__(self, binary, work, *options):
        self.log, self.frames_file = os.path.join(work, "log"), os.path.join(work, "frames")
        path_file = os.path.join(work, "path")
        for name in (self.log, self.frames_file, path_file):
            if os.path.exists(name):
                os.remove(name)
        self.process = subprocess.Popen(
            [binary, "--path-file", path_file, "--log", self.log, "--frames",
             self.frames_file] + list(options), stdout=subprocess.DEVNULL,
            preexec_fn=die_with_test)
        try:
            wait_for(lambda: os.path.exists(path_file) or self.process.poll() is not None,
                     "korvel-unit to start")
            with open(path_file) as f:
                self.path = f.read().strip()
        except (AssertionError, OSError):
            self.kill()
            raise

    def received(self):
        """The bytes the unit has taken so far."""
        if not os.path.exists(self.log):
            return b""
        with open(self.log) as f:
            return bytes(int(line.split()[1], 16) for line in f if line.strip())

    def frames(self):
        """Each complete frame so far, in hex."""
        if not os.path.exists(self.frames_file):
            return []
        with open(self.frames_file) as f:
            return f.read().splitlines()

    def frames_after(self, count):
        """The frames once there are at least count: the unit notes a frame
        just after it has answered its last byte."""
        wait_for(lambda: len(self.frames()) >= count, "the unit to note %d frames" % count)
        return self.frames()

    def kill(self):
        self.process.kill()
        self.process.wait()
