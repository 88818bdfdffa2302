"""korvel-serve on MQTT, against Debian's mosquitto started here on a free
port, with Home Assistant's side played by a paho-mqtt client and the units
simulated by korvel-unit: discovery and the birth message, commands and the
state that follows only the unit's answers, availability, the last will, a
broker restart, several sites on one broker, retained commands, refusals,
and a broker that takes only TLS with a password. Every broker, gateway and
unit started here is stopped by its pid, also when a case fails."""

import argparse
import json
import os
import shutil
import subprocess
import sys
import tempfile
import time
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import hex_line, message_frame  # noqa: E402
from mqtt_parts import Broker, Gateway, HomeAssistant, Unit, free_port, wait_for  # noqa: E402

ARGS = None


def frame_of(lines):
    """The message frame the unit gets for lines, in --frames' hex."""
    return hex_line(message_frame("\r\n".join(lines).encode()))


class MqttTestCase(unittest.TestCase):
    def setUp(self):
        self.work = tempfile.mkdtemp(prefix="korvel-mqtt-test-")
        self.addCleanup(shutil.rmtree, self.work, True)

    def broker(self, **options):
        broker = Broker(self.work, **options)
        self.addCleanup(broker.stop)
        return broker

    def unit(self, *options):
        unit = Unit(ARGS.unit, tempfile.mkdtemp(dir=self.work), "--no-spin", *options)
        self.addCleanup(unit.kill)
        return unit

    def gateway(self, broker_port, site, units, **options):
        gateway = Gateway(ARGS.serve, self.work, broker_port, site,
                          {name: unit.path for name, unit in units.items()}, **options)
        self.addCleanup(gateway.kill)
        return gateway

    def home_assistant(self, port, **options):
        client = HomeAssistant(port, **options)
        self.addCleanup(client.close)
        return client

    def assertStops(self, gateway):
        status, seconds = gateway.stop()
        self.assertEqual(status, 0, gateway.log())
        self.assertLess(seconds, 5.0)


