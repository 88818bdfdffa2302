"""korvel-program run as a user runs it, natively, against korvel-unit on a
pseudo-terminal: through the real termios path, with the unit's frames, byte
log and display as the evidence. Every unit and program started here is
stopped again, also when a case fails."""

import fcntl
import glob
import json
import os
import pty
import re
import select
import signal
import struct
import subprocess
import sys
import time

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import (BLANK, CRLF, END, SPACE, KorvelTestCase, hex_line,  # noqa: E402
                                 main, message_frame, padded, read_until_closed, wait_for)

TIOCGEXCL = 0x80045440  # whether a terminal is held exclusively (Linux)


def exclusively_held(fd):
    return struct.unpack("i", fcntl.ioctl(fd, TIOCGEXCL, struct.pack("i", 0)))[0] == 1


class ProgramTestCase(KorvelTestCase):
    scratch_prefix = "korvel-program-test-"

    def link(self, name, target):
        path = os.path.join(self.work, name)
        os.symlink(target, path)
        return path

    def file(self, name, data):
        path = os.path.join(self.work, name)
        with open(path, "wb") as f:
            f.write(data)
        return path


class FramesTest(ProgramTestCase):
    def test_lines_a_file_and_escaped_text_arrive_byte_for_byte(self):
        a28, b28 = b"A" * 28, b"b" * 28
        cases = [
            (["HELLO", "WORLD"], padded(b"HELLO\r\nWORLD"), ("HELLO", "WORLD")),
            # One full line: the break at 28 replaces the text's terminator.
            (["--", "-" * 28], b"-" * 28 + CRLF + SPACE * 28 + END, ("-" * 28, "")),
            # A file's first 58 bytes, of the first 70 read; up to its first SUB.
            (["--file", self.file("long.txt", a28 + CRLF + b28 + CRLF + b"x" * 40)],
             a28 + CRLF + b28 + END, ("A" * 28, "b" * 28)),
            (["--file", self.file("sub.txt", b"HI\x1atail")], b"HI\x1a", ("HI", "")),
            (["--file", self.file("empty.txt", b"")],
             b"\0" + SPACE * 27 + CRLF + SPACE * 28 + END, ("", "")),
            (["--text", r"CAF\xC9 OPEN\r\n7 DAYS \\o/"],
             padded(b"CAF\xc9 OPEN\r\n7 DAYS \\o/"), ("CAF\xc9 OPEN", "7 DAYS \\o/")),
        ]
        unit = self.start_unit()
        expected_frames = []
        for args, message, display in cases:
            with self.subTest(args=args):
                result = self.run_program("--port", unit.path, *args)
                self.assertEqual(result.returncode, 0, result.stderr)
                expected_frames += [hex_line(BLANK), hex_line(message)]
                wait_for(lambda: len(unit.frames()) >= len(expected_frames), "the frames")
                self.assertEqual(unit.frames(), expected_frames)
                # The dry run shows what the unit got, and what it shows.
                dry = self.run_program("--dry-run", *args)
                self.assertEqual(dry.returncode, 0, dry.stderr)
                shown = dry.stdout.decode("utf-8")
                self.assertIn("message frame, %d bytes:" % len(message), shown)
                self.assertIn(hex_line(message[:16]), shown)
                for line in display:
                    # Drawn with a placeholder for each byte past ASCII.
                    drawn = re.sub("[\u0080-\u00ff]", "\u00b7", line)
                    self.assertIn("|" + drawn.ljust(28) + "|", shown)
                # And as JSON for scripts, on standard output alone.
                dry_json = self.run_program("--json", "--dry-run", *args)
                self.assertEqual(dry_json.returncode, 0, dry_json.stderr)
                got = json.loads(dry_json.stdout)
                self.assertEqual(got["blank_frame"], hex_line(BLANK))
                self.assertEqual(got["message_frame"], hex_line(message))
                self.assertEqual(got["display"], [line.ljust(28) for line in display])
        self.assertEqual(len(unit.received()), sum(61 + len(c[1]) for c in cases))

    def test_a_pipe_gets_one_result_line_quiet_nothing_and_a_terminal_the_bar(self):
        unit = self.start_unit()
        result = self.run_program("--port", unit.path, "HELLO")
        self.assertEqual(result.stdout, b"")
        self.assertRegex(result.stderr.decode(), r"^korvel-program: %s: programmed[^\n]*\n$"
                         % re.escape(unit.path))

        quiet = self.run_program("--quiet", "--port", unit.path, "HELLO")
        self.assertEqual((quiet.returncode, quiet.stdout, quiet.stderr), (0, b"", b""))

        # stderr on a terminal of its own.
        master, slave = pty.openpty()
        process = self.start_program("--port", unit.path, "HELLO", stdout=subprocess.DEVNULL,
                                     stderr=slave)
        os.close(slave)
        shown = read_until_closed(master)
        self.assertEqual(process.wait(timeout=10), 0)
        for frame in (b"blank frame  ", b"message frame"):
            self.assertIn(b"\r" + frame + b" [" + b"-" * 30 + b"]  1/61", shown)
            self.assertIn(b"\r" + frame + b" [" + b"#" * 30 + b"] 61/61", shown)
        self.assertIn(b"programmed", shown)


