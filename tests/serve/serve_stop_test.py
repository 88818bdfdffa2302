"""korvel-serve stopped by SIGTERM in the middle of a slow run (a simulated unit
answering each byte 50 ms late on an emulated 9600-baud line): the run stops
between two bytes, the process exits 0 within 5 s, the unit's line is free for
korvel-program at once, and korvel-serve started again programs the unit with
the text it was asked for, since the run was cut short."""

import os
import signal
import subprocess
import sys
import time

sys.dont_write_bytecode = True  # no cache beside the sources
from serve_support import ServeTestCase, write_config  # noqa: E402
from korvel_test_support import (BLANK, hex_line, lock_files_of, main,  # noqa: E402
                                 message_frame, wait_for)

WANTED = ["HELLO", "WORLD"]
FRAME = len(BLANK)


class StopTest(ServeTestCase):
    scratch_prefix = "korvel-serve-stop-test-"

    def setUp(self):
        super().setUp()
        self.unit = self.start_unit("--line-speed", "9600", "--answer-delay", "50")

        self.config, self.port = write_config(self.work, [("window", self.unit.path, "")])

    def serve(self, log_name):
        return self.start_serve(self.config, self.port, os.path.join(self.work, log_name))

    def test_sigterm_mid_run_stops_between_two_bytes_frees_the_line_and_the_text_comes_next_start(self):
        first = self.serve("first.log")
        status, _, body = first.put("window", WANTED, wait=False)
        self.assertEqual(status, 202, body)
        self.assertEqual(body["unit"]["wanted"], WANTED)
        # A few bytes in: the blank frame is on its way, far from its end.
        wait_for(lambda: len(self.unit.received()) >= 3, "the run to begin", seconds=30)

        asked = time.monotonic()
        first.process.send_signal(signal.SIGTERM)
        try:
            status = first.process.wait(5)
        except subprocess.TimeoutExpired:
            self.fail("korvel-serve still runs 5 s after SIGTERM:\n" + first.log())
        took = time.monotonic() - asked
        print("korvel-serve exited %.2f s after SIGTERM" % took, file=sys.stderr)
        self.assertEqual(status, 0, first.log())

        # Nothing went out after the stop, and the run did not get through.
        received = self.unit.received()
        time.sleep(0.5)
        self.assertEqual(self.unit.received(), received)
        self.assertLess(len(received), FRAME)
        self.assertEqual(received, BLANK[:len(received)])
        log = first.log()
        self.assertIn("stopping (", log)
        self.assertIn("stopped at byte", log)
        self.assertTrue(log.rstrip().endswith("korvel-serve: stopped"), log)
        self.assertEqual(lock_files_of({first.process.pid}), [])

        # The line is free: korvel-program programs the unit right away.
        other = ["ANOTHER", "PROGRAM"]
        frames_before = len(self.unit.frames())
        run = self.run_program("--port", self.unit.path, *other, text=True, timeout=120)
        self.assertEqual(run.returncode, 0, run.stderr)
        self.assertEqual(self.unit.frames_after(frames_before + 2)[-1],
                         hex_line(message_frame(b"ANOTHER\r\nPROGRAM")))

        # Started again, it knows the text it wants and that what the unit
        # shows is not known, and programs it.
        second = self.serve("second.log")
        unit = second.unit("window")
        self.assertEqual(unit["wanted"], WANTED)
        self.assertIsNone(unit["lines"])
        self.assertIn(unit["status"], ("pending", "programming"))
        if unit["status"] == "pending":
            self.assertEqual(unit["why"], "a run was cut short; what it shows is not known")
        wait_for(lambda: second.unit("window")["status"] not in ("pending", "programming"),
                 "the run to end", seconds=90)
        unit = second.unit("window")
        self.assertEqual(unit["status"], "programmed", unit)
        self.assertEqual(unit["lines"], WANTED)
        self.assertNotIn("wanted", unit)
        self.assertEqual(unit["last_run"]["result"], "programmed")
        frames = self.unit.frames_after(frames_before + 4)
        self.assertEqual(frames[-2:], [hex_line(BLANK), hex_line(message_frame(b"HELLO\r\nWORLD"))])

        second.process.send_signal(signal.SIGTERM)
        self.assertEqual(second.process.wait(5), 0, second.log())
        self.assertEqual(lock_files_of({second.process.pid}), [])


if __name__ == "__main__":
    main("serve", "unit", "program")
