"""Simulated units for the tests and the benchmarks: korvel-units, each on a
pseudo-terminal of its own, and Debian's ser2net in front of them, each
started in a scratch folder and stopped again by its pid, also when the
process that started them dies."""

import ctypes
import os
import signal
import socket
import subprocess
import time


LOCK_DIR = "/var/lock"


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


class StartError(Exception):
    """A simulated unit or ser2net did not start."""


def wait_for(condition, what, seconds=10):
    deadline = time.monotonic() + seconds
    while not condition():
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.01)


def die_with_parent():
    """In a child: a SIGTERM when the process that started it dies, even by
    SIGKILL."""
    ctypes.CDLL(None).prctl(1, signal.SIGTERM)  # PR_SET_PDEATHSIG


class Unit:
    """korvel-unit started in a scratch folder; kill() ends it at once, and its
    terminal hangs up for whoever has it open. With record, the unit logs
    each byte it takes and each frame (received(), frames()); the benchmarks
    leave that out."""

    def __init__(self, binary, work, *options, record=True):
        self.log, self.frames_file = os.path.join(work, "log"), os.path.join(work, "frames")
        path_file = os.path.join(work, "path")
        for name in (self.log, self.frames_file, path_file):
            if os.path.exists(name):
                os.remove(name)
        recording = ["--log", self.log, "--frames", self.frames_file] if record else []
        self.process = subprocess.Popen(
            [binary, "--path-file", path_file] + recording + list(options),
            stdout=subprocess.DEVNULL, preexec_fn=die_with_parent)
        self.pid = self.process.pid
        try:
            wait_for(lambda: os.path.exists(path_file) or self.process.poll() is not None,
                     "korvel-unit to start")
            if not os.path.exists(path_file):
                raise StartError("korvel-unit did not start")
            with open(path_file) as f:
                self.path = f.read().strip()
        except BaseException:
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


def start_units(unit, work, count):
    """count korvel-units on emulated 9600-baud lines (--line-speed 9600
    --no-spin, so that the units leave the processors to the client), not
    recording: (processes, paths)."""
    units = []
    try:
        for n in range(count):
            folder = os.path.join(work, "unit-%d" % n)
            os.makedirs(folder, exist_ok=True)
            units.append(Unit(unit, folder, "--line-speed", "9600", "--no-spin", record=False))
    except BaseException:
        stop([u.process for u in units])
        raise
    return [u.process for u in units], [u.path for u in units]


def stop(processes):
    """Each process asked to end, and killed when it has not within 5 s."""
    for process in processes:
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
    for process in processes:
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def listening(port):
    """Whether something listens on 127.0.0.1:port, read from the kernel's
    table, so that looking does not open a connection (and the device)."""
    wanted = ":%04X" % port
    with open("/proc/net/tcp") as table:
        for row in table.readlines()[1:]:
            fields = row.split()
            if fields[1].endswith(wanted) and fields[3] == "0A":
                return True
    return False


class Ser2net:
    """One ser2net on 127.0.0.1 with a connection per (kind, device, line
    settings); kind is "raw" (ser2net's tcp accepter) or "rfc2217"
    (telnet(rfc2217)). The ports it listens on are self.ports, in the same
    order. Its configuration is written in work and removed by kill()."""

    def __init__(self, work, connections, binary="ser2net"):
        self.ports = []
        lines = ["%YAML 1.1", "---"]
        for n, (kind, device, settings) in enumerate(connections):
            # A port let go is free again at once: the system may hand it out twice.
            port = free_port()
            while port in self.ports:
                port = free_port()
            self.ports.append(port)
            accepter = "tcp" if kind == "raw" else "telnet(rfc2217),tcp"
            lines += ["connection: &unit%d" % n,
                      "  accepter: %s,127.0.0.1,%d" % (accepter, port),
                      "  connector: serialdev,%s,%s" % (device, settings),
                      "  options:",
                      "    mdns: false",
                      # Each answer on its way at once: the unit's answers
                      # come one byte at a time.
                      "    chardelay: false"]
        self.config = os.path.join(work, "ser2net-%d.yaml" % free_port())
        with open(self.config, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.process = subprocess.Popen([binary, "-n", "-c", self.config, "-P", self.config + ".pid"],
                                        stdout=subprocess.DEVNULL, stderr=subprocess.PIPE,
                                        preexec_fn=die_with_parent)
        self.pid = self.process.pid
        try:
            wait_for(lambda: all(listening(p) for p in self.ports) or self.process.poll() is not None,
                     "ser2net to listen")
            if self.process.poll() is not None:
                raise StartError("ser2net did not start: " + self.process.stderr.read().decode())
        except BaseException:
            self.kill()
            raise

    def kill(self):
        if self.process.poll() is None:
            self.process.terminate()
            try:
                self.process.wait(timeout=5)
            except subprocess.TimeoutExpired:
                self.process.kill()
                self.process.wait()
        self.process.stderr.close()
        for name in (self.config, self.config + ".pid"):
            if os.path.exists(name):
                os.remove(name)