class WarningsTest(ProgramTestCase):
    """A message that will not show as written is said so, naming where, with
    the two lines the unit will show; it still goes as it is, unless
    --strict, which sends nothing."""

    def test_a_banner_file_warning_names_where_and_the_run_goes_ahead(self):
        # Each warning's rule is layout_check_test's; here the program's words,
        # the file sent as it is, and --strict sending nothing.
        a28 = b"A" * 28
        cases = [
            (b"TONIGHT LIVE MUSIC\nDOORS 8 PM\n", ["line 1, column 19: the line ends with LF alone",
                                                    "line 2, column 11: the line ends with LF alone"],
             ("TONIGHT LIVE MUSIC", "DOORS 8 P")),
            (b"\xef\xbb\xbfHELLO", ["line 1, column 1: the file begins with a UTF-8 byte-order mark"],
             ("\u00b7\u00b7\u00b7HELLO", "")),
            # C1 control codes (NEL, CSI) and a byte that takes no column are
            # drawn as one placeholder column each, never as themselves.
            (b"NEL\x85 CSI\x9b2J\r\nSOFT\xad HYPHEN\r\n",
             ["line 1, column 4: the byte 0x85 cannot be typed",
              "line 1, column 9: the byte 0x9B cannot be typed",
              "line 2, column 5: the byte 0xAD cannot be typed"],
             ("NEL\u00b7 CSI\u00b72J", "SOFT\u00b7 HYPHEN")),
        ]
        unit = self.start_unit()
        for data, said, shown in cases:
            with self.subTest(data=data):
                path = self.file("banner.txt", data)
                before = len(unit.frames())
                result = self.run_program("--port", unit.path, "--file", path)
                self.assertEqual(result.returncode, 0, result.stderr)
                errors = result.stderr.decode("utf-8")
                for part in said:
                    self.assertIn("korvel-program: warning: %s: %s" % (path, part), errors)
                self.assertIn("the unit will show:\n+" + "-" * 28 + "+\n|%s|\n|%s|"
                              % (shown[0].ljust(28), shown[1].ljust(28)), errors)
                for raw in (b"\x85", b"\x9b", b"\xc2\x85", b"\xc2\x9b", b"\xc2\xad"):
                    self.assertNotIn(raw, result.stderr)
                if "\u00b7" in shown[0] + shown[1]:
                    self.assertIn("\u00b7 stands for a byte that is not printable ASCII", errors)
                self.assertEqual(result.stdout, b"", "data alone goes on standard output")
                wait_for(lambda: len(unit.frames()) == before + 2, "the frames")
                # The file goes as it is, byte for byte.
                text = data[:58]
                self.assertEqual(unit.frames()[-1], hex_line(message_frame(text)))

                strict = self.run_program("--strict", "--port", unit.path, "--file", path)
                self.assertEqual(strict.returncode, 2, strict.stderr)
                self.assertIn("korvel-program: refused: %s: %s" % (path, said[0]),
                              strict.stderr.decode("utf-8"))
        time.sleep(0.2)
        self.assertEqual(len(unit.frames()), 2 * len(cases), "--strict sent something")
        # A file made for the unit goes without a word.
        made = self.file("made.txt", a28 + b"\r\n" + a28 + b"\r\n")
        result = self.run_program("--strict", "--quiet", "--port", unit.path, "--file", made)
        self.assertEqual((result.returncode, result.stderr), (0, b""))

    def test_text_warns_of_utf8_and_long_lines(self):
        unit = self.start_unit()
        result = self.run_program("--port", unit.path, "--text", "CAF\u00c9 " + "x" * 30)
        self.assertEqual(result.returncode, 0, result.stderr)
        errors = result.stderr.decode("utf-8")
        self.assertIn("warning: --text: line 1, byte 4: '\u00c9' is 2 bytes of UTF-8 (C3 89)", errors)
        self.assertIn("write the unit's own byte for it as \\xHH, such as \\xC9", errors)
        self.assertIn("warning: --text: line 1: the line is 36 characters, 8 more", errors)
        strict = self.run_program("--strict", "--port", unit.path, "--text", "CAF\u00c9")
        self.assertEqual(strict.returncode, 2, strict.stderr)
        self.assertEqual(len(unit.frames()), 2)

    def test_lines_reads_a_plain_text_file_or_standard_input(self):
        unit = self.start_unit()
        for data in (b"TONIGHT LIVE MUSIC\nDOORS 8 PM\n", b"\xef\xbb\xbfTONIGHT LIVE MUSIC\r\nDOORS 8 PM",
                     b"TONIGHT LIVE MUSIC\r\nDOORS 8 PM\r\n"):
            with self.subTest(data=data):
                sent = len(unit.frames())
                result = self.run_program("--strict", "--port", unit.path, "--lines",
                                          self.file("plain.txt", data))
                self.assertEqual(result.returncode, 0, result.stderr)
                # The unit writes down a frame a moment after it answers its last byte.
                wait_for(lambda: len(unit.frames()) == sent + 2, "the frames")
                self.assertEqual(unit.frames()[-1],
                                 hex_line(padded(b"TONIGHT LIVE MUSIC\r\nDOORS 8 PM")))
        sent = len(unit.frames())
        piped = subprocess.run([self.args.program, "--port", unit.path, "--lines", "-"],
                               input=b"FROM A PIPE\n", capture_output=True, timeout=30)
        self.assertEqual(piped.returncode, 0, piped.stderr)
        wait_for(lambda: len(unit.frames()) == sent + 2, "the frames")
        self.assertEqual(unit.frames()[-1], hex_line(message_frame(b"FROM A PIPE")))
        before = len(unit.frames())
        for data, said in ((b"ONE\nTWO\nTHREE\n", '"THREE" would be a third line'),
                           (b"x" * 29 + b"\n", "line 1 is 29 characters"),
                           (b"CAF\xc3\x89\n",
                            "line 1, character 4: '\u00c9' is 2 bytes of UTF-8 (C3 89)")):
            with self.subTest(data=data):
                result = self.run_program("--port", unit.path, "--lines", self.file("bad.txt", data))
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn("--lines %s: %s" % (os.path.join(self.work, "bad.txt"), said),
                              result.stderr.decode())
        self.assertEqual(len(unit.frames()), before)


