"""The page at / in a real Chromium (Debian's, headless, through chromedriver):
the token asked once and again when refused, a banner typed and programmed
into korvel-unit with the run live on the page, inputs that take only what the
unit can show. Screenshots go to --out. Chromium, chromedriver, korvel-serve
and korvel-unit are stopped by pid and the scratch folder removed, also when a
case fails."""

import os
import re
import shutil
import signal
import sys
import tempfile
import unittest

sys.dont_write_bytecode = True  # no cache beside the sources
from serve_support import TOKEN, Serve, write_config  # noqa: E402
from korvel_test_support import (BLANK, KorvelTestCase, Unit, die_with_parent,  # noqa: E402
                                 hex_line, main, message_frame, padded, stop_once)

from selenium import webdriver  # noqa: E402
from selenium.common.exceptions import TimeoutException  # noqa: E402
from selenium.webdriver.chrome.service import Service  # noqa: E402
from selenium.webdriver.common.by import By  # noqa: E402
from selenium.webdriver.common.keys import Keys  # noqa: E402
from selenium.webdriver.support.ui import WebDriverWait  # noqa: E402

PHONE = (412, 915)
NARROW_PHONE = (360, 740)
DESKTOP = (1280, 900)


def process_table():
    """{pid: (parent pid, start time)} of every process now."""
    table = {}
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                stat = f.read()
        except OSError:
            continue
        # The name in brackets may hold spaces; the fields after it are plain.
        fields = stat[stat.rindex(")") + 2:].split()
        table[int(entry)] = (int(fields[1]), int(fields[19]))
    return table


def descendants(pid):
    """{pid: start time} of every process below pid."""
    table = process_table()
    found, todo = {}, [pid]
    while todo:
        parent = todo.pop()
        for child, (its_parent, started) in table.items():
            if its_parent == parent and child not in found:
                found[child] = started
                todo.append(child)
    return found


def stop_processes(started_at):
    """SIGKILL to each pid that is still the process noted (same start time),
    never to a process that has taken a freed pid since."""
    table = process_table()
    for pid, started in started_at.items():
        if pid in table and table[pid][1] == started:
            try:
                os.kill(pid, signal.SIGKILL)
            except ProcessLookupError:
                pass


class Browser:
    """Debian's chromium, headless, through chromedriver, with a profile of
    its own in the scratch folder."""

    def __init__(self, work, size):
        options = webdriver.ChromeOptions()
        options.binary_location = KorvelTestCase.args.chromium
        for flag in ("--headless", "--no-sandbox", "--disable-gpu", "--disable-quic",
                     "--no-first-run", "--disable-background-networking",
                     "--disable-component-update", "--disable-sync", "--disable-breakpad",
                     "--disable-crash-reporter",
                     "--disable-dev-shm-usage", "--hide-scrollbars",
                     "--user-data-dir=" + os.path.join(work, "chromium-profile"),
                     "--window-size=%d,%d" % size):
            options.add_argument(flag)
        options.set_capability("goog:loggingPrefs", {"browser": "ALL"})
        service = Service(KorvelTestCase.args.chromedriver, log_path=os.path.join(work, "chromedriver.log"),
                          popen_kw={"preexec_fn": die_with_parent})
        self.service = service
        self.driver = None
        try:
            self.driver = webdriver.Chrome(service=service, options=options)
        except Exception:
            self.stop()
            raise

    def stop(self):
        """Chromium and chromedriver, each by pid: the tree below chromedriver
        is noted before it is asked to quit, and whatever of it remains ends."""
        process = getattr(self.service, "process", None)
        if process is None:
            return
        below = descendants(process.pid)
        if self.driver is not None:
            try:
                self.driver.quit()
            except Exception:
                pass
        below.update(descendants(process.pid))
        stop_processes(below)
        if process.poll() is None:
            process.kill()
        process.wait()


