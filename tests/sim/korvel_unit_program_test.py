"""korvel-unit's emulated line, which the benchmarks take for a real one: a
byte cannot arrive before its ten bits have, nor its answer before ten more.
What the unit receives, answers and reports is korvel-program's tests' to see.

    korvel_unit_test.py KORVEL_UNIT [unittest arguments]
"""

import os
import select
import sys
import time
import tty

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "support"))
from korvel_test_support import KorvelTestCase, main, wait_for  # noqa: E402

BYTE_US = 10 * 1000000 // 9600  # ten bits at 9600 baud


class LineSpeedTest(KorvelTestCase):
    scratch_prefix = "korvel-unit-test-"

    def test_each_byte_and_each_answer_takes_ten_bits_of_line_time(self):
        unit = self.start_unit("--line-speed", "9600")
        line = os.open(unit.path, os.O_RDWR | os.O_NOCTTY)
        self.addCleanup(os.close, line)
        tty.setraw(line)

        count = 20
        start = time.monotonic()
        for i in range(count):
            os.write(line, bytes([ord("a") + i]))
            self.assertTrue(select.select([line], [], [], 10)[0], "no answer to byte %d" % i)
            self.assertEqual(os.read(line, 1), b"\x06")
        self.assertGreaterEqual((time.monotonic() - start) * 1e6, 2 * BYTE_US * count)

        # Stop and wait: by the unit's own log, the next byte came only once
        # the answer to the last one was out.
        wait_for(lambda: len(unit.received()) == count, "the log")
        with open(unit.log) as f:
            times = [int(entry.split()[0]) for entry in f if entry.strip()]
        for i in range(1, count):
            self.assertGreaterEqual(times[i] - times[i - 1], 2 * BYTE_US, "byte %d" % i)


if __name__ == "__main__":
    main("unit")