class HomeAssistantTest(MqttTestCase):
    """One site, two units, as Home Assistant sees it."""

    def setUp(self):
        super().setUp()
        self.mosquitto = self.broker()
        self.ha = self.home_assistant(self.mosquitto.port)
        self.window, self.door = self.unit(), self.unit("--no-answer")
        self.shop = self.gateway(self.mosquitto.port, "shop1",
                                 {"window": self.window, "door": self.door}).start()

    def test_discovery_and_the_birth_message(self):
        ha = self.ha
        topic = "homeassistant/text/korvel_shop1_window_line1/config"
        config = json.loads(ha.wait(topic))
        self.assertEqual(config["command_topic"], "korvel/shop1/window/line1/set")
        self.assertEqual(config["state_topic"], "korvel/shop1/window/line1")
        self.assertEqual((config["min"], config["max"], config["mode"]), (0, 28, "text"))
        self.assertRegex("GRAND OPENING ~!", config["pattern"])
        self.assertNotRegex("caf\u00e9", config["pattern"])
        self.assertEqual(config["unique_id"], "korvel_shop1_window_line1")
        self.assertEqual(config["default_entity_id"], "text.korvel_shop1_window_line1")
        self.assertNotIn("object_id", config)
        self.assertEqual(config["availability_mode"], "all")
        self.assertEqual([a["topic"] for a in config["availability"]],
                         ["korvel/shop1/status", "korvel/shop1/window/availability"])
        device = config["device"]
        self.assertEqual(device["identifiers"], ["korvel_shop1_window"])
        self.assertEqual(device["name"], "Window display")
        self.assertEqual(device["via_device"], "korvel_shop1")
        for key in ("model", "manufacturer", "sw_version"):
            self.assertTrue(device[key], key)
        self.assertEqual(config["origin"]["name"], "korvel-serve")
        line2 = json.loads(ha.wait("homeassistant/text/korvel_shop1_window_line2/config"))
        self.assertEqual(line2["command_topic"], "korvel/shop1/window/line2/set")
        self.assertEqual(line2["device"]["identifiers"], device["identifiers"])
        ha.wait("homeassistant/text/korvel_shop1_door_line2/config")
        # The device the units are reached through exists too.
        gateway = json.loads(ha.wait("homeassistant/binary_sensor/korvel_shop1/config"))
        self.assertEqual(gateway["device"]["identifiers"], ["korvel_shop1"])
        self.assertEqual(gateway["state_topic"], "korvel/shop1/status")
        ha.wait("korvel/shop1/status", "online")
        ha.wait("korvel/shop1/window/availability", "online")

        # Home Assistant restarts: its birth message brings discovery again.
        mark = time.monotonic()
        ha.publish("homeassistant/status", "online")
        self.assertEqual(json.loads(ha.wait(topic, mark=mark)), config)
        ha.wait("homeassistant/text/korvel_shop1_door_line1/config", mark=mark)
        # Anything else on its status is no birth.
        mark = time.monotonic()
        ha.publish("homeassistant/status", "offline")
        time.sleep(0.5)
        self.assertEqual(ha.on(topic, mark), [])

    def test_the_lines_follow_the_units_answers(self):
        ha, unit = self.ha, self.window
        ha.wait("korvel/shop1/window/line1", "")  # nothing yet, as published at connect
        # What the unit had noted each time a line came.
        frames_at_line = []
        ha.watch("korvel/shop1/window/line1", lambda payload: frames_at_line.append(unit.frames()))
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/set", "GRAND OPENING\nSATURDAY 10 AM")
        self.assertEqual(ha.wait("korvel/shop1/window/line1", mark=mark), "GRAND OPENING")
        self.assertEqual(ha.wait("korvel/shop1/window/line2", mark=mark), "SATURDAY 10 AM")
        self.assertEqual(frames_at_line[-1][-1], frame_of(["GRAND OPENING", "SATURDAY 10 AM"]))
        state = ha.state("korvel/shop1/window/state", mark,
                         test=lambda s: s["status"] == "programmed")
        self.assertEqual(state["lines"], ["GRAND OPENING", "SATURDAY 10 AM"])
        self.assertEqual(state["last_run"]["result"], "programmed")
        # While the run was on, the state said so, and no line came before its end.
        statuses = [json.loads(p)["status"] for p in ha.on("korvel/shop1/window/state", mark)]
        self.assertIn("programming", statuses)
        self.assertEqual(len(ha.on("korvel/shop1/window/line1", mark)), 1)

        # Home Assistant's text entity sets one line: the other is kept.
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/line2/set", "SUNDAY TOO")
        self.assertEqual(ha.wait("korvel/shop1/window/line2", mark=mark), "SUNDAY TOO")
        self.assertEqual(frames_at_line, frames_at_line[:1])  # line 1 did not change
        self.assertEqual(unit.frames()[-1], frame_of(["GRAND OPENING", "SUNDAY TOO"]))
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/set", json.dumps({"lines": ["CLOSED"]}))
        self.assertEqual(ha.wait("korvel/shop1/window/line1", mark=mark), "CLOSED")
        self.assertEqual(ha.wait("korvel/shop1/window/line2", mark=mark), "")
        self.assertEqual(unit.frames()[-1], frame_of(["CLOSED"]))
        self.assertEqual(frames_at_line[-1][-1], frame_of(["CLOSED"]))

    def test_a_refused_text_is_answered_on_error_and_not_sent(self):
        ha, unit = self.ha, self.window
        ha.wait("korvel/shop1/status", "online")
        cases = [("korvel/shop1/window/set", "X" * 29, "28"),
                 ("korvel/shop1/window/set", "ONE\nTWO\nTHREE", "line"),
                 ("korvel/shop1/window/line1/set", "caf\u00e9", "line 1"),
                 ("korvel/shop1/window/set", '{"lines": "NOT A LIST"}', "lines")]
        for topic, payload, words in cases:
            with self.subTest(payload=payload):
                mark = time.monotonic()
                ha.publish(topic, payload)
                said = ha.wait("korvel/shop1/window/error", mark=mark)
                self.assertIn(words, said)
        time.sleep(0.3)
        self.assertEqual(unit.frames(), [])
        self.assertIn("refused", self.shop.log())
        # Not retained: a client that comes later hears nothing of it.
        late = self.home_assistant(self.mosquitto.port, name="late")
        time.sleep(0.5)
        self.assertEqual(late.on("korvel/shop1/window/error"), [])
        self.assertNotEqual(late.on("korvel/shop1/window/state"), [])

    def test_a_unit_that_does_not_answer_goes_offline(self):
        ha = self.ha
        ha.wait("korvel/shop1/door/availability", "online")
        ha.wait("korvel/shop1/window/availability", "online")
        mark = time.monotonic()
        ha.publish("korvel/shop1/door/set", "NOBODY HOME")
        ha.wait("korvel/shop1/door/availability", "offline", mark=mark)
        state = ha.state("korvel/shop1/door/state", mark, test=lambda s: s["status"] == "failed")
        self.assertEqual(state["wanted"], ["NOBODY HOME"])
        self.assertIsNotNone(state["next_try"])
        self.assertEqual(ha.on("korvel/shop1/door/line1", mark), [])
        # The other unit stays as it is.
        self.assertEqual(ha.on("korvel/shop1/window/availability", mark), [])

    def test_a_clean_stop_and_the_last_will(self):
        ha = self.ha
        ha.wait("korvel/shop1/status", "online")
        mark = time.monotonic()
        self.assertStops(self.shop)
        ha.wait("korvel/shop1/status", "offline", mark=mark)
        self.shop.start()
        ha.wait("korvel/shop1/status", "online", mark=mark)
        # Gone without a word: the broker says it for it.
        mark = time.monotonic()
        self.shop.kill()
        ha.wait("korvel/shop1/status", "offline", mark=mark, seconds=5)


