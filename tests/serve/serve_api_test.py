"""korvel-serve's HTTP API over loopback, the real binary against simulated
units on pseudo-terminals: answers and refusals, the queue, retries, restarts
after kill -9, a unit held by another service, and bytes that are no HTTP.
Everything started here is stopped by pid, also when a case fails."""

import http.client
import json
import os
import random
import socket
import ssl
import subprocess
import sys
import tempfile
import threading
import time

sys.dont_write_bytecode = True
from serve_support import TOKEN, ServeTestCase, wait_until, write_config  # noqa: E402
from korvel_test_support import BLANK, hex_line, main, message_frame  # noqa: E402


def frame_of(*lines):
    return hex_line(message_frame(b"\r\n".join(l.encode() for l in lines)))


class ApiTestCase(ServeTestCase):
    scratch_prefix = "korvel-serve-test-"

    def unit(self, *options):
        return self.start_unit("--no-spin", *options)

    def serve(self, units, extra="", config=None):
        if config is None:
            config = write_config(self.work, units, extra)
        self.config = config
        return self.start_serve(*config)


class ApiTest(ApiTestCase):
    def test_programs_a_unit_and_says_what_it_shows(self):
        unit = self.unit()
        serve = self.serve([("window", unit.path, "Shop window")])
        status, _, body = serve.put("window", ["GRAND OPENING", "SATURDAY 10 AM"])
        self.assertEqual(status, 200, body)
        self.assertEqual(unit.frames_after(2), [hex_line(BLANK),
                                                frame_of("GRAND OPENING", "SATURDAY 10 AM")])
        result = body["result"]
        self.assertEqual((result["result"], result["status"], result["port"]),
                         ("programmed", 0, unit.path))
        self.assertIn("programmed, blank frame 61 bytes and message frame 61 bytes", result["message"])
        shown = serve.unit("window")
        self.assertEqual((shown["status"], shown["lines"], shown["title"]),
                         ("programmed", ["GRAND OPENING", "SATURDAY 10 AM"], "Shop window"))
        self.assertNotIn("wanted", shown)
        listed = serve.request("GET", "/api/units")[2]
        self.assertEqual([u["name"] for u in listed], ["window"])
        # An empty list clears the display.
        self.assertEqual(serve.put("window", [])[0], 200)
        self.assertEqual(unit.frames_after(4)[-1], hex_line(message_frame(b"")))
        self.assertIn('window: from 127.0.0.1: lines ["GRAND OPENING","SATURDAY 10 AM"]', serve.log())

    def test_refusals_send_nothing_and_say_why(self):
        unit = self.unit()
        serve = self.serve([("window", unit.path, "")])
        cases = [
            ({"lines": ["A" * 29]}, 422, "line 1 is 29 characters, 1 more than the 28"),
            ({"lines": ["CAF\u00c9"]}, 422, "'\u00c9' is 2 bytes of UTF-8 (C3 89)"),
            ({"lines": ["A", "B", "C"]}, 422, "would be a third line; the display has two"),
            ({"lines": "A"}, 400, "list of up to two strings"),
            ({"lines": [1]}, 400, "list of up to two strings"),
            ({"lines": ["A"], "colour": "red"}, 400, "unknown field"),
            (b"{\"lines\": [", 400, "not JSON"),
            (b"x" * 5000, 413, "4 KiB"),
        ]
        for body, expected, said in cases:
            with self.subTest(body=body):
                status, _, answer = serve.request("PUT", "/api/units/window/banner", body)
                self.assertEqual(status, expected, answer)
                self.assertIn(said, answer["error"])
        self.assertEqual(serve.put("nowhere", ["A"])[0], 404)
        self.assertEqual(serve.request("GET", "/api/units/nowhere")[0], 404)
        self.assertEqual(unit.frames(), [])
        self.assertEqual(serve.unit("window")["lines"], [])

    def test_every_api_call_needs_the_token_and_the_page_is_locked_down(self):
        unit = self.unit()
        serve = self.serve([("window", unit.path, "")],
                           extra='cors_origins = ["https://till.example"]')
        for token in (None, "wrong", TOKEN[:-1], TOKEN + "x", ""):
            for method, path in (("GET", "/api/units"), ("PUT", "/api/units/window/banner"),
                                 ("GET", "/api/events")):
                with self.subTest(token=token, path=path):
                    status, headers, _ = serve.request(method, path, {"lines": ["A"]}, token=token)
                    self.assertEqual(status, 401)
                    self.assertEqual(headers.get("WWW-Authenticate"), "Bearer")
        self.assertEqual(unit.frames(), [])
        self.assertEqual(serve.request("GET", "/healthz", token=None)[0], 200)
        status, headers, page = serve.request("GET", "/", token=None)
        self.assertEqual(status, 200)
        self.assertIn("default-src 'none'", headers["Content-Security-Policy"])
        self.assertEqual(headers["X-Content-Type-Options"], "nosniff")
        # Pages of the listed origin may call the API; others are not told they may.
        status, headers, _ = serve.request("OPTIONS", "/api/units", token=None,
                                           headers={"Origin": "https://till.example"})
        self.assertEqual((status, headers.get("Access-Control-Allow-Origin")),
                         (204, "https://till.example"))
        status, headers, _ = serve.request("GET", "/api/units",
                                           headers={"Origin": "https://evil.example"})
        self.assertEqual(status, 200)
        self.assertNotIn("Access-Control-Allow-Origin", headers)

    def test_port_and_unit_failures_say_whose_fault(self):
        silent = self.unit("--no-answer")
        serve = self.serve([("silent", silent.path, ""),
                            ("missing", os.path.join(self.work, "ttyNOWHERE"), "")])
        status, _, body = serve.put("missing", ["A"])
        self.assertEqual(status, 502, body)
        self.assertEqual(body["result"]["result"], "no-such-port")
        self.assertIn("does not exist", body["result"]["message"])
        status, _, body = serve.put("silent", ["A"])
        self.assertEqual(status, 504, body)
        self.assertEqual(body["result"]["result"], "no-answer")
        self.assertIn("did not answer byte 1 of 61 of the blank frame", body["result"]["message"])
        unit = body["unit"]
        self.assertEqual((unit["status"], unit["lines"], unit["wanted"]), ("failed", None, ["A"]))
        self.assertIn("did not answer", unit["why"])
        self.assertIsNotNone(unit["next_try"])

    def test_a_failed_unit_is_tried_again_until_it_shows_the_text(self):
        unit = self.unit()
        link = os.path.join(self.work, "ttyLATER")
        serve = self.serve([("window", link, "")])
        status, _, body = serve.put("window", ["COME BACK"])
        self.assertEqual(status, 502)
        # Nothing reached the unit: what it showed is still known.
        self.assertEqual(body["unit"]["lines"], [])
        os.symlink(unit.path, link)  # the adapter is plugged in
        shown = wait_until(lambda: serve.unit("window")["status"] == "programmed" and
                           serve.unit("window"), "the retry to program the unit", 20)
        self.assertEqual(shown["lines"], ["COME BACK"])
        self.assertEqual(unit.frames_after(2)[-1], frame_of("COME BACK"))

    def test_wait_0_answers_at_once_and_the_newest_text_goes_next(self):
        unit = self.unit("--line-speed", "9600", "--answer-delay", "5")
        serve = self.serve([("window", unit.path, "")])
        status, _, body = serve.put("window", ["FIRST"], wait=False)
        self.assertEqual(status, 202, body)
        self.assertIn(body["unit"]["status"], ("pending", "programming"))
        wait_until(lambda: serve.unit("window")["status"] == "programming", "the first run")
        answers = {}

        def put(lines):
            answers[lines[0]] = serve.put("window", lines)

        second = threading.Thread(target=put, args=(["SECOND"],))
        second.start()
        wait_until(lambda: serve.unit("window").get("wanted") == ["SECOND"], "SECOND to wait")
        third = threading.Thread(target=put, args=(["THIRD"],))
        third.start()
        second.join(30)
        third.join(30)
        status, _, body = answers["SECOND"]
        self.assertEqual(status, 200)
        self.assertEqual(body["superseded_by"], ["THIRD"])
        self.assertEqual(body["result"]["lines"], ["THIRD"])
        status, _, body = answers["THIRD"]
        self.assertEqual(status, 200)
        self.assertNotIn("superseded_by", body)
        # Each frame reached the unit whole, and SECOND never went.
        self.assertEqual(unit.frames_after(4), [hex_line(BLANK), frame_of("FIRST"),
                                                hex_line(BLANK), frame_of("THIRD")])
        self.assertEqual(serve.unit("window")["lines"], ["THIRD"])

    def test_units_run_side_by_side(self):
        units = [self.unit("--line-speed", "9600") for _ in range(4)]
        serve = self.serve([("u%d" % i, u.path, "") for i, u in enumerate(units)])
        answers = [None] * len(units)

        def put(i):
            answers[i] = serve.put("u%d" % i, ["UNIT %d" % i])

        threads = [threading.Thread(target=put, args=(i,)) for i in range(len(units))]
        start = time.monotonic()
        for thread in threads:
            thread.start()
        for thread in threads:
            thread.join(30)
        took = time.monotonic() - start
        for i, unit in enumerate(units):
            self.assertEqual(answers[i][0], 200)
            self.assertEqual(unit.frames_after(2)[-1], frame_of("UNIT %d" % i))
        # One after another would take four runs' time (each about 0.3 s here).
        print("four units at once took %.2f s" % took)

    def test_events_show_progress_and_changes(self):
        unit = self.unit()
        serve = self.serve([("window", unit.path, "")])
        connection = http.client.HTTPConnection("127.0.0.1", serve.port, timeout=10)
        self.addCleanup(connection.close)
        connection.request("GET", "/api/events", headers={"Authorization": "Bearer " + TOKEN})
        response = connection.getresponse()
        self.assertEqual(response.getheader("Content-Type"), "text/event-stream")
        seen = b""
        while b"event: unit" not in seen:
            seen += response.read1(65536)
        self.assertEqual(serve.put("window", ["LIVE"])[0], 200)
        while b'"lines":["LIVE"],"lines_since"' not in seen:
            seen += response.read1(65536)
        events = [(part.split(b"\n")[0], json.loads(part.split(b"data: ", 1)[1]))
                  for part in seen.split(b"\n\n") if b"data: " in part]
        progress = [data for kind, data in events if kind == b"event: progress"]
        self.assertEqual([(p["frame"], p["sent"], p["bar"]) for p in progress[:3]],
                         [("blank", 1, 0), ("blank", 2, 0), ("blank", 3, 1)])
        self.assertEqual((progress[-1]["frame"], progress[-1]["sent"], progress[-1]["bar"]),
                         ("message", 61, 60))
        # Each change in the order it happened; the new text may already be on
        # its way when the page hears of it.
        statuses = [data["status"] for kind, data in events if kind == b"event: unit"]
        self.assertIn(statuses, (["programmed", "pending", "programming", "programmed"],
                                 ["programmed", "programming", "programmed"]))
        # Listeners are bounded: the ninth is turned away.
        streams = []
        for _ in range(7):
            s = socket.create_connection(("127.0.0.1", serve.port), timeout=10)
            self.addCleanup(s.close)
            s.sendall(("GET /api/events HTTP/1.1\r\nHost: x\r\nAuthorization: Bearer %s\r\n\r\n"
                       % TOKEN).encode())
            self.assertIn(b"200", s.recv(4096))
            streams.append(s)
        self.assertEqual(serve.request("GET", "/api/events")[0], 503)
        self.assertEqual(serve.request("GET", "/api/units")[0], 200)


