"""End-to-end tests through the real window, as an operator would use it.

Each test starts korvel.exe under Wine on its own Xvfb display with a
simulated unit on COM1, clicks and types with xdotool, and checks what the
unit received. A failing test leaves a screenshot and the unit's byte log in
its folder under --out.
"""

import os
import shutil
import unittest

import korvel_drive as kd

BLANK = kd.blank_frame()
message_frame = kd.message_frame
TIME_LIMIT_S = 3


class WindowTest(unittest.TestCase):
    com1 = "sim"
    com2 = "none"
    other_ports = ()
    unit_args = ()

    def setUp(self):
        self.dir = os.path.join(kd.ARGS.out, self.id().split(".")[-1])
        shutil.rmtree(self.dir, ignore_errors=True)
        self.session = kd.Session(self.dir, arch=kd.ARGS.arch, win_build=kd.ARGS.win_build,
                                  native_build=kd.ARGS.native_build, com1=self.com1,
                                  com2=self.com2, other_ports=self.other_ports,
                                  unit_args=self.unit_args,
                                  prefix=os.path.join(kd.ARGS.out, "wineprefix"))
        self.before_start()
        self.session.start()

    def before_start(self):
        """What a case sets up before the utility starts."""

    def tearDown(self):
        if not self._outcome.success:
            try:
                self.session.screenshot(os.path.join(self.dir, "failure.png"))
            except Exception:  # the screenshot is a help, not the verdict
                pass
        self.session.stop()

    # --- steps an operator takes ---------------------------------------------
    def choose_port(self, control_id):
        self.session.click(control_id)
        kd.wait_for(lambda: self.session.control(kd.PROGRAM).enabled, 10, "Program enabled")

    def edit_text(self):
        return self.session.control(kd.MESSAGE).text

    def program_and_wait(self, frames):
        self.session.click(kd.PROGRAM)
        kd.wait_for(lambda: len(self.session.frames()) >= frames, 30, "%d frames" % frames)
        kd.wait_for(lambda: self.session.control(kd.PROGRESS).progress == 0, 10, "the bar at 0")

    def wait_for_warning(self):
        kd.wait_for(lambda: "korvel" in self.session.windows(), TIME_LIMIT_S + 10,
                    "the warning box")
        return self.session.controls("korvel")

    def dismiss_warning(self):
        self.session.click(1, title="korvel")  # its OK button
        kd.wait_for(lambda: "korvel" not in self.session.windows(), 10, "the warning to close")


class TypedMessage(WindowTest):
    def test_what_arrives_matches_what_the_edit_shows(self):
        self.choose_port(kd.PORT1)
        self.session.click(kd.MESSAGE)
        self.session.type("FIRST LINE\u00e9 ~")   # the accented letter is refused
        self.session.key("Return")
        self.session.type("Second line")
        self.session.key("Return")                # a third line does not fit
        self.session.type("Q")
        self.session.key("BackSpace")
        typed = b"FIRST LINE ~\r\nSecond line"
        kd.wait_for(lambda: self.edit_text() == typed, 10, "the edit to show %r" % typed)
        self.program_and_wait(2)
        self.assertEqual(self.session.frames(), [BLANK, message_frame(typed)])

    def test_a_typed_line_stops_at_what_the_unit_shows_and_the_next_line_arrives_whole(self):
        self.choose_port(kd.PORT1)
        self.session.click(kd.MESSAGE)
        self.session.type("ABCDEFGHIJKLMNOPQRSTUVWXYZ0123456")  # 33: the last 5 are refused
        self.session.key("shift+Left")
        self.session.type("!")                    # replaces the selected 1
        self.session.key("Return")
        self.session.type("SECOND LINE, WHOLE")
        typed = b"ABCDEFGHIJKLMNOPQRSTUVWXYZ0!\r\nSECOND LINE, WHOLE"
        kd.wait_for(lambda: self.edit_text() == typed, 10, "the edit to show %r" % typed)
        self.program_and_wait(2)
        self.assertEqual(self.session.frames(), [BLANK, message_frame(typed)])


class LoadedMessage(WindowTest):
    def test_banner_file_loaded_through_the_file_dialog(self):
        path = os.path.join(self.dir, "banner.txt")
        content = b"KORVEL DISPLAY UNIT TWO LINE\r\nBANNER FILE LOADED BY LOAD!!\r\n"
        with open(path, "wb") as f:
            f.write(content)
        self.choose_port(kd.PORT1)
        self.session.click(kd.LOAD)
        title = kd.wait_for(self.file_dialog_title, 15, "the file dialog")
        self.session.type("Z:" + path.replace("/", "\\"))
        self.session.key("Return")
        kd.wait_for(lambda: title not in self.session.windows(), 15, "the file dialog to close")
        kd.wait_for(lambda: self.edit_text() == content[:58], 10, "the loaded text")
        self.assertTrue(self.session.control(kd.EXIT).enabled)
        self.program_and_wait(2)
        self.assertEqual(self.session.frames(), [BLANK, content[:58] + b"\r\n\x1a"])

    def file_dialog_title(self):
        return next((t for t in self.session.windows() if t not in (kd.MAIN_TITLE, "")), None)


class SilentUnit(WindowTest):
    unit_args = ("--no-answer",)  # and COM2 leads nowhere

    def test_each_failed_run_warns_naming_its_port_then_the_dialog_works(self):
        for port, name in ((kd.PORT1, b"COM1"), (kd.PORT2, b"COM2")):
            self.choose_port(port)
            self.session.click(kd.PROGRAM)
            warning = self.wait_for_warning()
            self.assertIn(name, b" ".join(c.text for c in warning.values()))
            self.assertFalse(self.session.windows()[kd.MAIN_TITLE],
                             "the dialog takes no input meanwhile")
            self.dismiss_warning()
            self.assertEqual(self.session.control(kd.PROGRESS).progress, 0)
        self.assertEqual(self.session.frames(), [])
        self.session.click(kd.MESSAGE)
        self.session.type("STILL WORKS")
        kd.wait_for(lambda: self.edit_text() == b"STILL WORKS", 10, "typing after the warnings")


if __name__ == "__main__":
    kd.run_tests()