class RetainedCommandTest(MqttTestCase):
    def test_a_retained_command_programs_only_a_new_text(self):
        mosquitto = self.broker()
        ha = self.home_assistant(mosquitto.port)
        unit = self.unit()
        shop = self.gateway(mosquitto.port, "shop1", {"window": unit}).start()
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/set", "OPEN\nTILL 6", retain=True)
        ha.wait("korvel/shop1/window/line1", "OPEN", mark=mark)
        self.assertEqual(len(unit.frames()), 2)
        # kill -9 and start again: the same retained text is not sent again.
        shop.kill()
        mark = time.monotonic()
        shop.start()
        ha.state("korvel/shop1/window/state", mark)
        time.sleep(0.5)
        self.assertEqual(len(unit.frames()), 2)
        self.assertNotIn("(retained)", shop.log())
        # A text retained while the gateway was away is sent when it is back.
        self.assertStops(shop)
        ha.publish("korvel/shop1/window/set", "CLOSED\nBACK MONDAY", retain=True)
        mark = time.monotonic()
        shop.start()
        ha.wait("korvel/shop1/window/line2", "BACK MONDAY", mark=mark)
        self.assertEqual(unit.frames()[-1], frame_of(["CLOSED", "BACK MONDAY"]))
        self.assertIn("(retained)", shop.log())
        self.assertEqual(len(unit.frames()), 4)
        self.assertStops(shop)

    def test_a_unit_taken_out_has_its_discovery_cleared(self):
        mosquitto = self.broker()
        ha = self.home_assistant(mosquitto.port)
        window, door = self.unit(), self.unit()
        shop = self.gateway(mosquitto.port, "shop1", {"window": window, "door": door}).start()
        ha.wait("homeassistant/text/korvel_shop1_door_line2/config")
        self.assertStops(shop)
        smaller = self.gateway(mosquitto.port, "shop1", {"window": window})
        mark = time.monotonic()
        smaller.start()
        for line in (1, 2):
            ha.wait("homeassistant/text/korvel_shop1_door_line%d/config" % line, "", mark=mark)
        self.assertNotIn("", ha.on("homeassistant/text/korvel_shop1_window_line1/config", mark))
        self.assertIn("no longer configured", smaller.log())
        # Cleared once: the next start has nothing left to clear.
        self.assertStops(smaller)
        mark = time.monotonic()
        smaller.start()
        ha.wait("homeassistant/text/korvel_shop1_window_line1/config", mark=mark)
        time.sleep(0.3)
        self.assertEqual(ha.on("homeassistant/text/korvel_shop1_door_line1/config", mark), [])
        self.assertStops(smaller)


