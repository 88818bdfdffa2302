"""Simulated units for the benchmarks: korvel-units on emulated 9600-baud
lines, each on a terminal of its own, stopped again by pid."""

import os
import signal
import subprocess
import time


class BenchError(Exception):
    pass


def start_units(unit, work, count):
    """count korvel-units (--line-speed 9600 --no-spin, so that the units
    leave the processors to the client): (processes, paths)."""
    processes, paths = [], []
    try:
        for n in range(count):
            path_file = os.path.join(work, "path-%d" % n)
            processes.append(subprocess.Popen(
                [unit, "--line-speed", "9600", "--no-spin", "--path-file", path_file],
                stdout=subprocess.DEVNULL))
            deadline = time.monotonic() + 10
            while not os.path.exists(path_file):
                if processes[-1].poll() is not None or time.monotonic() > deadline:
                    raise BenchError("korvel-unit did not start")
                time.sleep(0.01)
            with open(path_file) as f:
                paths.append(f.read().strip())
    except BaseException:
        stop(processes)
        raise
    return processes, paths


def stop(processes):
    for process in processes:
        if process.poll() is None:
            process.send_signal(signal.SIGTERM)
    for process in processes:
        try:
            process.wait(timeout=5)
        except subprocess.TimeoutExpired:
            process.kill()
            process.wait()
