#!/usr/bin/env python3
"""The UART driver on QEMU's 16550.

Boots the freestanding harness (harness.cpp) under qemu-system-i386 with its
COM ports on pseudo-terminals, plays the unit at the far end of the line and
checks what went over the line and what the harness reported.

    uart_on_qemu_test.py HARNESS [unittest arguments]
"""
import ctypes
import os
import re
import select
import signal
import subprocess
import sys
import tempfile
import termios
import time
import tty
import unittest

QEMU = "qemu-system-i386"
QEMU_DONE = 0x10 * 2 + 1  # the harness's kDone through isa-debug-exit
BOOT_LIMIT_S = 30         # a boot with a time-out in it takes about 3.5 s
DRIVER_LIMIT_MS = 3000    # UartDriver::kTimeLimitMs

START_BYTE = 0x15        # what the unit says before the harness's first byte
ANSWER_BYTE = 0x06
ANSWER_DELAY_S = 0.002   # see Unit

DATA_READY = 0x01        # line status
CLEAR_TO_SEND = 0x10     # modem status

SPEEDS = {getattr(termios, name): int(name[1:])
          for name in dir(termios) if name.startswith("B") and name[1:].isdigit()}
DATA_BITS = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}

BLANK = b" " * 28 + b"\r\n" + b" " * 28 + b"\r\n\x1a"
MESSAGE_TEXT = b"KORVEL on a 16550\r\nunder QEMU"  # kMessage in harness.cpp
# The text, its terminator, spaces up to the second line break, CR LF, SUB.
MESSAGE = MESSAGE_TEXT + b"\0" + b" " * (58 - len(MESSAGE_TEXT) - 1) + b"\r\n\x1a"

HARNESS = None  # set from the command line


class Unit:
    """The unit on a line: takes every byte and answers it with ANSWER_BYTE,
    plus `extra` more copies, until it has answered `answers` bytes. It
    answers a little late, so a sender that does not wait for the answer shows
    itself: its next byte arrives while the answer is still owed (`early`)."""

    def __init__(self, extra=0, answers=None):
        self.extra, self.answers = extra, answers
        self.received = bytearray()
        self.early = 0
        self.answered = 0

    def serve(self, fd):
        data = read_available(fd)
        if not data:
            return
        time.sleep(ANSWER_DELAY_S)
        data += read_available(fd)
        self.early += len(data) - 1
        for byte in data:
            self.received.append(byte)
            if self.answers is None or self.answered < self.answers:
                os.write(fd, bytes([ANSWER_BYTE]) * (1 + self.extra))
                self.answered += 1


