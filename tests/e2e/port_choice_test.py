"""End-to-end tests of where Port 1 and Port 2 lead, through the real window:
the Windows user's korvel.ini (%APPDATA%\\KORVEL) as the utility finds it when
it starts, and the ports dialog of the system menu, worked as an operator
would. COM5 is a simulated unit, as a USB adapter's port is on most PCs.

Each case has a Wine prefix of its own folder's tests (--out), apart from the
window tests', whose prefix never has the file.
"""

import os
import sys

sys.dont_write_bytecode = True  # no cache beside the sources
sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "..", "sim"))
import korvel_drive as kd
from sim_units import Unit
from window_test import BLANK, WindowTest, message_frame

PORTS_TITLE = "COM ports"
PORT1_LEADS = 1010
SETTINGS = ("KORVEL", "korvel.ini")


class PortChoiceTest(WindowTest):
    ini = None  # the settings file's bytes when the utility starts; None: no file

    def before_start(self):
        self.ini_path = os.path.join(self.session.application_data(), *SETTINGS)
        if os.path.exists(self.ini_path):
            os.remove(self.ini_path)
        if self.ini is not None:
            os.makedirs(os.path.dirname(self.ini_path), exist_ok=True)
            with open(self.ini_path, "wb") as f:
                f.write(self.ini)
        # The next case starts from no file, whatever this one leaves.
        self.addCleanup(lambda: os.path.exists(self.ini_path) and os.remove(self.ini_path))

    def ini_now(self):
        with open(self.ini_path, "rb") as f:
            return f.read()

    def program(self, port, text):
        self.choose_port(port)
        self.session.click(kd.MESSAGE)
        self.session.type(text.decode())
        kd.wait_for(lambda: self.edit_text() == text, 10, "the edit to show %r" % text)
        self.program_and_wait(2)

    def open_ports_dialog(self):
        # The system menu from the keyboard, then the item's letter.
        self.session.key("alt+space")
        self.session.key("p")
        kd.wait_for(lambda: PORTS_TITLE in self.session.windows(), 15, "the ports dialog")
        self.assertFalse(self.session.windows()[kd.MAIN_TITLE], "the dialog takes no input meanwhile")

    def port1_leads(self):
        return self.session.control(PORT1_LEADS, PORTS_TITLE).text

    def choose_in_port1_list(self, port):
        """The focus is on Port 1's list as the dialog opens: down the list
        from its top until the port shows."""
        self.session.key("Home")
        for _ in range(40):
            if self.port1_leads().split(b" ")[0] == port:
                return
            self.session.key("Down")
        self.fail("%r is not in Port 1's list" % port)


class Com1AndCom5(PortChoiceTest):
    """COM1 on a unit of the test's own, COM5 on the session's."""
    other_ports = (("COM5", "sim"),)

    def before_start(self):
        work = os.path.join(self.dir, "com1-unit")
        os.makedirs(work)
        self.com1_unit = Unit(os.path.join(kd.ARGS.native_build, "sim", "korvel-unit",
                                           "korvel-unit"), work)
        # After the session has stopped: Wine lets go of the terminal first.
        self.addCleanup(self.com1_unit.kill)
        self.com1 = self.session.com1 = self.com1_unit.path
        super().before_start()


class FileLeadsPort1ToCom5(Com1AndCom5):
    ini = b"[Ports]\r\nPort1=COM5\r\n"

    def test_port1_programs_the_unit_on_com5_and_not_the_one_on_com1(self):
        self.program(kd.PORT1, b"ON COM5")
        self.assertEqual(self.session.frames(), [BLANK, message_frame(b"ON COM5")])
        self.assertEqual(self.com1_unit.received(), b"")


class PortsDialog(PortChoiceTest):
    com1 = "none"
    other_ports = (("COM5", "sim"),)

    def test_the_dialog_leads_port1_to_com5_and_keeps_it_cancel_changes_nothing(self):
        self.open_ports_dialog()
        self.assertTrue(self.port1_leads().startswith(b"COM1"), self.port1_leads())
        self.choose_in_port1_list(b"COM5")
        self.session.screenshot(os.path.join(self.dir, "ports-dialog.png"), PORTS_TITLE)
        self.session.click(1, title=PORTS_TITLE)  # OK
        kd.wait_for(lambda: PORTS_TITLE not in self.session.windows(), 10, "the dialog to close")
        self.assertEqual(self.ini_now(), b"[Ports]\r\nPort1=COM5\r\nPort2=COM2\r\n")

        # At once, without a restart.
        self.program(kd.PORT1, b"CHOSEN IN THE DIALOG")
        self.assertEqual(self.session.frames(), [BLANK, message_frame(b"CHOSEN IN THE DIALOG")])

        self.open_ports_dialog()
        self.assertTrue(self.port1_leads().startswith(b"COM5"), self.port1_leads())
        self.session.key("Home")
        self.assertFalse(self.port1_leads().startswith(b"COM5"))
        self.session.click(2, title=PORTS_TITLE)  # Cancel
        kd.wait_for(lambda: PORTS_TITLE not in self.session.windows(), 10, "the dialog to close")
        self.assertEqual(self.ini_now(), b"[Ports]\r\nPort1=COM5\r\nPort2=COM2\r\n")
        self.open_ports_dialog()
        self.assertTrue(self.port1_leads().startswith(b"COM5"), self.port1_leads())
        self.session.key("Escape")
        kd.wait_for(lambda: PORTS_TITLE not in self.session.windows(), 10, "the dialog to close")


class GarbledFile(PortChoiceTest):
    ini = b"\x00\xff[Ports\x00]\nPort1=COM5\x13\n\x89PNG\r\n[Ports]\nPort1=COMX\nPort2=LPT1\n"

    def test_port1_stays_com1_and_port2_com2(self):
        self.program(kd.PORT1, b"STILL COM1")
        self.assertEqual(self.session.frames(), [BLANK, message_frame(b"STILL COM1")])
        self.choose_port(kd.PORT2)
        self.session.click(kd.PROGRAM)
        warning = self.wait_for_warning()
        self.assertIn(b"COM2", b" ".join(c.text for c in warning.values()))
        self.dismiss_warning()
        self.assertEqual(self.ini_now(), self.ini, "reading it changes nothing")


class FileNamesAPortNotThere(PortChoiceTest):
    ini = b"[Ports]\r\nPort1=COM7\r\n"

    def test_port1_says_com7_could_not_be_used(self):
        self.choose_port(kd.PORT1)
        self.session.click(kd.PROGRAM)
        said = b" ".join(c.text for c in self.wait_for_warning().values())
        self.assertIn(b"COM7", said)
        self.assertNotIn(b"COM1", said)
        self.dismiss_warning()
        self.assertEqual(self.session.frames(), [])


if __name__ == "__main__":
    kd.run_tests()
