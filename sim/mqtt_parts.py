"""What korvel-serve's MQTT side meets, as the tests and the bench start it:
Debian's mosquitto on a free port of 127.0.0.1 with a configuration of their
own, korvel-serve gateways with an [mqtt] section, simulated units, and Home
Assistant's side played by a paho-mqtt client. Each is stopped by its pid."""

import json
import os
import pwd
import signal
import socket
import ssl
import subprocess
import threading
import time

import paho.mqtt.client as mqtt

from sim_units import Unit, die_with_parent, free_port, lock_path, lock_pid, wait_for  # noqa: F401


def accepts(port):
    try:
        with socket.create_connection(("127.0.0.1", port), timeout=0.2):
            return True
    except OSError:
        return False


def stop(process, seconds=5):
    """Ends a process by its pid: SIGTERM, then SIGKILL. Its exit status."""
    if process.poll() is None:
        process.send_signal(signal.SIGTERM)
        try:
            process.wait(timeout=seconds)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
    return process.returncode


class Broker:
    """mosquitto on 127.0.0.1:port; TLS-only when tls is a dict of its files
    (ca, cert, key), with a password (passwords: mosquitto_passwd's file) or
    else a client certificate signed by the CA. Retained messages live as
    long as the broker: a restart starts empty, as a broker without
    persistence does."""

    def __init__(self, work, tls=None, port=None):
        self.port = port or free_port()
        self.config = os.path.join(work, "mosquitto-%d.conf" % self.port)
        # Started by root, mosquitto would become the user mosquitto, who cannot
        # read the test's private folder; as anyone else it stays who it is.
        lines = ["listener %d 127.0.0.1" % self.port, "persistence false",
                 "log_dest stderr", "user " + pwd.getpwuid(os.geteuid()).pw_name]
        if tls:
            lines += ["allow_anonymous false", "cafile " + tls["ca"], "certfile " + tls["cert"],
                      "keyfile " + tls["key"]]
            if "passwords" in tls:
                lines += ["password_file " + tls["passwords"]]
            else:  # a client certificate instead, its name the user's
                lines += ["require_certificate true", "use_identity_as_username true"]
        else:
            lines += ["allow_anonymous true"]
        with open(self.config, "w") as f:
            f.write("\n".join(lines) + "\n")
        self.process = None
        self.start()

    def start(self):
        log = open(self.config + ".log", "a")
        self.process = subprocess.Popen(["mosquitto", "-c", self.config],
                                        stdout=subprocess.DEVNULL, stderr=log,
                                        preexec_fn=die_with_parent)
        log.close()
        wait_for(lambda: accepts(self.port) or self.process.poll() is not None,
                 "mosquitto to listen")
        if self.process.poll() is not None:
            with open(self.config + ".log") as log:
                raise AssertionError("mosquitto did not start: " + log.read())

    def stop(self):
        if self.process is not None:
            stop(self.process)


class HomeAssistant:
    """A client that subscribes to everything as Home Assistant's MQTT side
    does to what it knows, and keeps each message with its time. watch(topic,
    fn) calls fn(payload) on the client's thread the moment a message comes."""

    def __init__(self, port, name="home-assistant", tls=None):
        self.messages = []  # (monotonic time, topic, payload as text, retained)
        self.lock = threading.Lock()
        self.watchers = {}
        self.client = mqtt.Client(client_id=name, clean_session=True)
        if tls:
            context = ssl.create_default_context(cafile=tls["ca"])
            if "cert" in tls:
                context.load_cert_chain(tls["cert"], tls["key"])
            self.client.tls_set_context(context)
            if "user" in tls:
                self.client.username_pw_set(tls["user"], tls["password"])
        self.client.on_connect = lambda c, u, f, rc: c.subscribe("#", qos=1)
        self.client.on_message = self._message
        self.client.reconnect_delay_set(min_delay=1, max_delay=1)
        self.client.connect("localhost" if tls else "127.0.0.1", port, keepalive=30)
        self.client.loop_start()

    def _message(self, client, userdata, message):
        payload = message.payload.decode("utf-8", "replace")
        for topic, fn in list(self.watchers.items()):
            if message.topic == topic:
                fn(payload)
        with self.lock:
            self.messages.append((time.monotonic(), message.topic, payload, bool(message.retain)))

    def watch(self, topic, fn):
        self.watchers[topic] = fn

    def since(self, mark=0.0):
        with self.lock:
            return [m for m in self.messages if m[0] >= mark]

    def on(self, topic, mark=0.0):
        """The payloads that came on topic since mark, oldest first."""
        return [m[2] for m in self.since(mark) if m[1] == topic]

    def wait(self, topic, payload=None, mark=0.0, seconds=10, test=None):
        """The first payload on topic since mark that is payload (or passes
        test), waiting for it."""
        found = []

        def arrived():
            for got in self.on(topic, mark):
                if (payload is None or got == payload) and (test is None or test(got)):
                    found.append(got)
                    return True
            return False
        wait_for(arrived, "%s on %s" % (payload if payload is not None else "a message", topic),
                 seconds)
        return found[0]

    def state(self, topic, mark=0.0, seconds=10, test=None):
        def wanted(payload):
            return payload != "" and (test is None or test(json.loads(payload)))
        return json.loads(self.wait(topic, mark=mark, seconds=seconds, test=wanted))

    def publish(self, topic, payload, retain=False):
        info = self.client.publish(topic, payload, qos=1, retain=retain)
        info.wait_for_publish()

    def close(self):
        self.client.loop_stop()
        self.client.disconnect()


