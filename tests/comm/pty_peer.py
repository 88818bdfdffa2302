#!/usr/bin/env python3
"""The far end of COM1 and COM2 for the communications port test.

Puts a pseudo-terminal behind LINES/com1 at once, and one behind LINES/com2
only when the file LINES/open-com2 appears, so a test can watch a missing
port turn up. Every byte received is written to LINES/received.log as
"<port> <hex> <baud> <data bits> <parity N/O/E> <stop bits>", with the line
settings the sending side had given the port at that moment, and then
answered with its complement. A received 0xEE is answered three times, which
leaves stale bytes waiting on the other side; a received 0xDD is answered
only after LATE_ANSWER_S. LINES/ready says the peer is up.
"""
import os
import pty
import select
import signal
import sys
import termios
import time
import tty

STALE_REQUEST = 0xEE
LATE_REQUEST = 0xDD
LATE_ANSWER_S = 0.1
MAX_LIFETIME_S = 900

SPEEDS = {getattr(termios, name): int(name[1:])
          for name in dir(termios)
          if name.startswith("B") and name[1:].isdigit()}
DATA_BITS = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}


def open_line(lines_dir, name):
    master, slave = pty.openpty()
    tty.setraw(slave)
    # The slave stays open here, so the line survives its users closing it.
    link = os.path.join(lines_dir, name)
    temporary = link + ".new"
    os.symlink(os.ttyname(slave), temporary)
    os.replace(temporary, link)
    return master, slave


def settings_of(master):
    attrs = termios.tcgetattr(master)  # a pty master reports its slave's settings
    cflag = attrs[2]
    baud = SPEEDS.get(attrs[5], 0)
    bits = DATA_BITS.get(cflag & termios.CSIZE, 0)
    if not cflag & termios.PARENB:
        parity = "N"
    elif cflag & termios.PARODD:
        parity = "O"
    else:
        parity = "E"
    stop = 2 if cflag & termios.CSTOPB else 1
    return "%d %d %s %d" % (baud, bits, parity, stop)


def main():
    lines_dir = sys.argv[1]
    signal.signal(signal.SIGTERM, lambda *_: sys.exit(0))
    parent = os.getppid()
    started = time.monotonic()

    log = open(os.path.join(lines_dir, "received.log"), "a", buffering=1)
    masters = {}
    master, _ = open_line(lines_dir, "com1")
    masters[master] = "com1"
    with open(os.path.join(lines_dir, "ready"), "w") as ready:
        ready.write("ready\n")

    com2_trigger = os.path.join(lines_dir, "open-com2")
    late = []  # (when, master, answer)
    while os.getppid() == parent and time.monotonic() - started < MAX_LIFETIME_S:
        if "com2" not in masters.values() and os.path.exists(com2_trigger):
            master, _ = open_line(lines_dir, "com2")
            masters[master] = "com2"
        now = time.monotonic()
        for when, master, answer in [entry for entry in late if entry[0] <= now]:
            os.write(master, answer)
        late = [entry for entry in late if entry[0] > now]
        readable, _, _ = select.select(list(masters), [], [], 0.01 if late else 0.05)
        for master in readable:
            try:
                data = os.read(master, 256)
            except OSError:
                continue
            for byte in data:
                log.write("%s %02x %s\n" % (masters[master], byte, settings_of(master)))
                answers = 3 if byte == STALE_REQUEST else 1
                answer = bytes([byte ^ 0xFF]) * answers
                if byte == LATE_REQUEST:
                    late.append((time.monotonic() + LATE_ANSWER_S, master, answer))
                else:
                    os.write(master, answer)


if __name__ == "__main__":
    main()
