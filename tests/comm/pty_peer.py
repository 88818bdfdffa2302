#!/usr/bin/env python3
"""The far end of COM1, and of COM2 once LINES/open-com2 appears: logs each
byte with the sender's line settings and answers it with its
complement (0xEE three times, leaving stale bytes); LINES/ready says it is up.
LINES/hang-up-com1 makes it hang up COM1, as an adapter pulled out would, and
a new COM1 comes once that file is gone."""
import os
import pty
import select
import sys
import termios
import time
import tty

SPEEDS = {getattr(termios, name): int(name[1:])
          for name in dir(termios) if name.startswith("B") and name[1:].isdigit()}
DATA_BITS = {termios.CS5: 5, termios.CS6: 6, termios.CS7: 7, termios.CS8: 8}


def open_line(lines_dir, name):
    master, slave = pty.openpty()
    tty.setraw(slave)  # kept open, so the line outlives its users
    link = os.path.join(lines_dir, name)
    os.symlink(os.ttyname(slave), link + ".new")
    os.replace(link + ".new", link)
    return master, slave


def settings_of(master):
    _, _, cflag, _, _, speed, _ = termios.tcgetattr(master)  # the slave's settings
    parity = "N" if not cflag & termios.PARENB else "O" if cflag & termios.PARODD else "E"
    return "%d %d %s %d" % (SPEEDS.get(speed, 0), DATA_BITS.get(cflag & termios.CSIZE, 0),
                            parity, 2 if cflag & termios.CSTOPB else 1)


def main():
    lines_dir = sys.argv[1]
    parent, started = os.getppid(), time.monotonic()
    log = open(os.path.join(lines_dir, "received.log"), "a", buffering=1)
    com1, com1_slave = open_line(lines_dir, "com1")
    masters = {com1: "com1"}
    with open(os.path.join(lines_dir, "ready"), "w") as ready:
        ready.write("ready\n")

    while os.getppid() == parent and time.monotonic() - started < 900:
        if "com2" not in masters.values() and os.path.exists(os.path.join(lines_dir, "open-com2")):
            masters[open_line(lines_dir, "com2")[0]] = "com2"
        hang_up = os.path.exists(os.path.join(lines_dir, "hang-up-com1"))
        if hang_up and com1 in masters:
            # Closing the master hangs the terminal up for whoever has it open.
            del masters[com1]
            os.close(com1)
            os.close(com1_slave)
            os.remove(os.path.join(lines_dir, "com1"))
        elif not hang_up and com1 not in masters:
            com1, com1_slave = open_line(lines_dir, "com1")
            masters[com1] = "com1"
        readable, _, _ = select.select(list(masters), [], [], 0.05)
        for master in readable:
            try:
                data = os.read(master, 256)
            except OSError:
                continue
            for byte in data:
                log.write("%s %02x %s\n" % (masters[master], byte, settings_of(master)))
                os.write(master, bytes([byte ^ 0xFF]) * (3 if byte == 0xEE else 1))


if __name__ == "__main__":
    main()
