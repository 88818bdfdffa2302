"""korvel-program with units behind serial servers on the network, and with
several units in one command: a real ser2net in front of simulated units on
pseudo-terminals, and an RFC 2217 server of the tests' own for what ser2net
there cannot show. Every unit, server and program started here is stopped
again, also when a case fails."""

import json
import os
import pty
import re
import select
import signal
import socket
import sys
import termios
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
import rfc2217_peer as rp  # noqa: E402
from korvel_test_support import (BLANK, KorvelTestCase, free_port, hex_line, main,  # noqa: E402
                                 message_frame, padded, read_until_closed, wait_for)


class NetworkTestCase(KorvelTestCase):
    scratch_prefix = "korvel-network-test-"

    def peer(self, **behaviour):
        peer = rp.Peer(**behaviour)
        self.addCleanup(peer.stop)
        return peer

    def assert_programmed(self, result, port):
        self.assertEqual(result.returncode, 0, result.stderr)
        self.assertIn("korvel-program: %s: programmed" % port, result.stderr.decode())


class Ser2netTest(NetworkTestCase):
    def test_raw_tcp_brings_the_frames_byte_for_byte(self):
        # A unit that answers twice, and says more after each frame's end:
        # what it sent beyond its answer is read away before the next byte.
        unit = self.start_unit("--extra", "1", "--stale", "15 3F")
        server = self.start_ser2net(("raw", unit.path, "9600n81,local"))
        port = "socket://127.0.0.1:%d" % server.ports[0]
        for message in (b"HELLO", b"WORLD"):
            self.assert_programmed(self.run_program("--port", port, message.decode()), port)
        self.assertEqual(unit.frames_after(4), [hex_line(BLANK), hex_line(message_frame(b"HELLO")),
                                         hex_line(BLANK), hex_line(message_frame(b"WORLD"))])

    def test_rfc2217_sets_the_line_the_server_confirms(self):
        # ser2net opens the line at 19200 7E2; the run asks for 9600 8N1.
        unit = self.start_unit()
        server = self.start_ser2net(("rfc2217", unit.path, "19200e72"))
        port = "rfc2217://localhost:%d" % server.ports[0]
        self.assert_programmed(self.run_program("--port", port, "--text", r"\xFF\xFE OK"), port)
        self.assertEqual(unit.frames_after(2),
                         [hex_line(BLANK), hex_line(message_frame(b"\xff\xfe OK"))])
        # The terminal behind ser2net keeps what the server set for the run.
        fd = os.open(unit.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        try:
            attributes = termios.tcgetattr(fd)
        finally:
            os.close(fd)
        cflag, ospeed = attributes[2], attributes[5]
        self.assertEqual(ospeed, termios.B9600)
        self.assertEqual(cflag & termios.CSIZE, termios.CS8)
        self.assertEqual(cflag & (termios.PARENB | termios.CSTOPB), 0)

    def test_ser2net_on_a_pseudo_terminal_has_no_modem_lines_and_the_run_counts_cts_as_up(self):
        # Pinned down, as the client relies on it: ser2net confirms no DTR
        # or RTS setting on a pseudo-terminal, answers "what is DTR?" with the
        # question itself, and says the modem lines are all down.
        unit = self.start_unit()
        server = self.start_ser2net(("rfc2217", unit.path, "9600n81"))
        seen = talk_rfc2217(server.ports[0], [rp.subnegotiation(rp.SET_CONTROL, rp.DTR_ON),
                                              rp.subnegotiation(rp.SET_CONTROL, 11),
                                              rp.subnegotiation(rp.SET_CONTROL, rp.ASK_DTR)])
        self.assertEqual(seen.get(rp.SERVER + rp.SET_CONTROL), [bytes([rp.ASK_DTR])])
        self.assertEqual(seen.get(rp.SERVER + rp.NOTIFY_MODEMSTATE, [b"\0"])[0][0] & rp.CTS, 0)
        port = "rfc2217://127.0.0.1:%d" % server.ports[0]
        self.assert_programmed(self.run_program("--port", port, "HI"), port)
        self.assertEqual(len(unit.frames_after(2)), 2)


class MixUpTest(NetworkTestCase):
    """A server reached under the other kind's name is named for what it is,
    with the name to use instead."""

    def test_rfc2217_on_a_raw_server_says_what_reached_the_line(self):
        unit = self.start_unit()
        server = self.start_ser2net(("raw", unit.path, "9600n81,local"))
        port = "rfc2217://127.0.0.1:%d" % server.ports[0]
        start = time.monotonic()
        result = self.run_program("--port", port, "HI")
        self.assertLess(time.monotonic() - start, 3, "it waited out the negotiation's time")
        self.assertEqual(result.returncode, 3, result.stderr)
        # The negotiation the raw server passed on: WILL BINARY, WILL
        # COM-PORT-OPTION, DO BINARY; the unit answered each byte.
        negotiation = bytes([rp.IAC, rp.WILL, rp.BINARY, rp.IAC, rp.WILL, rp.COM_PORT,
                             rp.IAC, rp.DO, rp.BINARY])
        wait_for(lambda: len(unit.received()) >= len(negotiation), "the negotiation's bytes")
        self.assertEqual(unit.received(), negotiation)
        self.assertIn("%s could not be used: the server does not speak Telnet. It passed the 9 "
                      "bytes of Telnet's option negotiation on to the unit's line as they were, "
                      "and 9 came back raw. A server that passes bytes raw is reached with "
                      "socket://127.0.0.1:%d." % (port, server.ports[0]), result.stderr.decode())

    def test_socket_on_a_telnet_server_is_noticed_and_rfc2217_offered(self):
        unit = self.start_unit()
        server = self.start_ser2net(("rfc2217", unit.path, "9600n81"))
        port = "socket://localhost:%d" % server.ports[0]
        result = self.run_program("--port", port, "HI")
        self.assertEqual(result.returncode, 3, result.stderr)
        said = result.stderr.decode()
        self.assertIn("%s: the server speaks Telnet (it began Telnet's option negotiation)" % port,
                      said)
        self.assertIn("reached with rfc2217://localhost:%d." % server.ports[0], said)
        stopped = re.search(r"the run stopped at byte (\d+) of 61 of the blank frame", said)
        self.assertIsNotNone(stopped, said)
        time.sleep(0.2)
        self.assertLessEqual(len(unit.received()), int(stopped.group(1)))

    def test_host_and_port_without_a_scheme_offers_both(self):
        result = self.run_program("--port", "localhost:3112", "HI")
        self.assertEqual(result.returncode, 2, result.stderr)
        self.assertIn("localhost:3112 names no device here; did you mean socket://localhost:3112 "
                      "or rfc2217://localhost:3112?",
                      result.stderr.decode())

    def test_a_silent_unit_behind_a_server_names_the_server_too_and_ctrl_c_ends_it_at_once(self):
        unit = self.start_unit("--no-answer")
        server = self.start_ser2net(("raw", unit.path, "9600n81,local"))
        port = "socket://127.0.0.1:%d" % server.ports[0]
        result = self.run_program("--port", port, "HI")
        self.assertEqual(result.returncode, 4, result.stderr)
        self.assertIn("the unit on %s did not answer byte 1 of 61 of the blank frame within 3 s. "
                      "Check the serial server and its line to the unit, the cable and the "
                      "unit's power" % port, result.stderr.decode())

        program = self.start_program("--port", port, "HI")
        wait_for(lambda: len(unit.received()) >= 2, "the run to wait for an answer")
        time.sleep(0.3)
        started = time.monotonic()
        program.send_signal(signal.SIGINT)
        program.communicate(timeout=10)
        took = time.monotonic() - started
        print("\n  Ctrl-C to exit, behind a serial server: %.3f s" % took, file=sys.stderr)
        self.assertEqual(program.returncode, 130)
        self.assertLess(took, 1.0, "Ctrl-C took %.3f s" % took)


def talk_rfc2217(port, requests, seconds=1.5):
    """Agrees on the COM-PORT-OPTION, sends the requests, and gives the
    server's COM-PORT-OPTION answers by command: {command: [values, ...]}."""
    seen = {}
    with socket.create_connection(("127.0.0.1", port), timeout=5) as s:
        s.sendall(bytes([rp.IAC, rp.WILL, rp.BINARY, rp.IAC, rp.DO, rp.BINARY,
                         rp.IAC, rp.WILL, rp.COM_PORT]))
        time.sleep(0.3)
        s.sendall(b"".join(requests))
        received = b""
        deadline = time.monotonic() + seconds
        while time.monotonic() < deadline:
            if select.select([s], [], [], 0.05)[0]:
                chunk = s.recv(4096)
                if not chunk:
                    break
                received += chunk
    for payload in re.findall(rb"\xff\xfa,(.*?)\xff\xf0", received, re.S):
        seen.setdefault(payload[0], []).append(payload[1:].replace(b"\xff\xff", b"\xff"))
    return seen


class OwnServerTest(NetworkTestCase):
    def port(self, peer):
        return "rfc2217://127.0.0.1:%d" % peer.port

    def test_the_line_is_set_as_the_registers_say_and_0xff_passes_both_ways(self):
        peer = self.peer(answer=0xFF)
        result = self.run_program("--port", self.port(peer), "--text", r"\xFF\xFF\r\n\xFF")
        self.assert_programmed(result, self.port(peer))
        self.assertEqual(bytes(peer.data), BLANK + padded(b"\xff\xff\r\n\xff"))
        self.assertEqual(peer.set_commands(rp.SET_BAUDRATE)[-1], (9600).to_bytes(4, "big"))
        self.assertEqual(peer.set_commands(rp.SET_DATASIZE)[-1], b"\x08")
        self.assertEqual(peer.set_commands(rp.SET_PARITY)[-1], b"\x01")
        self.assertEqual(peer.set_commands(rp.SET_STOPSIZE)[-1], b"\x01")
        controls = peer.set_commands(rp.SET_CONTROL)
        self.assertEqual(controls[-2:], [bytes([rp.DTR_ON]), b"\x0b"], "DTR and RTS on")
        self.assertIn(b"\x03", peer.set_commands(rp.PURGE_DATA), "both buffers purged")

    def test_telnet_commands_between_the_answers_are_never_taken_for_one(self):
        peer = self.peer(chatter=True)
        self.assert_programmed(self.run_program("--port", self.port(peer), "CHATTY"),
                               self.port(peer))
        self.assertEqual(bytes(peer.data), BLANK + message_frame(b"CHATTY"))
        self.assertEqual(peer.early, 0, "a byte went out before its answer came")

    def test_cts_down_gives_4_and_sends_nothing(self):
        peer = self.peer(modem_state=0x20)  # DSR only
        result = self.run_program("--port", self.port(peer), "HI")
        self.assertEqual(result.returncode, 4, result.stderr)
        self.assertIn("did not signal that it was ready (CTS) within 3 s, at byte 1 of 61",
                      result.stderr.decode())
        self.assertEqual(bytes(peer.data), b"")

    def test_a_server_that_keeps_another_line_gives_3_and_sends_nothing(self):
        peer = self.peer(baud=19200)
        result = self.run_program("--port", self.port(peer), "HI")
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertIn("%s could not be used: it keeps the line at 19200 baud, 8 data bits, no "
                      "parity, 1 stop bit instead of 9600 baud" % self.port(peer),
                      result.stderr.decode())
        self.assertEqual(bytes(peer.data), b"")

    def test_a_server_that_refuses_the_option_or_never_answers_gives_3(self):
        cases = [(self.peer(com_port=False), "does not take RFC 2217's COM-PORT-OPTION", 3),
                 (self.peer(negotiate=False), "did not answer Telnet's option negotiation within 3 s",
                  8)]
        for peer, said, seconds in cases:
            with self.subTest(said=said):
                start = time.monotonic()
                result = self.run_program("--port", self.port(peer), "HI")
                self.assertLess(time.monotonic() - start, seconds)
                self.assertEqual(result.returncode, 3, result.stderr)
                self.assertIn(said, result.stderr.decode())
                self.assertEqual(bytes(peer.data), b"")

    def test_ctrl_c_ends_a_wait_for_the_negotiation_or_for_cts_at_once(self):
        cases = [(self.peer(negotiate=False), "the negotiation"),
                 (self.peer(modem_state=0x20), "CTS")]
        for peer, waiting in cases:
            with self.subTest(waiting=waiting):
                program = self.start_program("--port", self.port(peer), "HI")
                time.sleep(0.6)
                started = time.monotonic()
                program.send_signal(signal.SIGINT)
                _, errors = program.communicate(timeout=10)
                took = time.monotonic() - started
                print("\n  Ctrl-C to exit, waiting for %s: %.3f s" % (waiting, took),
                      file=sys.stderr)
                self.assertEqual(program.returncode, 130, errors)
                self.assertLess(took, 1.0, "Ctrl-C took %.3f s" % took)
                self.assertIn("%s: stopped at byte 1 of 61 of the blank frame; the unit has not "
                              "got the whole banner" % self.port(peer), errors.decode())
                self.assertEqual(bytes(peer.data), b"")

    def test_a_dropped_connection_mid_run_gives_3_never_0(self):
        peer = self.peer(drop_after=20)
        result = self.run_program("--port", self.port(peer), "HI")
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertRegex(result.stderr.decode(), r"%s: the server closed the connection during the "
                         r"run, at byte 2\d of 61 of the blank frame" % re.escape(self.port(peer)))


class ConnectTest(NetworkTestCase):
    def test_nobody_listening_gives_3_at_once_naming_the_address(self):
        port = "socket://127.0.0.1:%d" % free_port()
        start = time.monotonic()
        result = self.run_program("--port", port, "HI")
        self.assertLess(time.monotonic() - start, 5)
        self.assertEqual(result.returncode, 3, result.stderr)
        self.assertIn("%s could not be used: the connection was refused" % port,
                      result.stderr.decode())


class SeveralUnitsTest(NetworkTestCase):
    def test_all_at_once_one_silent_unit_holds_up_nobody_and_sets_the_status(self):
        units = [self.start_unit() for _ in range(3)]
        silent = self.start_unit("--no-answer")
        server = self.start_ser2net(("raw", units[0].path, "9600n81,local"),
                              ("rfc2217", units[1].path, "9600n81"))
        ports = ["socket://127.0.0.1:%d" % server.ports[0], silent.path,
                 "rfc2217://127.0.0.1:%d" % server.ports[1], units[2].path]
        args = [arg for port in ports for arg in ("--port", port)]
        start = time.monotonic()
        result = self.run_program("--json", *(args + ["SALE", "TODAY"]))
        elapsed = time.monotonic() - start
        self.assertEqual(result.returncode, 4, result.stderr)
        # The three others went on while the silent one waited out its 3 s.
        self.assertLess(elapsed, 5.5)
        for unit in units:
            self.assertEqual(unit.frames_after(2),
                             [hex_line(BLANK), hex_line(padded(b"SALE\r\nTODAY"))])
        lines = result.stderr.decode().splitlines()
        self.assertEqual(len(lines), 4, lines)
        for line, port in zip(lines, ports):
            self.assertTrue(line.startswith("korvel-program: ") and port in line, line)
        reports = [json.loads(line) for line in result.stdout.decode().splitlines()]
        self.assertEqual([r["port"] for r in reports], ports)
        self.assertEqual([r["status"] for r in reports], [0, 4, 0, 0])
        self.assertEqual([r["result"] for r in reports],
                         ["programmed", "no-answer", "programmed", "programmed"])
        self.assertEqual([r["bytes_answered"] for r in reports], [122, 0, 122, 122])
        self.assertIn("did not answer byte 1 of 61", reports[1]["message"])
        self.assertGreater(reports[1]["seconds"], 2.9)

        quiet = self.run_program("--quiet", *(args + ["AGAIN"]))
        self.assertEqual(quiet.returncode, 4)
        self.assertEqual(len(quiet.stderr.decode().splitlines()), 1, quiet.stderr)

    def test_a_terminal_shows_a_line_per_port_and_ctrl_c_stops_them_all(self):
        units = [self.start_unit("--answer-delay", "5") for _ in range(2)]
        master, slave = pty.openpty()
        process = self.start_program("--port", units[0].path, "--port", units[1].path, "HI",
                                     stderr=slave)
        os.close(slave)
        wait_for(lambda: all(len(u.received()) >= 10 for u in units), "both runs to be under way")
        process.send_signal(signal.SIGINT)
        shown = read_until_closed(master)
        self.assertEqual(process.wait(timeout=10), 130)
        for unit in units:
            self.assertIn(unit.path.encode() + b"  blank frame   [", shown)
            self.assertRegex(shown.decode(), r"korvel-program: %s: stopped at byte \d+ of 61 of "
                             r"the blank frame" % re.escape(unit.path))
            before = len(unit.received())
            time.sleep(0.1)
            self.assertEqual(len(unit.received()), before, "sending went on")
            self.assertLess(before, 61)


if __name__ == "__main__":
    main("program", "unit")
