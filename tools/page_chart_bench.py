#!/usr/bin/python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Measures how fast each candidate chart library draws a year of readings in headless Chromium.

A year of five-minute records reduced to 1,000 columns, three series, each a line with its
min-max band, as the History view draws it. Each candidate page is loaded RUNS times in a fresh
tab; it reports the time its drawing took and the time from the request to the drawn chart.
Prints one line per candidate with the medians, and the gzip weight of its script.

    tools/page_chart_bench.py [--runs N]
"""
import argparse
import gzip
import math
import pathlib
import statistics
import sys
import tempfile

ROOT = pathlib.Path(__file__).resolve().parents[1]
sys.path.insert(0, str(ROOT / "tests/browser"))  # the browser tests' server and Chromium
import harness  # noqa: E402

CHARTJS = pathlib.Path("/usr/share/javascript/chart.js/chart.min.js")
UPLOT = ROOT / "web/assets/uPlot.iife.min.js"

# The same columns for every candidate: time, then (last, min, max) for three series.
DATA_JS = """
function yearColumns() {
  const n = 1000, start = Date.UTC(2025, 0, 1) / 1000, step = 365 * 86400 / n;
  const t = [], s = [[], [], []];
  for (let i = 0; i < n; i++) {
    t.push(start + i * step);
    for (let k = 0; k < 3; k++) {
      const v = 10 * k + 8 * Math.sin(i / 80 + k) + 3 * Math.sin(i / 3);
      s[k].push([v, v - 2 - (i % 5) * 0.3, v + 2 + (i % 7) * 0.2]);
    }
  }
  return { t, s };
}
// Counted once the frame holding the chart is painted: uPlot draws in a microtask.
function done(start) {
  requestAnimationFrame(() => setTimeout(() => {
    const end = performance.now();
    document.title = 'drawn ' + (end - start).toFixed(1) + ' ' + end.toFixed(1);
  }));
}
"""

UPLOT_JS = """
const d = yearColumns(); const start = performance.now();
const data = [d.t], series = [{}], bands = [];
const colours = ['#c0392b', '#2471a3', '#229954'];
for (let k = 0; k < 3; k++) {
  data.push(d.s[k].map(c => c[0]), d.s[k].map(c => c[1]), d.s[k].map(c => c[2]));
  series.push({ stroke: colours[k], width: 1.5 }, { stroke: 'transparent' }, { stroke: 'transparent' });
  bands.push({ series: [3 * k + 3, 3 * k + 2], fill: colours[k] + '33' });
}
new uPlot({ width: 1000, height: 400, series, bands }, data, document.body);
done(start);
"""

CHARTJS_JS = """
const d = yearColumns(); const start = performance.now();
const colours = ['#c0392b', '#2471a3', '#229954'], datasets = [];
for (let k = 0; k < 3; k++) {
  datasets.push({ data: d.s[k].map((c, i) => ({ x: d.t[i], y: c[1] })), borderWidth: 0, pointRadius: 0 });
  datasets.push({ data: d.s[k].map((c, i) => ({ x: d.t[i], y: c[2] })), borderWidth: 0, pointRadius: 0,
                  fill: '-1', backgroundColor: colours[k] + '33' });
  datasets.push({ data: d.s[k].map((c, i) => ({ x: d.t[i], y: c[0] })), borderColor: colours[k],
                  borderWidth: 1.5, pointRadius: 0 });
}
const canvas = document.createElement('canvas'); canvas.width = 1000; canvas.height = 400;
document.body.appendChild(canvas);
new Chart(canvas, { type: 'line', data: { datasets },
  options: { animation: false, responsive: false, parsing: false, normalized: true,
             plugins: { legend: { display: false } }, scales: { x: { type: 'linear' } } } });