class RefusalsTest(ProgramTestCase):
    def test_each_refusal_says_what_and_where_and_sends_nothing(self):
        # The words of each rule are the unit tests' (message_text_test,
        # command_line_test, network_address_test); here one of each kind
        # through the program, and what only the system can answer: which
        # names lead to the same port.
        unit = self.start_unit()
        port = ["--port", unit.path]
        cases = [
            (port + ["A" * 29], "line 1 is 29 characters, 1 more than the 28"),
            (port + ["--text", r"ab\q"], r"--text, character 3: \q is no escape"),
            (port + ["-50% OFF"], "unknown option '-50% OFF'; a line that begins with '-' goes "
                                  "after --, as in: korvel-program --port PORT -- '-50% OFF'"),
            (port + ["--file", os.path.join(self.work, "missing.txt")],
             "missing.txt: No such file or directory"),
            (port + ["--file", self.work], "Is a directory"),
            (port + ["--port", "socket://127.0.0.1"], "has no port number"),
            (port + port, "--port %s is given twice" % unit.path),
            (port + ["--port", self.link("unit-link", unit.path)], "are the same port"),
            (["--port", "socket://[::1]:3001", "--port", "rfc2217://[::1]:3001", "HI"],
             "are the same port"),
            # One server under two names: its host's addresses are compared.
            (["--port", "socket://localhost:3112", "--port", "socket://127.0.0.1:3112", "HI"],
             "--port socket://localhost:3112 and --port socket://127.0.0.1:3112 are the same "
             "port"),
            (["--port", "rfc2217://127.0.0.1:3112", "--port", "socket://LocalHost:3112", "HI"],
             "are the same port"),
            (["HELLO"], "no port given"),
        ]
        for args, said in cases:
            with self.subTest(args=args):
                result = self.run_program(*args)
                self.assertEqual(result.returncode, 2, result.stderr)
                self.assertIn(said, result.stderr.decode())
                self.assertEqual(result.stdout, b"")
        time.sleep(0.2)  # a byte on its way would have arrived by now
        self.assertEqual(unit.received(), b"")
        self.assertEqual(self.run_program("--port", unit.path, "fits").returncode, 0)
        # A name that cannot be looked up is no usage mistake: the run says
        # the server cannot be reached, and the other port still runs.
        unknown = self.run_program("--port", "socket://no-such-host.invalid:3112",
                                   "--port", unit.path, "HI")
        self.assertEqual(unknown.returncode, 3, unknown.stderr)
        self.assertIn("socket://no-such-host.invalid:3112 could not be used: "
                      "no-such-host.invalid is not a known host", unknown.stderr.decode())
        self.assertIn("%s: programmed" % unit.path, unknown.stderr.decode())


