"""Nothing is left running: a start that fails, a run interrupted with Ctrl-C
and a launcher told to stop each end everything they started: Xvfb, the
launcher, the simulated unit, Wine's server and every process of the prefix.

Every process started here carries a tag in its environment, which Wine hands
on to the processes it starts, so whatever is left over is found by its tag.
"""

import os
import shutil
import signal
import subprocess
import time
import unittest
import uuid

import korvel_drive as kd

TAG = "KORVEL_CLEANUP_TAG"


def tagged(tag):
    """The processes whose environment holds the tag: {pid: command line}."""
    found = {}
    needle = ("%s=%s" % (TAG, tag)).encode()
    for pid in filter(str.isdigit, os.listdir("/proc")):
        try:
            with open("/proc/%s/environ" % pid, "rb") as f:
                if needle not in f.read().split(b"\0"):
                    continue
            with open("/proc/%s/cmdline" % pid, "rb") as f:
                found[int(pid)] = f.read().replace(b"\0", b" ").decode(errors="replace").strip()
        except OSError:  # gone meanwhile, or not ours to read
            continue
    return found


class CleanupTest(unittest.TestCase):
    def setUp(self):
        self.tag = uuid.uuid4().hex
        os.environ[TAG] = self.tag
        self.dir = os.path.join(kd.ARGS.out, self.id().split(".")[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        os.makedirs(self.dir)

    def tearDown(self):
        del os.environ[TAG]
        # Should a case fail, what it left is ended here, not left to the machine.
        for pid in tagged(self.tag):
            try:
                os.kill(pid, signal.SIGKILL)
            except OSError:
                pass

    def session(self, **options):
        return kd.Session(self.dir, arch=kd.ARGS.arch, win_build=kd.ARGS.win_build,
                          native_build=kd.ARGS.native_build,
                          prefix=os.path.join(kd.ARGS.out, "wineprefix"), **options)

    def assert_nothing_left(self, but=()):
        """Waits a little for processes on their way out; fails on any that stay."""
        deadline = time.monotonic() + 15
        while True:
            left = {pid: cmd for pid, cmd in tagged(self.tag).items()
                    if not any(name in cmd for name in but)}
            if not left or time.monotonic() > deadline:
                break
            time.sleep(0.2)
        self.assertEqual(left, {}, "still running")

    def test_a_start_that_fails_says_why_and_leaves_nothing(self):
        bogus = os.path.join(self.dir, "bogus.exe")
        with open(bogus, "w") as f:
            f.write("not a Windows program\n")
        session = self.session(exe=bogus)
        with self.assertRaises(kd.DriveError) as failure:
            session.start(timeout=120)
        # Wine's own words, not a bare status.
        self.assertIn("could not be started", str(failure.exception))
        self.assert_nothing_left()

    def test_ctrl_c_during_the_demo_leaves_nothing(self):
        demo = subprocess.Popen(
            [os.path.join(kd.TOP, "launcher", "korvel-demo"), "--arch", kd.ARGS.arch,
             "--out", self.dir],
            start_new_session=True, stdout=subprocess.DEVNULL, stderr=subprocess.PIPE)
        try:
            kd.wait_for(lambda: demo.poll() is None and any(
                "korvel.exe" in cmd for cmd in tagged(self.tag).values()), 180,
                "korvel.exe to run under the demo")
        except kd.DriveError:
            demo.kill()
            raise
        # A terminal's Ctrl-C goes to the whole foreground process group.
        os.killpg(demo.pid, signal.SIGINT)
        _, said = demo.communicate(timeout=60)
        self.assertNotEqual(demo.returncode, 0, said)
        self.assert_nothing_left()

    def test_a_launcher_told_to_stop_stops_the_unit_and_wine(self):
        session = self.session()
        with session:
            launcher = session._launcher
            launcher.send_signal(signal.SIGTERM)
            launcher.wait(timeout=30)
            # The display is the session's own, and goes when the session stops.
            self.assert_nothing_left(but=("Xvfb",))
        self.assert_nothing_left()


if __name__ == "__main__":
    kd.run_tests()