class PageTest(unittest.TestCase):
    @classmethod
    def stop_later(cls, stop, *args):
        cls.addClassCleanup(stop_once(stop, *args))

    @classmethod
    def setUpClass(cls):
        cls.work = tempfile.mkdtemp(prefix="korvel-page-test-")
        cls.stop_later(shutil.rmtree, cls.work, True)
        os.makedirs(KorvelTestCase.args.out, exist_ok=True)
        cls.units = []
        for name in ("window", "counter"):
            folder = os.path.join(cls.work, name)
            os.mkdir(folder)
            unit = Unit(KorvelTestCase.args.unit, folder, "--line-speed", "9600")
            cls.stop_later(unit.kill)
            cls.units.append(unit)
        # The door's adapter is unplugged: its port is not there.
        cls.missing = os.path.join(cls.work, "ttyUSB-unplugged")
        serve = Serve(KorvelTestCase.args.serve, *write_config(cls.work, [
            ("window", cls.units[0].path, "Shop window"),
            ("counter", cls.units[1].path, "Till counter"),
            ("door", cls.missing, "Front door")]))
        cls.stop_later(serve.kill)
        cls.serve = serve
        browser = Browser(cls.work, PHONE)
        cls.stop_later(browser.stop)
        cls.driver = browser.driver

    def tearDown(self):
        # A script error or anything the page's policy blocked is a fault of
        # the page, whatever the case was looking at.
        faults = [entry["message"] for entry in self.driver.get_log("browser")
                  if "Content Security Policy" in entry["message"] or
                  "Uncaught" in entry["message"]]
        self.assertEqual(faults, [])

    # --- helpers ---

    def shot(self, name):
        path = os.path.join(KorvelTestCase.args.out, name + ".png")
        self.driver.save_screenshot(path)
        return path

    def until(self, condition, what, seconds=15):
        try:
            return WebDriverWait(self.driver, seconds, poll_frequency=0.02).until(
                lambda driver: condition())
        except TimeoutException:
            self.shot("timeout")
            raise AssertionError("timed out waiting for " + what + "; the service's log:\n" +
                                 self.serve.log())

    def open_page(self, token=None):
        """The page afresh; with token, as a browser that already keeps it.
        The token is written and the page reloaded in one script: a page that
        started in between would find none and forget the one written next."""
        self.driver.get(self.serve.url)
        self.reload("""if (arguments[0] === null) localStorage.removeItem('korvel-token');
                       else localStorage.setItem('korvel-token', arguments[0]);""", token)

    def reload(self, before="", *args):
        """The page loaded again in the same tab, as a person's reload does."""
        self.driver.execute_script(before + "window.oldPage = true; location.reload()", *args)
        self.until(lambda: self.driver.execute_script(
            "return !window.oldPage && document.readyState === 'complete'"), "the page to load")

    def visible(self, css):
        found = self.driver.find_elements(By.CSS_SELECTOR, css)
        return found[0] if found and found[0].is_displayed() else None

    def sign_in(self, token):
        field = self.until(lambda: self.visible("input[name=token]"), "the token prompt")
        field.clear()
        field.send_keys(token)
        self.driver.find_element(By.XPATH, "//button[normalize-space()='Save token']").click()

    def card(self, name):
        return self.until(lambda: self.visible('[data-unit="%s"]' % name), "the unit " + name)

    def display_rows(self, card):
        # In one script: the page redraws the rows on every change of the unit.
        return self.driver.execute_script(
            "return [...arguments[0].querySelectorAll('.panel:not(.wanted) .row')]"
            ".map(row => row.textContent)", card)

    def size(self, width_height):
        self.driver.set_window_size(*width_height)
        self.until(lambda: self.driver.execute_script("return innerWidth") <= width_height[0],
                   "the window to take its size")

    # --- cases ---

    def test_a_banner_typed_on_a_phone_reaches_the_unit_with_the_run_shown_live(self):
        self.size(PHONE)
        self.open_page()
        self.sign_in(TOKEN)
        card = self.card("window")
        self.assertIn("Shop window", card.text)
        self.assertIsNotNone(self.driver.execute_script("return localStorage.getItem('korvel-token')"))

        line1, line2 = card.find_element(By.NAME, "line1"), card.find_element(By.NAME, "line2")
        line1.clear()
        line1.send_keys("GRAND OPENING" + Keys.ENTER)  # Enter goes on to the second line
        line2.clear()
        self.assertEqual(self.driver.switch_to.active_element, line2)
        line2.send_keys("Saturday 10-4 ~ all welcome")
        self.assertEqual(card.find_element(By.CSS_SELECTOR, ".c1").text, "13/28")
        self.assertEqual(card.find_element(By.CSS_SELECTOR, ".c2").text, "27/28")

        # Every value the bar takes, as the page sets it from the events.
        self.driver.execute_script("""
            const bar = arguments[0].querySelector('progress');
            window.barSeen = [];
            const set = Object.getOwnPropertyDescriptor(HTMLProgressElement.prototype, 'value').set;
            Object.defineProperty(bar, 'value', {
                get() { return Number(this.getAttribute('value')); },
                set(v) { window.barSeen.push(Number(v)); set.call(this, v); }});
        """, card)
        frames_before = len(self.units[0].frames())
        card.find_element(By.XPATH, ".//button[normalize-space()='Program']").click()
        # Into the message frame if the screenshot can catch it; a busy
        # machine may have ended the run first, which barSeen still tells.
        self.until(lambda: self.driver.execute_script(
            "return arguments[0].querySelector('progress').value > 36 ||"
            " Math.max(0, ...window.barSeen) >= 59", card), "the bar to move", seconds=10)
        self.shot("phone-mid-run")
        self.until(lambda: card.get_attribute("data-status") == "programmed" and
                   "programmed" in card.find_element(By.CSS_SELECTOR, ".result").text.lower(),
                   "the page to say programmed")

        frames = self.units[0].frames_after(frames_before + 2)[frames_before:]
        self.assertEqual(frames, [hex_line(BLANK),
                                  hex_line(padded(b"GRAND OPENING\r\nSaturday 10-4 ~ all welcome"))])
        self.assertEqual(self.display_rows(card),
                         ["GRAND OPENING".ljust(28), "Saturday 10-4 ~ all welcome".ljust(28)])
        self.assertIn("Programmed", card.find_element(By.CSS_SELECTOR, ".status").text)
        self.assertEqual(card.find_element(By.CSS_SELECTOR, ".badge").text, "Programmed")

        seen = self.driver.execute_script("return window.barSeen")
        moving = [v for v in seen if 0 < v < 60]
        self.assertGreater(len(set(moving)), 10, "the bar moved in steps: %s" % seen)
        run = [v for v in seen if v > 0]
        self.assertEqual(run, sorted(run), "the bar only grows during a run: %s" % seen)
        self.shot("phone-programmed")
        if KorvelTestCase.args.copy_mid_run:
            shutil.copyfile(os.path.join(KorvelTestCase.args.out, "phone-mid-run.png"), KorvelTestCase.args.copy_mid_run)

        # The token is kept: a reload goes straight to the units, as they are.
        self.reload()
        card = self.card("window")
        self.until(lambda: self.display_rows(card) == ["GRAND OPENING".ljust(28),
                                                       "Saturday 10-4 ~ all welcome".ljust(28)],
                   "the display after a reload")
        self.assertFalse(self.visible("input[name=token]"))

        # Both lines emptied: the display is cleared.
        line1, line2 = card.find_element(By.NAME, "line1"), card.find_element(By.NAME, "line2")
        line1.clear()
        line2.clear()
        card.find_element(By.XPATH, ".//button[normalize-space()='Program']").click()
        self.until(lambda: self.display_rows(card) == [" " * 28, " " * 28],
                   "the display to be blank")
        self.assertEqual(self.units[0].frames_after(frames_before + 4)[-1],
                         hex_line(message_frame(b"")))

        # The same page on a desktop window.
        self.size(DESKTOP)
        self.card("counter")
        self.shot("desktop")

    def test_the_inputs_take_only_what_the_unit_can_show(self):
        self.size(PHONE)
        self.open_page(TOKEN)
        card = self.card("counter")
        line1, line2 = card.find_element(By.NAME, "line1"), card.find_element(By.NAME, "line2")
        line1.clear()
        line1.send_keys("A" * 28)
        line1.send_keys("Z")  # a 29th
        self.assertEqual(line1.get_attribute("value"), "A" * 28)
        self.assertEqual(card.find_element(By.CSS_SELECTOR, ".c1").text, "28/28")
        self.assertIn("28 characters at most", card.find_element(By.CSS_SELECTOR, ".refused").text)

        line2.clear()
        line2.send_keys("caf\u00e9 \u20ac5")
        self.assertEqual(line2.get_attribute("value"), "caf 5")
        self.assertIn("space to ~", card.find_element(By.CSS_SELECTOR, ".refused").text)
        self.assertEqual(card.find_element(By.CSS_SELECTOR, ".c2").text, "5/28")
        # Pasted text too: set as a paste would, the input event sees it.
        self.driver.execute_script("""
            const input = arguments[0];
            input.value = 'na\u00efve\\ttext ' + 'x'.repeat(40);
            input.dispatchEvent(new Event('input', {bubbles: true}));""", line2)
        self.assertEqual(line2.get_attribute("value"), ("nave" + "text " + "x" * 40)[:28])
        self.shot("phone-refused")

    def test_a_wrong_token_asks_for_it_again(self):
        self.size(PHONE)
        self.open_page()
        self.sign_in("not-the-token-at-all-0000")
        self.until(lambda: "refused" in self.driver.find_element(By.ID, "token-why").text,
                   "the page to say the token was refused")
        self.assertTrue(self.visible("input[name=token]"))
        self.assertEqual(self.driver.find_elements(By.CSS_SELECTOR, "[data-unit]"), [])
        self.assertIsNone(self.driver.execute_script("return localStorage.getItem('korvel-token')"))

        # A kept token the service no longer takes.
        self.open_page("an-old-token-that-was-changed")
        self.until(lambda: self.visible("input[name=token]"), "the token prompt")
        self.shot("phone-token-refused")

        # The right one, then forgotten on purpose.
        self.sign_in(TOKEN)
        self.card("window")
        self.driver.find_element(By.XPATH, "//button[normalize-space()='Forget token']").click()
        self.until(lambda: self.visible("input[name=token]"), "the token prompt")
        self.assertIsNone(self.driver.execute_script("return localStorage.getItem('korvel-token')"))

    def test_the_page_follows_other_clients_and_hears_again_after_a_restart(self):
        self.size(PHONE)
        self.open_page(TOKEN)
        card = self.card("counter")
        self.until(lambda: "Live" in self.driver.find_element(By.ID, "link").text, "the events")
        self.assertEqual(self.serve.put("counter", ["OPEN", "till 6 pm"])[0], 200)
        self.until(lambda: self.display_rows(card) == ["OPEN".ljust(28), "till 6 pm".ljust(28)],
                   "the page to show another client's text")

        self.serve.kill()
        self.until(lambda: "Reconnecting" in self.driver.find_element(By.ID, "link").text,
                   "the page to notice the service went away")
        self.serve.start()
        self.until(lambda: "Live" in self.driver.find_element(By.ID, "link").text,
                   "the page to hear the events again", seconds=40)
        self.assertEqual(self.serve.put("counter", ["CLOSED", ""])[0], 200)
        self.until(lambda: self.display_rows(card) == ["CLOSED".ljust(28), " " * 28],
                   "the page to show a change made after the restart")

    def test_a_unit_whose_port_is_away_says_why_and_when_it_tries_again(self):
        self.size(DESKTOP)
        self.open_page(TOKEN)
        card = self.card("door")
        line1 = card.find_element(By.NAME, "line1")
        line1.clear()
        line1.send_keys("PUSH")
        card.find_element(By.XPATH, ".//button[normalize-space()='Program']").click()
        result = card.find_element(By.CSS_SELECTOR, ".result")
        self.until(lambda: self.missing in result.text, "the run's words about the port")
        self.assertIn("bad", result.get_attribute("class"))
        status = card.find_element(By.CSS_SELECTOR, ".status")
        self.until(lambda: re.match(r"(Pending|Failed): .+\. Next try at .+\.$", status.text),
                   "the status to say why and when it tries next")
        self.assertEqual(card.find_element(By.CSS_SELECTOR, ".panel.wanted .row")
                         .get_attribute("textContent"), "PUSH".ljust(28))
        self.driver.execute_script("arguments[0].scrollIntoView()", card)
        self.shot("desktop-port-away")

    def test_the_page_fits_a_narrow_phone(self):
        self.assertEqual(self.serve.put("window", ["W" * 28, "SATURDAY 10 AM"])[0], 200)
        self.size(NARROW_PHONE)
        self.open_page(TOKEN)
        card = self.card("window")
        overflow = self.driver.execute_script(
            "return document.documentElement.scrollWidth - document.documentElement.clientWidth")
        self.assertLessEqual(overflow, 0, "the page scrolls sideways at 360 px")
        # Each of the 28 cells of a row is inside the card.
        inside = self.driver.execute_script("""
            const card = arguments[0].getBoundingClientRect();
            return [...arguments[0].querySelectorAll('.row')].every(row =>
                row.children.length === 28 &&
                row.lastElementChild.getBoundingClientRect().right <= card.right);""", card)
        self.assertTrue(inside)
        small = self.driver.execute_script("""
            return [...arguments[0].querySelectorAll('button, input')]
                .filter(e => e.getBoundingClientRect().height < 44).length;""", card)
        self.assertEqual(small, 0, "every button and input is at least 44 px high")
        self.shot("narrow-phone")


if __name__ == "__main__":
    main("serve", "unit", "out", chromium="/usr/bin/chromium",
         chromedriver="/usr/bin/chromedriver", copy_mid_run=None)
