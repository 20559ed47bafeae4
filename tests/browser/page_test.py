#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""The web page in headless Chromium against a stand-in for the service: canned answers and a live
stream the test feeds. Checks what a visitor sees on each view, the language switch, the notices,
and that the browser's console stays free of errors (a broken CSP or script shows up there).

    tests/browser/page_test.py                 # the tests
    tests/browser/page_test.py --shots DIR [URL]  # each view, phone and desktop; URL: a service
"""
import copy
import json
import math
import pathlib
import queue
import sys
import unittest
import urllib.parse

sys.path.insert(0, str(pathlib.Path(__file__).resolve().parent))
import harness  # noqa: E402

HERE = pathlib.Path(__file__).resolve().parent
ASSETS = HERE.parents[1] / "web" / "assets"

STATE = {
    "indoor_temperature": 21.6, "indoor_humidity": 53, "outdoor_temperature": 26.9,
    "outdoor_humidity": 56, "rain_daily": 0.0, "rain_rate": 0.0, "rain_hourly": 0.0,
    "rain_weekly": 3.3, "rain_monthly": 12.0, "wind_speed": 2.4, "wind_gust": 3.4,
    "wind_direction": 157.5, "wind_compass": "SSE", "pressure_relative": 1013.6,
    "pressure_absolute": 1007.4, "uv_index": 3, "dew_point": 17.2, "heat_index": 27.6,
    "wind_chill": 26.9, "logger": 2, "ch1_temperature": 20.0, "ch1_humidity": 56, "ch2_temperature": None,
    "ch2_humidity": None, "date": "2025-07-14", "time": "15:30",
}
UNITS = {"indoor_temperature": "°C", "outdoor_temperature": "°C", "dew_point": "°C",
         "heat_index": "°C", "wind_chill": "°C", "ch1_temperature": "°C", "ch2_temperature": "°C", "wind_speed": "km/h",
         "wind_gust": "km/h", "pressure_relative": "hPa", "pressure_absolute": "hPa",
         "rain_daily": "mm", "rain_rate": "mm/h", "rain_hourly": "mm", "rain_weekly": "mm",
         "rain_monthly": "mm", "indoor_humidity": "%", "outdoor_humidity": "%", "ch1_humidity": "%", "ch2_humidity": "%"}


def current(state, console="connected"):
    """The /current answer: the state, what the dashboard shows of it, the service's language."""
    formatted = {}
    for key, value in state.items():
        if key in UNITS or key == "uv_index":
            shown = "--" if value is None else (str(value) if isinstance(value, int) else f"{value:.1f}")
            formatted[key] = f"{shown} {UNITS[key]}" if key in UNITS else shown
    formatted["pressure"] = formatted.pop("pressure_relative")
    del formatted["pressure_absolute"]
    formatted["wind_direction"] = state["wind_compass"]
    formatted["wind_dial"] = 8
    return {"state": state, "formatted": formatted, "time": "2025-07-14T13:30:00Z",
            "console": console, "lang": "en", "history": True}


def series(query):
    """A week of temperatures in hourly columns, outdoor with a gap, as the service answers."""
    asked = urllib.parse.parse_qs(query)
    wind = asked.get("what") == ["wind"]
    keys = ["wind_speed", "wind_gust", "wind_direction"] if wind else [
        "indoor_temperature", "outdoor_temperature", "dew_point"]
    keys += [f"ch{c}_temperature" for c in asked.get("channels", [""])[0].split(",") if c]
    out = []
    for k, key in enumerate(keys):
        columns = []
        for i in range(7 * 24):
            stamp = f"2025-07-{8 + i // 24:02d}T{i % 24:02d}:00"
            v = round(15 + 5 * k + 6 * math.sin(i / 24 * 2 * math.pi), 1)
            # Outdoor: ten hours without a reading, a break; indoor: a reading every third hour,
            # the columns narrower than its interval, no gap.
            gap = (key == "outdoor_temperature" and 60 <= i < 70) or (key == "indoor_temperature" and i % 3)
            columns.append([stamp] + ([None] * 4 if gap else [v, v, v - 0.8, v + 0.9]))
        out.append({"key": key, "columns": columns, "breaks": [70] if key == "outdoor_temperature" else []})
        if key == "wind_direction":  # points on an axis of their own, as the service draws them
            out[-1].update(unit="°", style="points", axis="right", decimals=0)
    return 200, {"what": asked.get("what", ["temperature"])[0], "unit": "km/h" if wind else "°C",
                 "series": out}


class Service:
    """The stand-in's routes and live stream, with what the test changes."""

    def __init__(self):
        self.now = current(dict(STATE))
        self.events = queue.Queue()
        stats = json.loads((HERE / "canned_stats.json").read_text())
        texts = json.loads((HERE / "canned_texts.json").read_text())
        self.routes = {"/api/v1/current": lambda q: (200, self.now),
                       "/api/v1/texts": lambda q: (200, texts),
                       "/api/v1/series": series,
                       "/api/v1/stats": lambda q: (200, stats)}

    def push(self, state, console="connected"):
        self.now = current(state, console)
        self.events.put(("state", self.now))


