"""launcher/korvel-serve-demo, what `make serve` runs: the address and the token
it prints reach korvel-serve, both simulated units are programmed through the
API, and Ctrl-C (SIGINT to the terminal's whole process group) or a SIGTERM to
the script alone stops everything it started and removes its temporary
folder."""

import argparse
import http.client
import json
import os
import re
import shutil
import signal
import socket
import subprocess
import sys
import time
import unittest

ARGS = None
DEMO = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "launcher",
                    "korvel-serve-demo")


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def descendants(pid):
    """Every process below pid, as /proc has them now."""
    children = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                parent = int(f.read().rsplit(")", 1)[1].split()[1])
        except (OSError, IndexError, ValueError):
            continue
        children.setdefault(parent, []).append(int(entry))
    found, todo = [], [pid]
    while todo:
        for child in children.get(todo.pop(), []):
            found.append(child)
            todo.append(child)
    return found


def command_line(pid):
    try:
        with open("/proc/%d/cmdline" % pid, "rb") as f:
            return f.read().split(b"\0")
    except OSError:
        return []


def alive(pid):
    try:
        with open("/proc/%d/stat" % pid) as f:
            return f.read().rsplit(")", 1)[1].split()[0] != "Z"
    except OSError:
        return False


class ServeDemoTest(unittest.TestCase):
    def start(self):
        """The demo in a session of its own, as on a terminal; what it printed
        up to its last line of instructions."""
        port = free_port()
        demo = subprocess.Popen([DEMO, "--build", ARGS.build, "--listen", "127.0.0.1:%d" % port],
                                stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True,
                                start_new_session=True)
        self.addCleanup(self.stop_all, demo)
        printed = ""
        deadline = time.monotonic() + 60
        while "Ctrl-C stops it all." not in printed:
            line = demo.stdout.readline()
            if not line or time.monotonic() > deadline:
                self.fail("the demo did not get going:\n" + printed)
            printed += line
        return demo, port, printed

    def stop_all(self, demo):
        """Whatever is left of a failed test: the demo asked to stop, and if
        it does not, all of it killed by pid and its folder removed."""
        if demo.poll() is None:
            folders = [os.path.dirname(line[line.index(b"--config") + 1].decode())
                       for line in map(command_line, descendants(demo.pid))
                       if b"--config" in line]
            demo.send_signal(signal.SIGTERM)
            try:
                demo.wait(15)
            except subprocess.TimeoutExpired:
                for pid in descendants(demo.pid):
                    try:
                        os.kill(pid, signal.SIGKILL)
                    except ProcessLookupError:
                        pass
                demo.kill()
                demo.wait()
            for folder in folders:
                shutil.rmtree(folder, ignore_errors=True)
        demo.stdout.close()

    def request(self, port, method, path, token, body=None):
        connection = http.client.HTTPConnection("127.0.0.1", port, timeout=30)
        try:
            headers = {} if token is None else {"Authorization": "Bearer " + token}
            if body is not None:
                body = json.dumps(body)
            connection.request(method, path, body=body, headers=headers)
            response = connection.getresponse()
            return response.status, response.read()
        finally:
            connection.close()

    def started(self, demo):
        """korvel-serve and the units under the demo, and its temporary folder."""
        wanted = ["korvel-serve", "korvel-unit", "korvel-unit"]
        deadline = time.monotonic() + 10
        while True:  # the script's own commands come and go
            below = {pid: command_line(pid) for pid in descendants(demo.pid)}
            programs = sorted(os.path.basename(line[0]).decode() for line in below.values() if line)
            if programs == wanted or time.monotonic() > deadline:
                break
            time.sleep(0.05)
        self.assertEqual(programs, wanted, below)
        serve = [line for line in below.values() if line and line[0].endswith(b"korvel-serve")][0]
        folder = os.path.dirname(serve[serve.index(b"--config") + 1].decode())
        self.assertTrue(os.path.isdir(folder))
        return list(below), folder

    def assert_all_gone(self, pids, folder):
        deadline = time.monotonic() + 10
        while any(alive(pid) for pid in pids) and time.monotonic() < deadline:
            time.sleep(0.05)
        self.assertEqual([command_line(pid) for pid in pids if alive(pid)], [])
        self.assertFalse(os.path.exists(folder), os.listdir(folder) if os.path.isdir(folder) else "")

    def test_its_address_and_token_reach_both_units_and_ctrl_c_stops_it_all(self):
        demo, port, printed = self.start()
        page = re.search(r"The page: +(\S+)", printed).group(1)
        token = re.search(r"The token: +(\S+)", printed).group(1)
        self.assertEqual(page, "http://127.0.0.1:%d/" % port)
        # The curl lines it prints carry the same token and address.
        self.assertIn('curl -H "Authorization: Bearer %s" http://127.0.0.1:%d/api/units'
                      % (token, port), printed)
        pids, folder = self.started(demo)

        status, body = self.request(port, "GET", "/", token=None)
        self.assertEqual(status, 200)
        self.assertIn(b"<html", body.lower())
        self.assertEqual(self.request(port, "GET", "/api/units", "not-the-token")[0], 401)
        for unit, lines in (("window", ["GRAND OPENING", "SATURDAY 10 AM"]),
                            ("counter", ["PAY HERE", ""])):
            status, body = self.request(port, "PUT", "/api/units/%s/banner" % unit, token,
                                        {"lines": lines})
            self.assertEqual(status, 200, body)
            self.assertEqual(json.loads(body)["unit"]["lines"], lines)

        os.killpg(demo.pid, signal.SIGINT)
        self.assertEqual(demo.wait(15), 130)
        self.assert_all_gone(pids, folder)

    def test_a_sigterm_to_the_script_alone_stops_it_all(self):
        demo, _, _ = self.start()
        pids, folder = self.started(demo)
        demo.send_signal(signal.SIGTERM)
        self.assertEqual(demo.wait(15), 143)
        self.assert_all_gone(pids, folder)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--build", required=True, help="a native build with korvel-serve")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
