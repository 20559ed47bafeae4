#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Load test of `nimbrel-cli serve` as a user runs it, over a year of five-minute records.

  scripts/load-test.py [--cli build/ci/cli/nimbrel-cli] [--live 200] [--events 10]
                       [-n 1000 -c 20] [--charts 5]

Builds an archive of 2025's 105,120 five-minute records (the built-in console's log, given as a
file in two halves: a console's log holds at most 65,535), starts serve on it with the console's
live reading every second, then measures:
  - live: 200 event-stream clients; for each of the next events, the time from the first client
    having it to the last (serve publishes as it reads the console's text), and serve's memory
    growth (VmRSS) for the clients;
  - series: 50 requests one after another (one request's own time), then n requests of a year of wind (speed, gust, direction: three series) in 1,000 columns
    from c clients at once: errors, median and 95th percentile of the wall time of one;
  - chart: the History view of the year in headless Chromium, from the page's series request to
    its chart painted (the page's own `chart-drawn` mark), median of --charts loads; left out
    with a note without Debian's chromium, chromium-driver and python3-selenium.
Prints one line per figure with its goal; exit status 1 when a goal is missed or anything fails.
"""
import argparse
import datetime
import importlib.util
import json
import math
import os
import pathlib
import signal
import socket
import statistics
import subprocess
import sys
import tempfile
import time
import urllib.request

ROOT = pathlib.Path(__file__).resolve().parents[1]
SERIES = "/api/v1/series?what=wind&from=2025-01-01&to=2025-12-31&points=1000"


def load(name, path):
    found = importlib.util.spec_from_file_location(name, path)
    module = importlib.util.module_from_spec(found)
    found.loader.exec_module(module)
    return module


http_load = load("http_load", ROOT / "scripts" / "http-load.py")


def history_line(at, index):
    """One record of the console's log: a seasonal and daily swing in the outdoor temperature."""
    day = index / 288
    outdoor = 10 - 8 * math.cos(2 * math.pi * day / 365) + 5 * math.sin(2 * math.pi * (index % 288) / 288)
    wind = 4 + 3 * math.sin(index / 37)
    return (f"5 {at:%Y-%m-%d} {at:%H:%M} 21.5 40 {outdoor:.1f} 80 0.3 - {wind:.1f} {wind * 1.6:.1f} "
            f"{(index * 7) % 360} S {1013 + 5 * math.sin(day):.1f} 1004.7 1 -0.5 --.- 22.0 45"
            + " --.- --" * 6 + " -1.2 0.0 2.5 40.1\n")


def build_archive(cli, folder, env):
    start = datetime.datetime(2025, 1, 1)
    lines = [history_line(start + datetime.timedelta(minutes=5 * i), i) for i in range(365 * 288)]
    archive = folder / "archive.sqlite"
    for half, part in enumerate((lines[:len(lines) // 2], lines[len(lines) // 2:])):
        log = folder / f"log{half}.txt"
        log.write_text("".join(part))
        subprocess.run([cli, "--simulate", "--console-history", str(log), "--archive", str(archive),
                        "archive", "sync"], env=env, check=True, capture_output=True, timeout=600)
    return archive


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def wait_for_service(url, serve):
    deadline = time.monotonic() + 60
    while time.monotonic() < deadline:
        if serve.poll() is not None:
            raise SystemExit("serve stopped at start")
        try:
            with urllib.request.urlopen(url + "/api/v1/current", timeout=10) as answer:
                if json.load(answer).get("console") == "connected":
                    return
        except OSError:
            pass
        time.sleep(0.1)
    raise SystemExit("serve never had the console")


def percentile(values, p):
    values = sorted(values)
    return values[min(len(values) - 1, math.ceil(p / 100 * len(values)) - 1)]


def chart_times(url, runs):
    """From the series request to the chart painted, for each fresh load of the History view."""
    try:
        sys.path.insert(0, str(ROOT / "tests" / "browser"))
        import harness
    except ImportError:
        return None
    times = []
    with harness.Browser(1100, 800) as browser:
        for _ in range(runs):
            browser.get(f"{url}/#history")
            browser.wait_for(lambda b: b.script("return document.getElementById('chart').dataset.drawn") is not None)
            browser.script("performance.clearMarks(); performance.clearResourceTimings();"
                           "document.getElementById('period').value = 'range';"
                           "document.getElementById('range').hidden = false;"
                           "document.getElementById('from').value = '2025-01-01';"
                           "const to = document.getElementById('to'); to.value = '2025-12-31';"
                           "to.dispatchEvent(new Event('change'));")
            drawn = browser.wait_for(lambda b: b.script(
                "const m = performance.getEntriesByName('chart-drawn');"
                "const r = performance.getEntriesByType('resource').find(e => e.name.includes('from=2025-01-01'));"
                "return m.length && r ? m[m.length - 1].startTime - r.startTime : 0;"), timeout=60)
            times.append(drawn)
            if browser.errors():
                raise SystemExit("the browser's console shows errors")
    return times


def main():
    p = argparse.ArgumentParser(description=__doc__, formatter_class=argparse.RawDescriptionHelpFormatter)
    p.add_argument("--cli", default=str(ROOT / "build" / "ci" / "cli" / "nimbrel-cli"))
    p.add_argument("--live", type=int, default=200)
    p.add_argument("--events", type=int, default=10)
    p.add_argument("-n", type=int, default=1000)
    p.add_argument("-c", type=int, default=20)
    p.add_argument("--charts", type=int, default=5)
    args = p.parse_args()

    missed = []

    def figure(text, value, goal, unit):
        ok = value <= goal
        missed.extend([] if ok else [text])
        print(f"{text}: {value:.2f} {unit} (goal <= {goal} {unit}){'' if ok else '  MISSED'}")

    with tempfile.TemporaryDirectory(prefix="nimbrel-load-") as tmp:
        folder = pathlib.Path(tmp)
        env = dict(os.environ, XDG_CONFIG_HOME=str(folder / "config"), XDG_DATA_HOME=str(folder / "data"),
                   XDG_STATE_HOME=str(folder / "state"))
        t0 = time.monotonic()
        archive = build_archive(args.cli, folder, env)
        print(f"archive: a year of five-minute records built in {time.monotonic() - t0:.1f} s")
        port = free_port()
        url = f"http://127.0.0.1:{port}"
        with open(folder / "serve.log", "w") as log:
            serve = subprocess.Popen([args.cli, "--simulate", "--console-period", "live=1,wu=0,wc=0",
                                      "--archive", str(archive), "serve", "--sync-hours", "0",
                                      "--http", f"127.0.0.1:{port}"], env=env, stderr=log)
        try:
            wait_for_service(url, serve)
            urllib.request.urlopen(url + SERIES, timeout=30).read()  # as after a visitor's first look
            load_args = argparse.Namespace(host="127.0.0.1", port=port, pid=serve.pid, live=args.live,
                                           events=args.events, get=SERIES, n=args.n, c=args.c)
            rss0 = http_load.rss_kib(serve.pid)
            spreads, rss_live = http_load.live(load_args)
            figure(f"live: a reading from the first to the last of {args.live} clients, median of "
                   f"{len(spreads)}", statistics.median(spreads), 1000, "ms")
            figure("live: the same, slowest", max(spreads), 1000, "ms")
            figure(f"live: serve's memory growth for {args.live} clients", (rss_live - rss0) / 1024, 10, "MiB")
            alone, _, _ = http_load.get(argparse.Namespace(**dict(vars(load_args), n=50, c=1)))
            print(f"series: one request alone (50 in turn), median {statistics.median(alone) * 1000:.1f} ms")
            cpu0 = http_load.cpu_seconds(serve.pid)
            times, errors, wall = http_load.get(load_args)
            cpu = http_load.cpu_seconds(serve.pid) - cpu0
            print(f"series: {args.n} requests of a year's wind from {args.c} clients at once: "
                  f"{len(times)} ok, {len(errors)} errors, {wall:.2f} s in all, serve's CPU {cpu:.2f} s")
            if errors or not times:
                missed.append("series: errors")
                print(f"series: errors {errors[:3]}")
            else:
                figure("series: one request's wall time, median", statistics.median(times) * 1000, 150, "ms")
                figure("series: one request's wall time, 95th percentile", percentile(times, 95) * 1000, 150, "ms")
            charts = chart_times(url, args.charts)
            if charts is None:
                print("chart: left out (chromium, chromium-driver and python3-selenium needed)")
            else:
                figure(f"chart: a year drawn in headless Chromium from the request, median of {len(charts)}",
                       statistics.median(charts), 1000, "ms")
                figure("chart: the same, slowest", max(charts), 1000, "ms")
            if serve.poll() is not None:
                missed.append("serve stopped")
        finally:
            serve.send_signal(signal.SIGINT)
            serve.wait(timeout=60)
    if missed:
        raise SystemExit("missed: " + "; ".join(missed))


if __name__ == "__main__":
    main()