def text(browser, selector):
    return browser.script("const e = document.querySelector(arguments[0]); return e ? e.textContent : null;",
                          selector)


class PageTest(unittest.TestCase):
    # One browser for all: each test's server has its own port, so its own origin and storage.
    @classmethod
    def setUpClass(cls):
        cls.browser = harness.Browser(1100, 800).__enter__()

    @classmethod
    def tearDownClass(cls):
        cls.browser.__exit__(None, None, None)

    def setUp(self):
        self.service = Service()
        self.server = harness.StaticServer(ASSETS, self.service.routes,
                                           {"/api/v1/events": self.service.events}).__enter__()

    def tearDown(self):
        errors = self.browser.errors()
        self.browser.get("about:blank")  # closes the live stream before its server goes
        self.server.__exit__(None, None, None)
        self.assertEqual(errors, [], "the browser's console shows errors")

    def open(self, view="now"):
        self.browser.get(f"{self.server.url}/#{view}")
        self.browser.wait_for(lambda b: text(b, '[data-key="outdoor_temperature"]') not in (None, "", "--"))

    def test_now_shows_each_live_reading_and_the_next(self):
        self.open()
        for key, shown in [("outdoor_temperature", "26.9°C"), ("indoor_humidity", "53%"),
                           ("wind_speed", "2.4km/h"), ("pressure", "1013.6hPa"),
                           ("uv_index", "3"), ("heat_index", "27.6°C")]:
            self.assertEqual(text(self.browser, f'[data-key="{key}"]'), shown, key)
        self.assertEqual(text(self.browser, "#compass-text"), "SSE")
        self.assertEqual(text(self.browser, '[data-key="logger"]'), "2%")
        self.assertEqual(text(self.browser, "#console-state"), "USB connected")
        self.assertIn("CH1", text(self.browser, "#channel-table"))
        self.assertNotIn("CH2", text(self.browser, "#channel-table"))  # no reading: no row
        self.assertIn("2025-07-14 15:30", text(self.browser, "#stamp"))
        self.browser.wait_for(lambda b: b.script("return document.getElementById('notice').hidden"))

        later = dict(STATE, outdoor_temperature=27.4, wind_compass="S", time="15:31")
        self.service.push(later)
        self.browser.wait_for(lambda b: text(b, '[data-key="outdoor_temperature"]') == "27.4°C")
        self.assertEqual(text(self.browser, "#compass-text"), "S")

    def test_notices_say_where_the_console_or_the_service_went(self):
        self.open()
        self.browser.wait_for(lambda b: b.script("return document.getElementById('notice').hidden"))
        self.service.push(dict(STATE), console="waiting")
        self.browser.wait_for(lambda b: "held by the window" in text(b, "#notice"))
        self.service.push(dict(STATE), console="gone")
        self.browser.wait_for(lambda b: "console is gone" in text(b, "#notice"))
        self.service.events.put((None, None))  # the stream ends: the service is gone
        self.browser.wait_for(lambda b: "service is gone" in text(b, "#notice"))
        # Back again: the page reconnects on its own and the notice goes.
        self.service.push(dict(STATE, outdoor_temperature=1.5))
        self.browser.wait_for(lambda b: text(b, '[data-key="outdoor_temperature"]') == "1.5°C")
        self.browser.wait_for(lambda b: b.script("return document.getElementById('notice').hidden"))
        self.browser.driver.get_log("browser")  # the dropped stream's own message is expected

    def test_history_draws_the_series_with_their_gap_and_channels(self):
        self.open("history")
        self.browser.wait_for(lambda b: b.script("return document.getElementById('chart').dataset.drawn") == "3")
        self.assertTrue(self.browser.script("return !!document.querySelector('#chart canvas')"))
        # The line breaks where the service says, and nowhere else.
        gaps = "return page.chart.series.slice(1).map(s => (s._paths && s._paths.gaps || []).length)"
        self.assertEqual(self.browser.script(gaps), [0, 1, 0])
        legend = text(self.browser, "#chart .u-legend")
        for label in ("Indoor", "Outdoor", "Dew point"):
            self.assertIn(label, legend)
        asked = [r for r in self.server.requests if r.startswith("/api/v1/series")]
        self.assertIn("last=7d", asked[-1])
        self.assertIn("what=temperature", asked[-1])
        self.browser.script("document.querySelector('#channel-choice input[value=\"1\"]').click()")
        self.browser.wait_for(lambda b: b.script("return document.getElementById('chart').dataset.drawn") == "4")
        self.assertIn("channels=1", self.server.requests[-1])
        axes = "return document.querySelectorAll('#chart .u-axis').length"
        self.assertEqual(self.browser.script(axes), 2)
        self.browser.script("const s = document.getElementById('what'); s.value = 'wind';"
                            "s.dispatchEvent(new Event('change'));")
        self.browser.wait_for(lambda b: "Direction" in (text(b, "#chart .u-legend") or ""))
        self.assertEqual(self.browser.script(axes), 3)  # the direction's own axis on the right

    def test_language_relabels_the_page_and_is_remembered(self):
        self.open()
        self.browser.script("const s = document.getElementById('lang'); s.value = 'de';"
                            "s.dispatchEvent(new Event('change'));")
        self.browser.wait_for(lambda b: text(b, '#tabs [data-view="now"]') == "Jetzt")
        self.assertEqual(text(self.browser, '#view-now h2'), "Innen")
        self.browser.get(f"{self.server.url}/#records")
        self.browser.driver.refresh()
        self.browser.wait_for(lambda b: text(b, '#tabs [data-view="records"]') == "REKORDE")
        self.browser.wait_for(lambda b: "Außen" in (text(b, "#records-table") or ""))
        self.assertTrue(any("lang=de" in r for r in self.server.requests))

    def test_the_services_settings_hold_until_the_visitor_chooses(self):
        self.service.now["formatted"].update(outdoor_temperature="80.4 °F", wind_speed="1.5 mph")
        self.service.now["lang"] = "it"
        self.open()
        self.browser.wait_for(lambda b: text(b, '#tabs [data-view="now"]') == "Adesso")
        self.assertEqual(self.browser.script("return document.getElementById('unit-temperature').value"), "F")
        self.assertEqual(self.service_requests(), ["/api/v1/current"])  # the service's own settings
        self.browser.script("const s = document.getElementById('unit-temperature'); s.value = 'C';"
                            "s.dispatchEvent(new Event('change'));")
        self.browser.driver.refresh()  # the visitor's choice is kept, the rest as it was shown
        self.browser.wait_for(lambda b: b.script("return document.getElementById('lang').value") == "it")
        self.assertEqual(self.browser.script("return document.getElementById('unit-temperature').value"), "C")
        self.assertEqual(self.browser.script("return document.getElementById('unit-wind').value"), "mph")
        self.assertIn("temperature=C&rain=mm&pressure=hPa&wind=mph&lang=it", self.service_requests()[-1])

    def service_requests(self):
        return [r for r in self.server.requests if r.startswith("/api/v1/current")]

    def test_records_show_the_periods_highs_lows_and_rain(self):
        self.open("records")
        self.browser.wait_for(lambda b: "Outdoor – Temperature" in (text(b, "#records-table") or ""))
        table = text(self.browser, "#records-table")
        self.assertIn("11.1 °C", table)
        self.assertIn("22.0 °C", table)  # JSON's 22.0 is 22: the place comes back
        self.assertIn("Wind chill", table)
        self.assertIn("-6.9 °C", table)  # a temperature, though its key starts with wind_
        self.assertIn("2025-01-04 14:45", table)
        self.assertIn("10.3 mm", text(self.browser, "#records-rain"))
        self.assertIn("CH4", text(self.browser, "#records-rain"))  # no readings: named, not a row
        asked = [r for r in self.server.requests if r.startswith("/api/v1/stats")]
        self.assertTrue(asked[-1].endswith("?day=today"), asked[-1])  # by the console's clock
        self.browser.script("const s = document.getElementById('records-period'); s.value = 'all';"
                            "s.dispatchEvent(new Event('change'));")
        self.browser.wait_for(lambda b: self.server.requests[-1] == "/api/v1/stats?all")


