#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page in headless Chromium against the real `nimbrel-cli serve`: the built-in console
sends two live texts in turn, every second, and its generated log fills the archive first. The Now
view shows what the console sent and changes with the next text; the History view draws the
archive; the language relabels the page; the browser's console stays free of errors.

    tests/browser/service_test.py NIMBREL_CLI
"""
import json
import os
import pathlib
import shutil
import signal
import socket
import subprocess
import sys
import tempfile
import time
import unittest
import urllib.request

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import harness  # noqa: E402
from selenium.webdriver import ActionChains  # noqa: E402

CLI = None  # from the command line


def live_text(outdoor, compass):
    """A live text as the console sends it: readings, channel 1, channels 2-7 without a sensor."""
    return (f"57 2025-1-8 10:15 21.5 45 {outdoor} 60 0.0 0.0 5.0 7.2 180 {compass} 1013.2 1004.7 3 "
            "4.5 12.3 20.1 50" + " --.- --" * 6 + " 11.0 0.0 1.2 3.4")


# The two texts the console sends in turn, and what the Now view shows of each.
TEXTS = [(live_text("12.3", "S"), "12.3°C", "S"), (live_text("-4.7", "NW"), "-4.7°C", "NW")]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def text(browser, selector):
    return browser.script("const e = document.querySelector(arguments[0]); return e ? e.textContent : null;",
                          selector)


def choose(browser, select, value):
    browser.script("const s = document.getElementById(arguments[0]); s.value = arguments[1];"
                   "s.dispatchEvent(new Event('change'));", select, value)


class ServiceTest(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = pathlib.Path(tempfile.mkdtemp(prefix="nimbrel-service-"))
        env = dict(os.environ, XDG_CONFIG_HOME=str(cls.dir / "config"),
                   XDG_DATA_HOME=str(cls.dir / "data"), XDG_STATE_HOME=str(cls.dir / "state"))
        archive = ["--archive", str(cls.dir / "archive.sqlite")]
        # Four days of five-minute records, from 2025-01-02.
        subprocess.run([CLI, "--simulate", "--console-records", "1152", *archive, "archive", "sync"],
                       env=env, check=True, capture_output=True, timeout=120)
        (cls.dir / "live.txt").write_text("".join(t + "\n" for t, _, _ in TEXTS))
        cls.port = free_port()
        cls.url = f"http://127.0.0.1:{cls.port}"
        cls.log = open(cls.dir / "serve.log", "w")
        cls.serve = subprocess.Popen(
            [CLI, "--simulate", "--console-live", str(cls.dir / "live.txt"), "--console-period",
             "live=1,wu=0,wc=0", *archive, "serve", "--sync-hours", "0", "--http",
             f"127.0.0.1:{cls.port}"], env=env, stderr=cls.log)
        cls.current = cls.wait_for_service()
        cls.browser = harness.Browser(1100, 800).__enter__()

    @classmethod
    def wait_for_service(cls):
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            if cls.serve.poll() is not None:
                raise AssertionError("serve stopped: " + (cls.dir / "serve.log").read_text())
            try:
                with urllib.request.urlopen(cls.url + "/api/v1/current", timeout=10) as answer:
                    current = json.load(answer)
                    if current.get("console") == "connected" and current.get("state"):
                        return current
            except OSError:
                pass
            time.sleep(0.1)
        raise AssertionError("serve never had a live reading")

    @classmethod
    def tearDownClass(cls):
        cls.browser.__exit__(None, None, None)
        cls.serve.send_signal(signal.SIGINT)
        try:
            code = cls.serve.wait(timeout=60)
        finally:
            cls.log.close()
        log = (cls.dir / "serve.log").read_text()
        shutil.rmtree(cls.dir, ignore_errors=True)
        if code != 0:  # the page's visit must not have hurt the service
            raise AssertionError(f"serve ended with {code}: {log}")

    def tearDown(self):
        errors = self.browser.errors()
        self.browser.get("about:blank")
        self.assertEqual(errors, [], "the browser's console shows errors")
        self.assertIsNone(self.serve.poll(), "serve stopped")

    def open(self, view):
        self.browser.driver.delete_all_cookies()
        self.browser.get(f"{self.url}/#{view}")
        self.browser.script("localStorage.clear()")  # each test starts with the service's settings
        self.browser.driver.refresh()
        self.browser.wait_for(lambda b: text(b, '[data-key="outdoor_temperature"]') not in (None, "", "--"))

    def test_now_shows_the_consoles_live_text_and_the_next(self):
        self.open("now")
        for _, shown, compass in TEXTS + TEXTS:  # each in turn, whichever came first
            self.browser.wait_for(lambda b: text(b, '[data-key="outdoor_temperature"]') == shown)
            self.assertEqual(text(self.browser, "#compass-text"), compass)
        formatted = self.current["formatted"]
        for key in ("indoor_temperature", "indoor_humidity", "wind_speed", "wind_gust", "pressure",
                    "uv_index", "dew_point", "heat_index", "wind_chill", "rain_weekly"):
            self.assertEqual(text(self.browser, f'[data-key="{key}"]'), formatted[key].replace(" ", ""), key)
        self.assertEqual(text(self.browser, '[data-key="pressure"]'), "1013.2hPa")
        self.assertEqual(text(self.browser, "#console-state"), "USB connected")
        self.assertIn("CH1", text(self.browser, "#channel-table"))
        self.assertNotIn("CH2", text(self.browser, "#channel-table"))
        stamp = text(self.browser, "#stamp")
        self.assertTrue("2025" in stamp and "10:15" in stamp, stamp)

    def test_history_draws_the_archive(self):
        self.open("history")
        choose(self.browser, "period", "range")
        self.browser.script("document.getElementById('from').value = '2025-01-02';"
                            "const to = document.getElementById('to'); to.value = '2025-01-05';"
                            "to.dispatchEvent(new Event('change'));")
        drawn = self.browser.wait_for(lambda b: int(b.script("return document.getElementById('chart').dataset.drawn") or 0))
        painted = self.browser.wait_for(lambda b: b.script(
            "const c = document.querySelector('#chart canvas'); if (!c) return 0;"
            "const d = c.getContext('2d').getImageData(0, 0, c.width, c.height).data; let n = 0;"
            "for (let i = 3; i < d.length; i += 4) if (d[i]) ++n; return n > 2000 ? n : 0;"))
        self.assertGreater(painted, 2000)
        legend = text(self.browser, "#chart .u-legend")
        for label in ("Indoor", "Outdoor", "Dew point"):
            self.assertIn(label, legend)
        # The value under the pointer: a number of the archive in each series' legend.
        over = self.browser.driver.find_element("css selector", "#chart .u-over")
        ActionChains(self.browser.driver).move_to_element_with_offset(over, 10, 10).pause(0.2) \
            .move_to_element_with_offset(over, 30, 20).perform()
        values = self.browser.wait_for(lambda b: [v for v in b.script(
            "return [...document.querySelectorAll('#chart .u-legend .u-value')].map(e => e.textContent)")
            [1:] if any(ch.isdigit() for ch in v)])
        self.assertEqual(len(values), drawn, values)

    def test_language_relabels_the_page_and_its_readings(self):
        self.open("now")
        choose(self.browser, "lang", "de")
        self.browser.wait_for(lambda b: text(b, '#tabs [data-view="now"]') == "Jetzt")
        self.assertEqual(text(self.browser, "#view-now h2"), "Innen")
        self.browser.wait_for(lambda b: text(b, "#console-state") not in (None, "", "USB connected"))
        self.browser.get(f"{self.url}/#records")
        self.browser.wait_for(lambda b: text(b, '#tabs [data-view="records"]') == "REKORDE")
        choose(self.browser, "records-period", "all")
        self.browser.wait_for(lambda b: "Außen" in (text(b, "#records-table") or ""))


if __name__ == "__main__":
    if len(sys.argv) < 2:
        raise SystemExit(__doc__)
    CLI = sys.argv.pop(1)
    unittest.main()