class QueueTest(MqttTestCase):
    def test_commands_during_a_run_queue_and_the_newest_goes_next(self):
        mosquitto = self.broker()
        ha = self.home_assistant(mosquitto.port)
        unit = self.unit("--line-speed", "9600")
        self.gateway(mosquitto.port, "shop1", {"window": unit}).start()
        ha.wait("korvel/shop1/window/line1", "")
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/set", "FIRST")
        ha.state("korvel/shop1/window/state", mark, test=lambda s: s["status"] == "programming")
        for text in ("SECOND", "THIRD"):
            ha.publish("korvel/shop1/window/set", text)
        ha.wait("korvel/shop1/window/line1", "THIRD", mark=mark)
        # FIRST ran, SECOND was overtaken while it waited, THIRD ran after.
        self.assertEqual(ha.on("korvel/shop1/window/line1", mark), ["FIRST", "THIRD"])
        self.assertEqual([f for f in unit.frames() if f != unit.frames()[0]],
                         [frame_of(["FIRST"]), frame_of(["THIRD"])])


class BrokerRestartTest(MqttTestCase):
    def test_the_gateway_comes_back_with_the_broker(self):
        mosquitto = self.broker()
        ha = self.home_assistant(mosquitto.port)
        unit = self.unit()
        shop = self.gateway(mosquitto.port, "shop1", {"window": unit}).start()
        ha.publish("korvel/shop1/window/set", "BEFORE")
        ha.wait("korvel/shop1/window/line1", "BEFORE")
        mosquitto.stop()
        shop.wait_log("trying again")
        mark = time.monotonic()
        mosquitto.start()  # the same port, and nothing retained
        # It connects again, and publishes its state, discovery and status anew.
        ha.wait("korvel/shop1/status", "online", mark=mark, seconds=15)
        ha.wait("korvel/shop1/window/line1", "BEFORE", mark=mark)
        ha.wait("homeassistant/text/korvel_shop1_window_line1/config", mark=mark)
        self.assertEqual(ha.state("korvel/shop1/window/state", mark)["lines"], ["BEFORE"])
        # And listens again.
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/set", "AFTER")
        ha.wait("korvel/shop1/window/line1", "AFTER", mark=mark)
        self.assertEqual(unit.frames()[-1], frame_of(["AFTER"]))
        self.assertIn("again", shop.log())

    def test_a_broker_away_at_start_holds_nothing_up(self):
        port = free_port()  # nothing listens there yet
        unit = self.unit()
        shop = self.gateway(port, "shop1", {"window": unit})
        shop.start(connected=False)
        wait_for(lambda: "serving http" in shop.log(), "the HTTP side to serve")
        mosquitto = self.broker(port=port)
        ha = self.home_assistant(mosquitto.port)
        shop.wait_log("mqtt: connected", seconds=15)
        ha.wait("korvel/shop1/status", "online")


class FleetTest(MqttTestCase):
    def test_three_sites_on_one_broker(self):
        mosquitto = self.broker()
        ha = self.home_assistant(mosquitto.port)
        units = {}
        for site in ("shop1", "shop2", "shop3"):
            units[site] = {"window": self.unit(), "door": self.unit()}
            self.gateway(mosquitto.port, site, units[site]).start()

        def counts():
            return {(site, name): len(unit.frames())
                    for site, pair in units.items() for name, unit in pair.items()}

        def lines_come(payload, where, mark):
            for site, name in where:
                ha.wait("korvel/%s/%s/line1" % (site, name), payload, mark=mark)

        everywhere = list(counts())
        mark = time.monotonic()
        ha.publish("korvel/all/set", "EVERY SHOP")
        lines_come("EVERY SHOP", everywhere, mark)
        self.assertEqual(set(counts().values()), {2})

        mark = time.monotonic()
        ha.publish("korvel/shop1/all/set", "SHOP ONE")
        lines_come("SHOP ONE", [("shop1", "window"), ("shop1", "door")], mark)
        ha.publish("korvel/shop2/door/set", "SHOP TWO DOOR")
        lines_come("SHOP TWO DOOR", [("shop2", "door")], mark)
        time.sleep(0.3)
        self.assertEqual(counts(), {("shop1", "window"): 4, ("shop1", "door"): 4,
                                    ("shop2", "window"): 2, ("shop2", "door"): 4,
                                    ("shop3", "window"): 2, ("shop3", "door"): 2})
        # A site's topics for a unit it does not have, and topics of no site.
        ha.publish("korvel/shop4/window/set", "NOBODY")
        ha.publish("korvel/window/set", "NOBODY")
        time.sleep(0.3)
        self.assertEqual(set(counts().values()), {2, 4})