class PortTest(ProgramTestCase):
    def test_a_missing_device_or_one_that_is_no_serial_port_gives_3(self):
        missing = self.run_program("--port", "/dev/korvel-no-such-port", "HI")
        self.assertEqual(missing.returncode, 3)
        self.assertIn("/dev/korvel-no-such-port does not exist. Is the adapter plugged in?",
                      missing.stderr.decode())
        not_serial = self.run_program("--port", "/dev/null", "HI")
        self.assertEqual(not_serial.returncode, 3)
        self.assertIn("/dev/null is not a serial port", not_serial.stderr.decode())
        # Another system's name, or a device without its folder: what it likely means.
        windows = self.run_program("--port", "COM2", "HI")
        self.assertEqual(windows.returncode, 3)
        self.assertIn("COM2 does not exist. On Linux, COM2 is /dev/ttyS1, and a USB adapter is "
                      "/dev/ttyUSB0", windows.stderr.decode())
        bare = self.run_program("--port", "null", "HI")
        self.assertIn("null does not exist. Did you mean /dev/null?", bare.stderr.decode())

    def test_a_second_program_on_a_busy_port_gives_3_and_the_first_run_stays_intact(self):
        unit = self.start_unit("--answer-delay", "4")
        first = self.start_program("--port", unit.path, "FIRST", "RUN")
        wait_for(lambda: len(unit.received()) >= 3, "the first run to start")
        second = self.run_program("--port", unit.path, "SECOND")
        self.assertEqual(second.returncode, 3, second.stderr)
        self.assertIn("%s is in use by korvel-program (pid %d); try again once it is done"
                      % (unit.path, first.pid), second.stderr.decode())
        _, errors = first.communicate(timeout=20)
        self.assertEqual(first.returncode, 0, errors)
        self.assertEqual(unit.frames_after(2), [hex_line(BLANK), hex_line(padded(b"FIRST\r\nRUN"))])
        self.assertEqual(len(unit.received()), 122)

    def test_a_hang_up_mid_run_never_gives_0(self):
        unit = self.start_unit("--answer-delay", "4")
        program = self.start_program("--port", unit.path, "HELLO")
        wait_for(lambda: len(unit.received()) >= 20, "the run to be under way")
        unit.kill()
        _, errors = program.communicate(timeout=20)
        self.assertEqual(program.returncode, 3, errors)
        self.assertRegex(errors.decode(), r"%s stopped working during the run, at byte \d+ of 61 "
                         r"of the blank frame" % re.escape(unit.path))

    def test_a_stopped_run_leaves_the_port_free(self):
        unit = self.start_unit("--answer-delay", "4")
        watcher = os.open(unit.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.addCleanup(os.close, watcher)
        program = self.start_program("--port", unit.path, "HELLO")
        wait_for(lambda: len(unit.received()) >= 5, "the run to be under way")
        self.assertTrue(exclusively_held(watcher), "the run does not hold the port exclusively")
        program.send_signal(signal.SIGINT)
        _, errors = program.communicate(timeout=10)
        self.assertEqual(program.returncode, 130, errors)
        self.assertFalse(exclusively_held(watcher), "the port was left locked")
        # Sending stopped where it says: the bytes before that one went out, no more.
        stopped = re.search(r"stopped at byte (\d+) of \d+ of the (blank|message) frame"
                            r"(, which went out unanswered)?", errors.decode())
        self.assertIsNotNone(stopped, errors)
        before = int(stopped.group(1)) - 1 + (61 if stopped.group(2) == "message" else 0)
        before += 1 if stopped.group(3) else 0
        time.sleep(0.2)
        self.assertEqual(len(unit.received()), before)
        self.assertLess(before, 122)


    def test_the_text_offered_for_a_letter_in_utf8_gives_the_units_byte_through_a_shell(self):
        refused = self.run_program("--dry-run", "CAF\u00c9 'OPEN'", "7 DAYS \\o/")
        self.assertEqual(refused.returncode, 2)
        offered = re.search(r"write it with (--text '.*')$", refused.stderr.decode().strip())
        self.assertIsNotNone(offered, refused.stderr)
        shown = subprocess.run("%s --json --dry-run %s" % (self.args.program, offered.group(1)),
                               shell=True, capture_output=True, timeout=30)
        self.assertEqual(shown.returncode, 0, shown.stderr)
        self.assertEqual(json.loads(shown.stdout)["message_frame"],
                         hex_line(padded(b"CAF\xc9 'OPEN'\r\n7 DAYS \\o/")))


class StopTest(ProgramTestCase):
    """Ctrl-C ends a run at once wherever it waits: nothing more is sent,
    the status is 130, the port is free."""

    def stop_timed(self, program):
        started = time.monotonic()
        program.send_signal(signal.SIGINT)
        program.wait(timeout=10)
        took = time.monotonic() - started
        print("\n  Ctrl-C to exit: %.3f s" % took, file=sys.stderr)
        self.assertEqual(program.returncode, 130)
        self.assertLess(took, 1.0, "Ctrl-C took %.3f s to end the run" % took)

    def test_a_wait_shows_what_it_waits_for_and_ctrl_c_ends_it_at_once(self):
        unit = self.start_unit("--no-answer")
        watcher = os.open(unit.path, os.O_RDWR | os.O_NOCTTY | os.O_NONBLOCK)
        self.addCleanup(os.close, watcher)
        master, slave = pty.openpty()
        self.addCleanup(os.close, master)
        program = self.start_program("--port", unit.path, "HELLO", stdout=subprocess.DEVNULL,
                                     stderr=slave)
        os.close(slave)
        # After half a second the line says what the run waits for, and counts.
        shown = b""
        deadline = time.monotonic() + 2.5
        later = re.compile(rb"waiting (0\.[7-9]|[12]\.\d) s")
        while not later.search(shown) and time.monotonic() < deadline:
            if select.select([master], [], [], 0.1)[0]:
                shown += os.read(master, 4096)
        self.assertRegex(shown, rb"\rblank frame   waiting 0\.[5-9] s for the unit's answer to "
                                rb"byte 1 of 61")
        self.assertNotRegex(shown, rb"waiting 0\.[0-4] s")
        self.assertRegex(shown, later)
        self.stop_timed(program)
        self.assertEqual(unit.received(), b" ", "more was sent after the stop")
        self.assertFalse(exclusively_held(watcher), "the port was left locked")
        while select.select([master], [], [], 0.5)[0]:
            try:
                chunk = os.read(master, 4096)
            except OSError:
                break
            if not chunk:
                break
            shown += chunk
        self.assertIn(b"stopped at byte 1 of 61 of the blank frame, which went out unanswered",
                      shown)


class UnitTest(ProgramTestCase):
    def test_a_silent_unit_gives_4_within_the_limit(self):
        unit = self.start_unit("--no-answer")
        start = time.monotonic()
        result = self.run_program("--port", unit.path, "HELLO")
        elapsed = time.monotonic() - start
        self.assertEqual(result.returncode, 4, result.stderr)
        self.assertIn("the unit on %s did not answer byte 1 of 61 of the blank frame within 3 s"
                      % unit.path, result.stderr.decode())
        self.assertGreaterEqual(elapsed, 3.0)
        self.assertLess(elapsed, 10.0, "the wait was not limited")
        self.assertEqual(unit.received(), b" ")


class OtherCommandsTest(ProgramTestCase):
    def test_version_and_help(self):
        with open(os.path.join(self.args.source, "res", "korvel.rc")) as f:
            numbers = re.search(r"^\s*FILEVERSION\s+(\d+),\s*(\d+),\s*(\d+),\s*(\d+)", f.read(),
                                re.M).groups()
        version = self.run_program("--version")
        self.assertEqual(version.stdout.decode(), "korvel-program %s\n" % ".".join(numbers))
        help_text = self.run_program("--help")
        self.assertEqual(help_text.returncode, 0)
        self.assertIn("Usage: korvel-program --port PORT [--port PORT]...", help_text.stdout.decode())

    def test_the_manual_pages_examples_are_the_readmes(self):
        with open(os.path.join(self.args.source, "README.md")) as f:
            readme = f.read()
        block = re.search(r"^## korvel-program\n+```sh\n(.*?)```", readme, re.M | re.S).group(1)
        commands = [re.sub(r"\s+#.*", "", line).strip() for line in block.splitlines()]
        with open(os.path.join(self.args.source, "cli", "korvel-program.1")) as f:
            manual = f.read()
        examples = re.search(r"^\.SH EXAMPLES\n\.nf\n(.*?)^\.fi", manual, re.M | re.S).group(1)
        examples = examples.replace("\\-", "-").replace("\\(aq", "'").replace("\\e", "\\")
        shown = [re.sub(r"\s+\(Windows\)$", "", line).strip() for line in examples.splitlines()]
        for command in commands:
            self.assertIn(command, shown)

    def test_the_ports_of_this_machine_as_lines_and_as_json(self):
        lines = self.run_program("--list-ports")
        self.assertEqual(lines.returncode, 0, lines.stderr)
        listed = self.run_program("--list-ports", "--json")
        self.assertEqual(listed.returncode, 0, listed.stderr)
        ports = [json.loads(line) for line in listed.stdout.decode().splitlines()]
        self.assertEqual([line.split()[0] for line in lines.stdout.decode().splitlines()],
                         [port["port"] for port in ports])
        for port in ports:
            with self.subTest(port=port["port"]):
                name = os.path.basename(port["port"])
                self.assertTrue(os.path.exists(port["port"]))
                self.assertTrue(os.path.exists("/sys/class/tty/%s/device" % name))
                self.assertIn(port["kind"], ("usb", "pci", "built-in"))
                if port["by_id"] is not None:
                    self.assertEqual(os.path.realpath(port["by_id"]), port["port"])
        # Each built-in port the kernel found a UART for is there.
        for tty in glob.glob("/sys/class/tty/ttyS*"):
            with open(os.path.join(tty, "type")) as f:
                uart = f.read().strip() != "0"
            device = "/dev/" + os.path.basename(tty)
            if uart and os.path.exists(device):
                self.assertIn(device, [port["port"] for port in ports])
            else:
                self.assertNotIn(device, [port["port"] for port in ports])


if __name__ == "__main__":
    main("program", "unit", "source")