class Gateway:
    """korvel-serve for one site: its units (name -> korvel-unit's terminal),
    its state folder, its log. start() waits until it is connected."""

    def __init__(self, serve, work, broker_port, site, units, mqtt_lines=(), broker=None):
        self.serve, self.site = serve, site
        self.devices = list(units.values())
        self.folder = os.path.join(work, "gateway-" + site)
        os.makedirs(self.folder, exist_ok=True)
        self.state = os.path.join(self.folder, "state")
        self.log_path = os.path.join(self.folder, "log")
        token = os.path.join(self.folder, "token")
        with open(token, "w") as f:
            f.write("0123456789abcdef0123\n")
        os.chmod(token, 0o600)
        self.config = os.path.join(self.folder, "serve.toml")
        self.http_port = free_port()
        text = ('[http]\nlisten = "127.0.0.1:%d"\ntoken_file = "%s"\n[state]\ndir = "%s"\n'
                % (self.http_port, token, self.state))
        text += '[mqtt]\nbroker = "%s"\nsite = "%s"\n' % (
            broker or "mqtt://127.0.0.1:%d" % broker_port, site)
        text += "".join(line + "\n" for line in mqtt_lines)
        for name, path in units.items():
            text += '[[unit]]\nname = "%s"\nport = "%s"\ntitle = "%s display"\n' % (
                name, path, name.capitalize())
        with open(self.config, "w") as f:
            f.write(text)
        self.process = None

    def start(self, connected=True, seconds=10):
        self.log_at = self.log_size()
        log = open(self.log_path, "a")
        self.process = subprocess.Popen([self.serve, "--config", self.config],
                                        stdout=subprocess.DEVNULL, stderr=log,
                                        preexec_fn=die_with_parent)
        log.close()
        if connected:
            self.wait_log("mqtt: connected", seconds)
        return self

    def log_size(self):
        return os.path.getsize(self.log_path) if os.path.exists(self.log_path) else 0

    def log(self, since_start=True):
        if not os.path.exists(self.log_path):
            return ""
        with open(self.log_path, errors="replace") as f:
            f.seek(self.log_at if since_start else 0)
            return f.read()

    def wait_log(self, text, seconds=10):
        def seen():
            if self.process.poll() is not None:
                raise AssertionError("korvel-serve ended: " + self.log())
            return text in self.log()
        wait_for(seen, "korvel-serve to log '%s'" % text, seconds)

    def stop(self):
        """SIGTERM as systemd sends it: (exit status, seconds it took)."""
        if self.process is None or self.process.poll() is not None:
            return None, 0.0
        began = time.monotonic()
        status = stop(self.process, seconds=10)
        return status, time.monotonic() - began

    def kill(self):
        """kill -9; the lock files it leaves on its lines go with it."""
        if self.process is not None and self.process.poll() is None:
            self.process.kill()
            self.process.wait()
            for device in self.devices:
                if lock_pid(device) == self.process.pid:
                    os.remove(lock_path(device))
