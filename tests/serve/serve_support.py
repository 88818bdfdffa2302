"""korvel-serve started as a user starts it, on a free loopback port with a
configuration, token and state folder of its own, and stopped again by pid;
a test case that starts it beside its units."""

import http.client
import json
import os
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import KorvelTestCase, die_with_parent, free_port, wait_for  # noqa: E402

TOKEN = "test-token-0123456789abcdef"


def write_config(work, units, extra=""):
    """units: (name, port, title) triples. Returns the config's path."""
    token_file = os.path.join(work, "token")
    with open(token_file, "w") as f:
        f.write(TOKEN + "\n")
    os.chmod(token_file, 0o600)
    port = free_port()
    lines = ['[http]', 'listen = "127.0.0.1:%d"' % port, 'token_file = "%s"' % token_file,
             extra, '[state]', 'dir = "%s"' % os.path.join(work, "state")]
    for name, device, title in units:
        lines += ['[[unit]]', 'name = "%s"' % name, 'port = "%s"' % device]
        if title:
            lines.append('title = "%s"' % title)
    path = os.path.join(work, "serve.toml")
    with open(path, "w") as f:
        f.write("\n".join(lines) + "\n")
    return path, port


class Serve:
    """korvel-serve on a config; its log is kept in a file beside it."""

    def __init__(self, binary, config, port, log_path=None):
        self.binary, self.config, self.port = binary, config, port
        self.url = "http://127.0.0.1:%d/" % port
        self.log_path = log_path or config + ".log"
        self.start()

    def start(self):
        """Starts it (again) and waits until it listens."""
        self.log_file = open(self.log_path, "ab")
        self.process = subprocess.Popen([self.binary, "--config", self.config],
                                        stdout=self.log_file, stderr=subprocess.STDOUT,
                                        preexec_fn=die_with_parent)
        try:
            wait_for(lambda: self.ready() or self.process.poll() is not None,
                     "korvel-serve to listen")
            if self.process.poll() is not None:
                raise AssertionError("korvel-serve ended at start:\n" + self.log())
        except AssertionError:
            self.kill()
            raise

    def ready(self):
        try:
            return self.request("GET", "/healthz", token=None)[0] == 200
        except OSError:
            return False

    def request(self, method, path, body=None, token=TOKEN, headers=None, timeout=30):
        """(status, headers, body as JSON where it is JSON, else bytes)."""
        connection = http.client.HTTPConnection("127.0.0.1", self.port, timeout=timeout)
        try:
            sent = dict(headers or {})
            if token is not None:
                sent["Authorization"] = "Bearer " + token
            if body is not None and not isinstance(body, (bytes, str)):
                body = json.dumps(body)
                sent["Content-Type"] = "application/json"
            connection.request(method, path, body=body, headers=sent)
            response = connection.getresponse()
            data = response.read()
            if response.getheader("Content-Type", "").startswith("application/json"):
                data = json.loads(data)
            return response.status, dict(response.getheaders()), data
        finally:
            connection.close()

    def put(self, unit, lines, wait=True):
        path = "/api/units/%s/banner" % unit + ("" if wait else "?wait=0")
        return self.request("PUT", path, {"lines": lines})

    def unit(self, name):
        return self.request("GET", "/api/units/" + name)[2]

    def log(self):
        with open(self.log_path, "rb") as f:
            return f.read().decode(errors="replace")

    def stop(self, timeout=10):
        """SIGTERM, and the exit status; SIGKILL if it does not end in time."""
        if self.process.poll() is None:
            self.process.send_signal(signal.SIGTERM)
        try:
            return self.process.wait(timeout)
        except subprocess.TimeoutExpired:
            self.process.kill()
            return self.process.wait()
        finally:
            self.log_file.close()

    def kill(self):
        """Ends it as a service manager does, so that it lets its lines go:
        a SIGKILL would leave their lock files to the next one that comes."""
        if self.process.poll() is None:
            self.stop()
        self.process.wait()
        self.log_file.close()


def wait_until(condition, what, seconds=15):
    deadline = time.monotonic() + seconds
    while True:
        value = condition()
        if value:
            return value
        if time.monotonic() > deadline:
            raise AssertionError("timed out waiting for " + what)
        time.sleep(0.02)


class ServeTestCase(KorvelTestCase):
    """A test that starts korvel-serve (args.serve): stopped as a service
    manager stops it, then checked as all the test started."""

    def start_serve(self, config, port, log_path=None):
        serve = Serve(self.args.serve, config, port, log_path)
        self.started(serve.process.pid)
        self.addCleanup(serve.kill)
        return serve