class HttpsTest(ApiTestCase):
    def test_https_with_the_configured_certificate(self):
        unit = self.unit()
        cert, key = os.path.join(self.work, "cert.pem"), os.path.join(self.work, "key.pem")
        subprocess.run(["openssl", "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2",
                        "-subj", "/CN=localhost", "-addext", "subjectAltName=IP:127.0.0.1",
                        "-keyout", key, "-out", cert], check=True, capture_output=True)
        path, port = write_config(self.work, [("window", unit.path, "")],
                                  'tls_cert = "%s"\ntls_key = "%s"' % (cert, key))
        process = self.start_program("--config", path, binary=self.args.serve,
                                     stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        # Asked to end, it lets its line go.
        self.addCleanup(lambda: (process.terminate(), process.wait()))
        trusted = ssl.create_default_context(cafile=cert)

        def put():
            connection = http.client.HTTPSConnection("127.0.0.1", port, context=trusted,
                                                     timeout=10)
            try:
                connection.request("PUT", "/api/units/window/banner", '{"lines": ["SAFE"]}',
                                   {"Authorization": "Bearer " + TOKEN})
                return connection.getresponse().status
            finally:
                connection.close()

        self.assertEqual(wait_until(lambda: self._try(put), "korvel-serve over HTTPS"), 200)
        self.assertEqual(unit.frames_after(2)[-1], frame_of("SAFE"))
        # Plain HTTP on the same port gets nowhere.
        with socket.create_connection(("127.0.0.1", port), timeout=10) as s:
            s.sendall(b"GET /healthz HTTP/1.1\r\nHost: x\r\n\r\n")
            self.assertNotIn(b"200 OK", s.recv(4096))

    @staticmethod
    def _try(call):
        try:
            return call()
        except (OSError, ssl.SSLError):
            return None


class RestartTest(ApiTestCase):
    def test_kill_9_mid_run_and_the_next_start_finishes_the_job(self):
        unit = self.unit("--line-speed", "9600", "--answer-delay", "20")
        serve = self.serve([("window", unit.path, "")])
        self.assertEqual(serve.put("window", ["KEEP ME"], wait=False)[0], 202)
        wait_until(lambda: len(unit.received()) > 10, "the run to be under way")
        serve.process.kill()
        serve.process.wait()
        with open(os.path.join(self.work, "state", "window.json")) as f:
            kept = json.load(f)
        self.assertEqual(kept["wanted"], ["KEEP ME"])
        self.assertNotEqual(kept["shown"], ["KEEP ME"])
        again = self.serve(None, config=self.config)
        shown = wait_until(lambda: again.unit("window")["status"] == "programmed" and
                           again.unit("window"), "the unit to be programmed again", 20)
        self.assertEqual(shown["lines"], ["KEEP ME"])
        self.assertEqual(unit.frames()[-1], frame_of("KEEP ME"))
        # A unit that shows its text is left alone at the next start.
        count = len(unit.frames())
        self.assertEqual(again.stop(), 0)
        third = self.serve(None, config=self.config)
        self.assertEqual(third.unit("window")["status"], "programmed")
        time.sleep(0.5)
        self.assertEqual(len(unit.frames()), count)
        # The same text sent again and cut short: the unit may show anything now.
        self.assertEqual(third.put("window", ["KEEP ME"], wait=False)[0], 202)
        received = len(unit.received())
        wait_until(lambda: len(unit.received()) > received + 10, "the second run to be under way")
        third.process.kill()
        third.process.wait()
        with open(os.path.join(self.work, "state", "window.json")) as f:
            self.assertIsNone(json.load(f)["shown"])
        fourth = self.serve(None, config=self.config)
        wait_until(lambda: fourth.unit("window")["status"] == "programmed", "a run once more", 20)
        self.assertEqual(unit.frames_after(count + 2)[-1], frame_of("KEEP ME"))

    def test_a_second_service_on_the_same_unit_is_refused_naming_the_holder(self):
        unit = self.unit()
        first = self.serve([("window", unit.path, "")])
        self.assertEqual(first.put("window", ["MINE"])[0], 200)
        other = tempfile.mkdtemp(prefix="korvel-serve-test-", dir=self.work)
        second = self.start_serve(*write_config(other, [("window", unit.path, "")]))
        status, _, body = second.put("window", ["THEIRS"])
        self.assertEqual(status, 502, body)
        self.assertEqual(body["result"]["result"], "port-in-use")
        self.assertIn("in use by korvel-serve (pid %d)" % first.process.pid,
                      body["result"]["message"])
        self.assertEqual(unit.frames_after(2)[-1], frame_of("MINE"))

    def test_a_mistake_in_the_configuration_stops_it_before_anything_opens(self):
        unit = self.unit()
        path, port = write_config(self.work, [("window", unit.path, ""), ("window", "/dev/x", "")])
        result = subprocess.run([self.args.serve, "--config", path], capture_output=True, timeout=10)
        self.assertEqual(result.returncode, 2)
        self.assertRegex(result.stderr.decode(), r"serve\.toml:\d+: unit\.name: 'window' is given twice")
        self.assertFalse(os.path.exists(os.path.join(self.work, "state")))


class HostileInputTest(ApiTestCase):
    def test_random_truncated_and_oversized_requests_leave_it_serving(self):
        unit = self.unit()
        serve = self.serve([("window", unit.path, "")])
        rng = random.Random(2026)
        garbage = [bytes(rng.randrange(256) for _ in range(rng.randrange(1, 2000)))
                   for _ in range(150)]
        garbage += [b"PUT /api/units/window/banner HTTP/1.1\r\nContent-Length: 100\r\n\r\n{\"li",
                    b"GET / HTTP/1.1\r\n" + b"X-Long: " + b"a" * 100000 + b"\r\n\r\n",
                    b"GET /" + b"a" * 70000 + b" HTTP/1.1\r\n\r\n",
                    b"PUT /api/units/window/banner HTTP/1.1\r\nTransfer-Encoding: chunked\r\n"
                    b"Authorization: Bearer " + TOKEN.encode() + b"\r\n\r\nFFFFFFFF\r\n",
                    b"GET /api/units HTTP/1.1\r\n" + b"H: v\r\n" * 5000 + b"\r\n"]
        for data in garbage:
            with socket.create_connection(("127.0.0.1", serve.port), timeout=10) as s:
                try:
                    s.sendall(data)
                    s.shutdown(socket.SHUT_WR)
                    s.settimeout(6)
                    while s.recv(65536):
                        pass
                except OSError:
                    pass  # the service may close on us: it only has to live on
        self.assertIsNone(serve.process.poll(), serve.log())
        self.assertEqual(serve.put("window", ["STILL HERE"])[0], 200)
        self.assertEqual(unit.frames_after(2)[-1], frame_of("STILL HERE"))


if __name__ == "__main__":
    main("serve", "unit")
