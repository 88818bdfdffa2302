"""The call timer and its runner (tools/korvel-call-costs): a table the runner
cannot read is reported, and, given a Windows build, what call-costs.exe
prints is a table the runner reads. No time is checked.
"""

import argparse
import importlib.machinery
import os
import subprocess
import sys
import types
import unittest

TOOLS = os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "tools")
ARGS = None


def load_runner():
    path = os.path.join(TOOLS, "korvel-call-costs")
    loader = importlib.machinery.SourceFileLoader("korvel_call_costs", path)
    module = types.ModuleType(loader.name)
    module.__file__ = path
    loader.exec_module(module)
    return module


class RunnerTest(unittest.TestCase):
    def test_a_row_that_does_not_parse_is_reported(self):
        runner = load_runner()
        with self.assertRaises(runner.CostsError) as raised:
            runner.parse_table("call median_us p90_us reps\nline status  fast\n")
        self.assertIn("line status  fast", str(raised.exception))


class ProgramTest(unittest.TestCase):
    def run_exe(self, *args):
        if not ARGS.win_build:
            self.skipTest("needs --win-build")
        exe = os.path.join(ARGS.win_build, "tools", "call-costs", "call-costs.exe")
        return subprocess.run([os.path.join(ARGS.win_build, "wine-run.sh"), exe] + list(args),
                              capture_output=True, text=True, timeout=300)

    def test_without_a_port_the_clocks_and_the_bar_are_timed_and_a_bad_option_refused(self):
        result = self.run_exe("--port", "none", "--bar-cycles", "2")
        self.assertEqual(result.returncode, 0, result.stderr)
        rows = {call: (median, p90, reps)
                for call, median, p90, reps in load_runner().parse_table(result.stdout)}
        self.assertEqual(sorted(rows), ["bar step (PBM_SETPOS), back to back",
                                        "clock read (QueryPerformanceCounter)",
                                        "clock read (steady_clock::now)"])
        self.assertEqual(rows["bar step (PBM_SETPOS), back to back"][2], 2 * 61)
        for call, (median, p90, _) in rows.items():
            self.assertLessEqual(median, p90, call)

        bad = self.run_exe("--rounds", "0")
        self.assertEqual(bad.returncode, 2)
        self.assertIn("--rounds takes a positive number", bad.stderr)


if __name__ == "__main__":
    parser = argparse.ArgumentParser()
    parser.add_argument("--win-build", help="a Windows build folder: also run call-costs.exe")
    ARGS, rest = parser.parse_known_args()
    unittest.main(argv=[sys.argv[0]] + rest, verbosity=2)
