#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
# serve_without_archive.py LAUNCHER NIMBREL_CLI WORK
# serve in a build without the archive (the Windows build under Wine as LAUNCHER; a Linux build so
# configured with env), as a user starts it, against the built-in console: its web dashboard
# answers the live reading, says that history needs the archive the build leaves out, and serve
# ends on Ctrl-C. Prints the figures (start to first reading, to the end) for the report.
import json
import os
import shutil
import signal
import socket
import subprocess
import sys
import time
import urllib.error
import urllib.request

launcher, cli, work = sys.argv[1:4]


def free_port():
    with socket.socket() as s:
        s.bind(("127.0.0.1", 0))
        return s.getsockname()[1]


def get(url):
    """The status and parsed JSON body; (0, None) while nothing listens."""
    try:
        with urllib.request.urlopen(url, timeout=10) as answer:
            return answer.status, json.load(answer)
    except urllib.error.HTTPError as error:
        return error.code, json.load(error)
    except (OSError, ValueError):
        return 0, None


# What needs the archive is refused, with the reason, before anything starts.
for refused in (["serve", "--sync-hours", "1"], ["--archive", "a.sqlite", "serve"]):
    run = subprocess.run([launcher, cli, "--simulate", *refused], capture_output=True, text=True,
                         env=dict(os.environ, WINEDEBUG="-all"), timeout=240)
    if run.returncode != 2 or "has no weather archive" not in run.stderr:
        sys.exit(f"{refused}: exit {run.returncode}, {run.stderr!r}")

shutil.rmtree(work, ignore_errors=True)
os.makedirs(work)
env = dict(os.environ, WINEDEBUG="-all")
port = free_port()
base = f"http://127.0.0.1:{port}"
started = time.monotonic()
with open(os.path.join(work, "serve.log"), "wb") as log:
    serve = subprocess.Popen([launcher, cli, "--simulate", "serve", "--http", f"127.0.0.1:{port}"],
                             stdout=log, stderr=log, env=env)


def fail(message):
    serve.kill()
    serve.wait()
    with open(os.path.join(work, "serve.log"), encoding="utf-8", errors="replace") as log:
        sys.exit(f"{message}\n--- serve's log:\n{log.read()}")


current = None
# Generous: Wine's first start of a program can take long on a busy machine.
deadline = time.monotonic() + 240
while time.monotonic() < deadline and serve.poll() is None:
    status, current = get(base + "/api/v1/current")
    if status == 200 and current.get("console") == "connected":
        break
    time.sleep(0.2)
else:
    fail(f"no live reading from the built-in console: {current}")
first = time.monotonic() - started

state = current.get("state") or {}
if not isinstance(state.get("outdoor_temperature"), (int, float)):
    fail(f"the live reading has no outdoor temperature: {current}")
if current.get("history") is not False or \
        state.get("outdoor_temperature_high_today", "absent") is not None:
    fail(f"a build without the archive has no figures of today: {current}")
for target in ("/api/v1/stats?all", "/api/v1/series?what=temperature&last=24h"):
    status, body = get(base + target)
    if status != 503 or "archive" not in (body or {}).get("error", ""):
        fail(f"{target}: {status} {body}, not a 503 that names the archive")
status, body = get(base + "/api/v1/nothing")
if status != 404:
    fail(f"/api/v1/nothing: {status} {body}")

# Ctrl-C: Wine turns the interrupt into the console's Ctrl-C event.
serve.send_signal(signal.SIGINT)
try:
    code = serve.wait(120)
except subprocess.TimeoutExpired:
    fail("serve did not end on Ctrl-C")
if code != 0:
    fail(f"serve ended with {code} on Ctrl-C")
with open(os.path.join(work, "serve.log"), encoding="utf-8", errors="replace") as log:
    text = log.read()
for line in ("has no weather archive", f"web dashboard: {base}/", "stopped"):
    if line not in text:
        fail(f"serve's log lacks '{line}'")
print(f"first live reading after {first:.1f} s; ended {time.monotonic() - started:.1f} s "
      "after the start")