class TlsTest(MqttTestCase):
    def certificates(self):
        """A CA and the broker's certificate for localhost, made here."""
        files = {"ca": os.path.join(self.work, "ca.pem"),
                 "ca-key": os.path.join(self.work, "ca-key.pem")}
        self.openssl("req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                     "-subj", "/CN=KORVEL test CA", "-keyout", files["ca-key"], "-out", files["ca"])
        files["cert"], files["key"] = self.signed(files, "localhost",
                                                  "subjectAltName=DNS:localhost,IP:127.0.0.1")
        return files

    def signed(self, files, name, extension=None):
        """A key and a certificate for name, signed by the CA: (cert, key)."""
        cert, key = (os.path.join(self.work, name + suffix) for suffix in (".pem", "-key.pem"))
        csr = os.path.join(self.work, name + ".csr")
        self.openssl("req", "-newkey", "rsa:2048", "-nodes", "-subj", "/CN=" + name,
                     "-keyout", key, "-out", csr)
        more = []
        if extension:
            more = ["-extfile", os.path.join(self.work, name + ".cnf")]
            with open(more[1], "w") as f:
                f.write(extension + "\n")
        self.openssl("x509", "-req", "-in", csr, "-CA", files["ca"], "-CAkey", files["ca-key"],
                     "-CAcreateserial", "-days", "2", "-out", cert, *more)
        os.chmod(key, 0o600)
        return cert, key

    def openssl(self, *args):
        subprocess.run(["openssl"] + list(args), check=True, capture_output=True)

    def test_a_broker_that_takes_only_a_client_certificate(self):
        files = self.certificates()
        mosquitto = self.broker(tls=files)
        ha_cert, ha_key = self.signed(files, "home-assistant")
        ha = self.home_assistant(mosquitto.port, tls={"ca": files["ca"], "cert": ha_cert,
                                                      "key": ha_key})
        cert, key = self.signed(files, "shop1")
        unit = self.unit()
        shop = self.gateway(mosquitto.port, "shop1", {"window": unit},
                            broker="mqtts://localhost:%d" % mosquitto.port,
                            mqtt_lines=['ca_file = "%s"' % files["ca"], 'cert_file = "%s"' % cert,
                                        'key_file = "%s"' % key]).start()
        ha.wait("korvel/shop1/status", "online")
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/line1/set", "BY CERTIFICATE")
        ha.wait("korvel/shop1/window/line1", "BY CERTIFICATE", mark=mark)
        self.assertStops(shop)

    def test_a_broker_that_takes_only_tls_with_a_password(self):
        files = self.certificates()
        passwords = os.path.join(self.work, "passwords")
        subprocess.run(["mosquitto_passwd", "-b", "-c", passwords, "shop1", "s3cret-pass"],
                       check=True, capture_output=True)
        os.chmod(passwords, 0o600)
        mosquitto = self.broker(tls=dict(files, passwords=passwords))
        password_file = os.path.join(self.work, "shop1.password")
        with open(password_file, "w") as f:
            f.write("s3cret-pass\n")
        os.chmod(password_file, 0o600)
        ha = self.home_assistant(mosquitto.port, tls={"ca": files["ca"], "user": "shop1",
                                                      "password": "s3cret-pass"})
        unit = self.unit()
        broker = "mqtts://localhost:%d" % mosquitto.port
        shop = self.gateway(mosquitto.port, "shop1", {"window": unit}, broker=broker,
                            mqtt_lines=['username = "shop1"',
                                        'password_file = "%s"' % password_file,
                                        'ca_file = "%s"' % files["ca"]]).start()
        ha.wait("korvel/shop1/status", "online")
        mark = time.monotonic()
        ha.publish("korvel/shop1/window/set", "OVER TLS")
        ha.wait("korvel/shop1/window/line1", "OVER TLS", mark=mark)
        self.assertStops(shop)

        # Without the CA the broker's certificate is not trusted: no connection.
        stranger = self.gateway(mosquitto.port, "shop2", {"window": self.unit()}, broker=broker,
                                mqtt_lines=['username = "shop1"',
                                            'password_file = "%s"' % password_file])
        stranger.start(connected=False)
        stranger.wait_log("certificate verify failed")
        self.assertNotIn("mqtt: connected", stranger.log())
        self.assertEqual(ha.on("korvel/shop2/status"), [])

        # A wrong password: the broker's refusal, in its words.
        wrong = os.path.join(self.work, "wrong.password")
        with open(wrong, "w") as f:
            f.write("not-the-password\n")
        os.chmod(wrong, 0o600)
        refused = self.gateway(mosquitto.port, "shop3", {"window": self.unit()}, broker=broker,
                               mqtt_lines=['username = "shop1"', 'password_file = "%s"' % wrong,
                                           'ca_file = "%s"' % files["ca"]])
        refused.start(connected=False)
        refused.wait_log("refused the connection")
        self.assertIn("not authori", refused.log())
        self.assertEqual(ha.on("korvel/shop3/status"), [])


class ConfigTest(MqttTestCase):
    """[mqtt] mistakes, each named by file, line and key."""

    def check(self, mqtt_text, units=("window",)):
        folder = tempfile.mkdtemp(dir=self.work)
        token = os.path.join(folder, "token")
        with open(token, "w") as f:
            f.write("0123456789abcdef0123\n")
        os.chmod(token, 0o600)
        config = os.path.join(folder, "serve.toml")
        text = '[http]\ntoken_file = "%s"\n%s\n' % (token, mqtt_text)
        for n, name in enumerate(units):
            text += '[[unit]]\nname = "%s"\nport = "/dev/ttyS%d"\n' % (name, n)
        with open(config, "w") as f:
            f.write(text)
        result = subprocess.run([ARGS.serve, "--config", config, "--check"],
                                capture_output=True, text=True, timeout=10)
        return result.returncode, result.stderr.replace(config, "serve.toml")

    def test_mistakes(self):
        secret = os.path.join(self.work, "open.password")
        with open(secret, "w") as f:
            f.write("everyone-reads-me\n")
        os.chmod(secret, 0o644)
        cases = [
            ('[mqtt]\nsite = "shop1"', "serve.toml:3: mqtt.broker: is needed"),
            ('[mqtt]\nbroker = "http://127.0.0.1:1883"\nsite = "shop1"',
             "serve.toml:4: mqtt.broker: 'http://127.0.0.1:1883' is no"),
            ('[mqtt]\nbroker = "mqtt://127.0.0.1:70000"\nsite = "shop1"',
             "serve.toml:4: mqtt.broker"),
            ('[mqtt]\nbroker = "mqtt://127.0.0.1"', "serve.toml:3: mqtt.site: is needed"),
            ('[mqtt]\nbroker = "mqtt://127.0.0.1"\nsite = "Shop 1"', "serve.toml:5: mqtt.site"),
            ('[mqtt]\nbroker = "mqtt://127.0.0.1"\nsite = "s"\nqos = 2',
             "serve.toml:6: mqtt.qos: unknown key"),
            ('[mqtt]\nbroker = "mqtt://127.0.0.1"\nsite = "s"\nusername = "u"\n'
             'password_file = "%s"' % secret,
             "serve.toml:7: mqtt.password_file: %s can be read by others" % secret),
            ('[mqtt]\nbroker = "mqtt://127.0.0.1"\nsite = "s"\nca_file = "/etc/hostname"',
             "serve.toml:6: mqtt.ca_file: is for a broker reached by TLS"),
            ('[mqtt]\nbroker = "mqtts://h"\nsite = "s"\ncert_file = "/etc/hostname"',
             "mqtt.key_file: a client certificate needs both"),
            ('[mqtt]\nbroker = "mqtt://127.0.0.1"\nsite = "s"\ntopic_prefix = "korvel/#"',
             "serve.toml:6: mqtt.topic_prefix"),
        ]
        for text, said in cases:
            with self.subTest(text=text):
                status, stderr = self.check(text)
                self.assertEqual(status, 2, stderr)
                self.assertIn(said, stderr)
        status, stderr = self.check('[mqtt]\nbroker = "mqtt://127.0.0.1"\nsite = "s"',
                                    units=("window", "all"))
        self.assertEqual(status, 2)
        self.assertIn("unit.name: 'all'", stderr)
        status, stderr = self.check('[mqtt]\nbroker = "mqtts://[::1]"\nsite = "shop-1_a"')
        self.assertEqual(status, 0, stderr)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--serve", required=True)
    parser.add_argument("--unit", required=True)
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