done(start);
"""

# A plain canvas drawing: bands, lines, and a few axis labels; what the program would have to
# grow into a chart (pointer, legends, time axis) on its own.
CANVAS_JS = """
const d = yearColumns(); const start = performance.now();
const canvas = document.createElement('canvas'); canvas.width = 1000; canvas.height = 400;
document.body.appendChild(canvas);
const g = canvas.getContext('2d'), colours = ['#c0392b', '#2471a3', '#229954'];
let lo = Infinity, hi = -Infinity;
for (const s of d.s) for (const c of s) { lo = Math.min(lo, c[1]); hi = Math.max(hi, c[2]); }
const x = i => 40 + i * 950 / (d.t.length - 1), y = v => 380 - (v - lo) * 370 / (hi - lo);
g.font = '12px sans-serif';
for (let v = Math.ceil(lo / 5) * 5; v <= hi; v += 5) { g.fillText(String(v), 2, y(v) + 4); }
d.s.forEach((s, k) => {
  g.fillStyle = colours[k] + '33'; g.beginPath();
  s.forEach((c, i) => g.lineTo(x(i), y(c[2])));
  for (let i = s.length - 1; i >= 0; i--) g.lineTo(x(i), y(s[i][1]));
  g.fill();
  g.strokeStyle = colours[k]; g.lineWidth = 1.5; g.beginPath();
  s.forEach((c, i) => g.lineTo(x(i), y(c[0])));
  g.stroke();
});
done(start);
"""

CANDIDATES = {
    "uPlot 1.6.32 (npm)": (UPLOT, UPLOT_JS),
    "Chart.js 3.9 (Debian)": (CHARTJS, CHARTJS_JS),
    "own canvas drawing": (None, CANVAS_JS),
}


def write_page(folder, name, library, script):
    files = []
    if library is not None:
        (folder / library.name).write_bytes(library.read_bytes())
        files.append(library.name)
    (folder / f"{name}.js").write_text(DATA_JS + script)
    files.append(f"{name}.js")
    tags = "".join(f'<script src="{f}"></script>' for f in files)
    (folder / f"{name}.html").write_text(f"<!doctype html><html><body>{tags}</body></html>")


def year_series(query):
    """A year in 1,000 columns and three series, as the service answers /api/v1/series."""
    out = []
    for k, key in enumerate(["indoor_temperature", "outdoor_temperature", "dew_point"]):
        columns = []
        for i in range(1000):
            minutes = i * 365 * 24 * 60 // 1000
            day, rest = divmod(minutes, 24 * 60)
            month, mday = divmod(day, 28)
            stamp = f"2025-{1 + month % 12:02d}-{1 + mday:02d}T{rest // 60:02d}:{rest % 60:02d}"
            v = round(10 * k + 8 * math.sin(i / 80 + k) + 3 * math.sin(i / 3), 1)
            columns.append([stamp, v, v, v - 2, v + 2])
        out.append({"key": key, "columns": columns})
    return 200, {"what": "temperature", "unit": "°C", "series": out}


def page_year_chart(runs):
    """The page itself: its History view with a year's answer (the stand-in gives it for any
    period), from the request of the page to the drawn chart."""
    routes = {"/api/v1/current": lambda q: (200, {"state": {}, "formatted": {}, "time": None,
                                                  "console": "connected"}),
              "/api/v1/series": year_series}
    times = []
    with harness.StaticServer(ROOT / "web/assets", routes) as server, harness.Browser(1100, 800) as browser:
        for _ in range(runs):
            browser.get("about:blank")
            browser.get(f"{server.url}/?{len(times)}#history")
            mark = browser.wait_for(lambda b: b.script(
                "const m = performance.getEntriesByName('chart-drawn'); return m.length && m[0].startTime;"))
            times.append(mark)
    return statistics.median(times)


def page_weight():
    files = sorted(p for p in (ROOT / "web/assets").iterdir() if p.is_file())
    return sum(len(gzip.compress(p.read_bytes(), 9)) for p in files), len(files)


def main():
    parser = argparse.ArgumentParser()
    parser.add_argument("--runs", type=int, default=7)
    args = parser.parse_args()
    with tempfile.TemporaryDirectory() as tmp:
        folder = pathlib.Path(tmp)
        for i, (label, (library, script)) in enumerate(CANDIDATES.items()):
            write_page(folder, f"c{i}", library, script)
        with harness.StaticServer(folder) as server, harness.Browser(1100, 600) as browser:
            for i, (label, (library, _)) in enumerate(CANDIDATES.items()):
                draws, totals = [], []
                for _ in range(args.runs):
                    browser.get(f"{server.url}/c{i}.html")
                    title = browser.wait_for(lambda b: b.title if b.title.startswith("drawn") else None)
                    draw, total = (float(v) for v in title.split()[1:])
                    draws.append(draw)
                    totals.append(total)
                weight = len(gzip.compress(library.read_bytes(), 9)) if library else 0
                print(f"{label:24} draw {statistics.median(draws):6.1f} ms   request to drawn "
                      f"{statistics.median(totals):6.1f} ms   script {weight / 1024:5.1f} KB gzip")
    print(f"the page, History 12 months: request to drawn chart {page_year_chart(args.runs):6.1f} ms")
    weight, count = page_weight()
    print(f"the page's {count} files: {weight / 1024:.1f} KB gzip")


if __name__ == "__main__":
    main()
