"""ser2net, Debian's, started on 127.0.0.1 with a configuration of the
test's own in front of simulated units' pseudo-terminals, and stopped by its
pid, also when the test dies."""

import os
import socket
import subprocess

from unit_on_pty import die_with_test, wait_for


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
    """One ser2net with a connection per (kind, device, line settings); kind
    is "raw" (ser2net's tcp accepter) or "rfc2217" (telnet(rfc2217)). The
    ports it listens on are self.ports, in the same order."""

    def __init__(self, work, connections, binary="ser2net"):
        self.ports = []
        lines = ["%YAML 1.1", "---"]
        for n, (kind, device, settings) in enumerate(connections):
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
                                        preexec_fn=die_with_test)
        try:
            wait_for(lambda: all(listening(p) for p in self.ports) or self.process.poll() is not None,
                     "ser2net to listen")
            if self.process.poll() is not None:
                raise AssertionError("ser2net did not start: " + self.process.stderr.read().decode())
        except AssertionError:
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