class Line:
    """The far end of one COM port on a pseudo-terminal.

    "pty": QEMU makes the terminal (-chardev pty) and we open its other end.
    QEMU cannot ask such a terminal for modem lines, nor does it pass line
    settings to it.
    "serial": we make the terminal and QEMU opens it as a serial device
    (-chardev serial): it passes the line settings on and asks the terminal
    for its modem lines, of which a pseudo-terminal has none."""

    def __init__(self, backend, unit):
        self.backend, self.unit = backend, unit
        self.fd = None
        self.held = []  # descriptors to close at the end

    def chardev(self, label):
        if self.backend == "pty":
            return "pty,id=" + label
        ours, qemus = os.openpty()
        tty.setraw(qemus)
        os.set_blocking(ours, False)
        self.fd = ours
        self.held = [ours, qemus]  # QEMU's end stays open, so ours never hangs up
        return "serial,id=%s,path=%s" % (label, os.ttyname(qemus))

    def attach(self, path):
        self.fd = os.open(path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        tty.setraw(self.fd)
        self.held = [self.fd]

    def settings(self):
        """Speed, data bits, parity and stop bits as the terminal has them."""
        _, _, cflag, _, _, speed, _ = termios.tcgetattr(self.fd)
        parity = "N" if not cflag & termios.PARENB else "O" if cflag & termios.PARODD else "E"
        return (SPEEDS.get(speed), DATA_BITS.get(cflag & termios.CSIZE), parity,
                2 if cflag & termios.CSTOPB else 1)

    def close(self):
        for fd in self.held:
            os.close(fd)
        self.held, self.fd = [], None


def read_available(fd):
    data = b""
    while True:
        try:
            chunk = os.read(fd, 256)
        except OSError:  # nothing more for now, or QEMU's end has gone
            return data
        if not chunk:
            return data
        data += chunk


def die_with_parent():
    # Should this test be killed outright, QEMU goes with it.
    ctypes.CDLL(None, use_errno=True).prctl(1, signal.SIGKILL)  # PR_SET_PDEATHSIG


class Boot:
    """One run of the harness: its report by step, when each step's line
    arrived, and the lines with their units."""

    def __init__(self, port, lines):
        self.port, self.lines = port, lines
        self.transcript = []  # (seconds since start, report line)
        self.steps = {}       # "frame blank" -> {"sent": "61", ...}
        self.arrived = {}     # step -> seconds since start
        self.last_byte_at = 0.0
        self.settings = {}    # label -> line settings, where QEMU passes them on

    def __str__(self):
        return "harness report:\n" + "\n".join("  %6.3f %s" % t for t in self.transcript)

    def run(self):
        args = [QEMU, "-machine", "pc", "-nodefaults", "-no-reboot", "-display", "none",
                "-kernel", HARNESS, "-append", "port=%d" % self.port,
                "-debugcon", "stdio", "-device", "isa-debug-exit,iobase=0xf4,iosize=0x04"]
        for label, line in self.lines.items():
            args += ["-chardev", line.chardev(label), "-serial", "chardev:" + label]
        with tempfile.TemporaryFile() as errors:
            try:
                qemu = subprocess.Popen(args, stdin=subprocess.DEVNULL, stdout=subprocess.PIPE,
                                        stderr=errors, start_new_session=True,
                                        preexec_fn=die_with_parent)
            except OSError as error:
                raise RuntimeError("cannot start %s (Debian: qemu-system-x86): %s"
                                   % (QEMU, error)) from None
            try:
                self.serve(qemu)
                status = qemu.wait(timeout=5)
                self.settings = {label: line.settings() for label, line in self.lines.items()
                                 if line.backend == "serial"}
            finally:
                stop(qemu)
                qemu.stdout.close()
                for line in self.lines.values():
                    line.close()
            if status != QEMU_DONE:
                errors.seek(0)
                raise RuntimeError("%s ended with status %s, not %d:\n%s\n%s" % (
                    QEMU, status, QEMU_DONE, errors.read().decode(errors="replace"), self))
        return self

    def serve(self, qemu):
        start = time.monotonic()
        text = b""
        under_test = self.lines["com%d" % self.port]
        while True:
            left = start + BOOT_LIMIT_S - time.monotonic()
            fds = [qemu.stdout] + [line.fd for line in self.lines.values() if line.fd is not None]
            readable = select.select(fds, [], [], max(left, 0))[0]
            if not readable:
                raise RuntimeError("the harness did not end within %d s\n%s" % (BOOT_LIMIT_S, self))
            # The report first: what the harness wrote before a byte went out
            # is already there when the byte is.
            if qemu.stdout in readable:
                chunk = os.read(qemu.stdout.fileno(), 4096)
                if not chunk:
                    return
                text += chunk
                *complete, text = text.split(b"\n")
                for raw in complete:
                    self.take(raw.decode(errors="replace"), time.monotonic() - start)
                    if raw.startswith(b"init"):
                        os.write(under_test.fd, bytes([START_BYTE]))
            for line in self.lines.values():
                if line.fd is not None and line.fd in readable:
                    before = len(line.unit.received)
                    line.unit.serve(line.fd)
                    if len(line.unit.received) > before:
                        self.last_byte_at = time.monotonic() - start

    def take(self, report, at):
        redirected = re.match(r"char device redirected to (\S+) \(label (\w+)\)", report)
        if redirected:
            self.lines[redirected.group(2)].attach(redirected.group(1))
            return
        self.transcript.append((at, report))
        if report.startswith("error"):
            raise RuntimeError("the harness failed: %s\n%s" % (report, self))
        words = report.split()
        step = " ".join(w for w in words if "=" not in w)
        self.steps[step] = dict(w.split("=", 1) for w in words if "=" in w)
        self.arrived[step] = at

    def step(self, name):
        if name not in self.steps:
            raise AssertionError("no '%s' in the report\n%s" % (name, self))
        return self.steps[name]

    def register(self, step, name):
        return int(self.step(step)[name], 16)

    def received(self, label="com1"):
        return bytes(self.lines[label].unit.received)

    def quiet_before(self, step):
        """Seconds between the step's report and the last thing before it
        (an earlier report or a byte on a line)."""
        earlier = [at for s, at in self.arrived.items() if at < self.arrived[step]]
        return self.arrived[step] - max(earlier + [self.last_byte_at])


def stop(qemu):
    if qemu.poll() is not None:
        return
    os.killpg(qemu.pid, signal.SIGTERM)
    try:
        qemu.wait(timeout=5)
    except subprocess.TimeoutExpired:
        os.killpg(qemu.pid, signal.SIGKILL)
        qemu.wait()


# Each boot is run once, when a test first needs it; a boot that failed fails
# every test that needs it, with its reason.
BOOTS = {
    # A unit that answers each byte once.
    "exact": lambda: Boot(1, {"com1": Line("pty", Unit())}),
    # A unit that answers each byte three times, then falls silent on the
    # message frame's fifth byte.
    "chatty then silent": lambda: Boot(1, {"com1": Line("pty", Unit(extra=2, answers=61 + 4))}),
    # COM1 on a terminal QEMU treats as a serial device: no modem lines.
    "no modem lines": lambda: Boot(1, {"com1": Line("serial", Unit())}),
    # The unit on COM2; COM1 only listens.
    "com2": lambda: Boot(2, {"com1": Line("pty", Unit(answers=0)),
                             "com2": Line("pty", Unit())}),
}
_booted = {}


def booted(name):
    if name not in _booted:
        try:
            _booted[name] = BOOTS[name]().run()
        except RuntimeError as error:
            _booted[name] = "%s boot: %s" % (name, error)
    if isinstance(_booted[name], str):
        raise RuntimeError(_booted[name])
    return _booted[name]


class UartOnQemuTest(unittest.TestCase):
    def assert_programmed(self, boot):
        for name, value in {"dll": 0x0C, "dlm": 0x00, "lcr": 0x03, "mcr": 0x0B, "ier": 0x00,
                            "iir": 0xC1}.items():  # iir: no interrupt, FIFOs on
            self.assertEqual(boot.register("init", name), value, "%s\n%s" % (name, boot))

    def assert_timed_out(self, boot, step):
        # By the machine's clock, and by ours: a clock running fast would make
        # the limit come early.
        self.assertGreaterEqual(int(boot.step(step)["ms"]), DRIVER_LIMIT_MS, boot)
        self.assertGreater(boot.quiet_before(step), 0.8 * DRIVER_LIMIT_MS / 1000, boot)

    def test_init_port_programs_the_registers_and_the_line(self):
        exact = booted("exact")
        self.assertEqual(exact.step("port"), {"base": "3F8"})
        self.assert_programmed(exact)
        # Where QEMU passes line settings on, the terminal has ours; QEMU
        # opened it at 115200.
        serial = booted("no modem lines")
        self.assert_programmed(serial)
        self.assertEqual(serial.settings["com1"], (9600, 8, "N", 1))

    def test_both_frames_go_out_byte_exact_after_a_waiting_byte_is_drained(self):
        boot = booted("exact")
        self.assertTrue(boot.register("start", "lsr") & DATA_READY, boot)
        for frame in ("frame blank", "frame message"):
            self.assertEqual(boot.step(frame)["status"], "sent", boot)
        self.assertEqual(boot.received(), BLANK + MESSAGE)
        self.assertEqual(boot.lines["com1"].unit.early, 0, "a byte went out before its answer")
        # Every answer was taken as the answer to its own byte: none is left.
        self.assertFalse(boot.register("after", "lsr") & DATA_READY, boot)

    def test_a_silent_unit_gives_no_answer_and_extra_answers_shift_nothing(self):
        boot = booted("chatty then silent")
        self.assertEqual(boot.step("frame blank")["status"], "sent", boot)
        message = boot.step("frame message")
        self.assertEqual((message["sent"], message["status"]), ("4", "no-answer"), boot)
        self.assertEqual(boot.received(), BLANK + MESSAGE[:5])
        self.assertEqual(boot.lines["com1"].unit.early, 0, "an extra answer byte was taken for one")
        self.assert_timed_out(boot, "frame message")

    def test_without_cts_nothing_goes_out_and_the_driver_says_so(self):
        boot = booted("no modem lines")
        self.assertFalse(boot.register("init", "msr") & CLEAR_TO_SEND, boot)
        self.assertEqual(boot.step("frame blank")["sent"], "0", boot)
        self.assertEqual(boot.step("frame blank")["status"], "no-cts", boot)
        self.assertNotIn("frame message", boot.steps)
        self.assertEqual(boot.received(), b"")
        self.assert_timed_out(boot, "frame blank")

    def test_com2_at_2f8_is_driven_as_com1(self):
        boot = booted("com2")
        self.assertEqual(boot.step("port"), {"base": "2F8"})
        self.assert_programmed(boot)
        self.assertEqual(boot.step("frame message")["status"], "sent", boot)
        self.assertEqual(boot.received("com2"), BLANK + MESSAGE)
        self.assertEqual(boot.lines["com2"].unit.early, 0)
        self.assertEqual(boot.received("com1"), b"")


def main():
    global HARNESS
    if len(sys.argv) < 2 or not os.path.isfile(sys.argv[1]):
        sys.exit("usage: uart_on_qemu_test.py HARNESS [unittest arguments]")
    HARNESS = sys.argv.pop(1)
    # A test runner's SIGTERM unwinds like ^C, so QEMU is stopped on the way out.
    signal.signal(signal.SIGTERM, signal.default_int_handler)
    unittest.main()


if __name__ == "__main__":
    main()