def screenshots(folder, url=None):
    """Each view at phone and desktop width, from the stand-in or from a running service."""
    folder = pathlib.Path(folder)
    service = Service()
    state = dict(STATE, ch2_temperature=18.4, ch2_humidity=61)
    service.now = current(state)
    with harness.StaticServer(ASSETS, service.routes, {"/api/v1/events": service.events}) as server:
        server.url = url or server.url
        for size, (width, height) in {"phone": (390, 1400), "desktop": (1100, 760)}.items():
            with harness.Browser(width, height) as browser:
                for view in ("now", "history", "records"):
                    browser.get(f"{server.url}/#{view}")
                    browser.wait_for(lambda b: text(b, '[data-key="outdoor_temperature"]') not in ("", "--"))
                    if view == "history":
                        browser.wait_for(lambda b: b.script("return document.getElementById('chart').dataset.drawn"))
                    if view == "records":
                        browser.wait_for(lambda b: text(b, "#records-table tbody"))
                    browser.script("return new Promise(r => requestAnimationFrame(() => setTimeout(r, 100)))")
                    browser.driver.save_screenshot(str(folder / f"web-{view}-{size}.png"))


if __name__ == "__main__":
    if len(sys.argv) in (3, 4) and sys.argv[1] == "--shots":
        screenshots(*sys.argv[2:])
    else:
        unittest.main()
