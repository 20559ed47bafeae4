#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Load test for the web server: many live clients of the event stream, then many requests.

  http-load.py --port P [--pid PID] [--live 200] [--events 10] [--get /path -n 1000 -c 20]

Live: opens N event-stream clients, waits for each to start, then takes the next E events and
for each gives the time from publish to the last client receiving it. The publish time is read
from the event's "published_ns" (CLOCK_MONOTONIC nanoseconds) when the server puts it there;
otherwise the time from the first client receiving it to the last. Get: n requests from c
clients at once (a new connection each), counting errors and any status but 200. With --pid,
the server's memory growth (RSS) for the live clients and its CPU time for the whole run.
"""
import argparse
import json
import re
import selectors
import socket
import statistics
import threading
import time


def rss_kib(pid):
    with open(f"/proc/{pid}/status") as f:
        for line in f:
            if line.startswith("VmRSS:"):
                return int(line.split()[1])
    return 0


def cpu_seconds(pid):
    with open(f"/proc/{pid}/stat") as f:
        fields = f.read().rsplit(")", 1)[1].split()
    ticks = int(fields[11]) + int(fields[12])  # utime + stime
    return ticks / 100.0


def live(args):
    sel = selectors.DefaultSelector()
    clients = []
    for _ in range(args.live):
        s = socket.create_connection((args.host, args.port))
        s.sendall(b"GET /api/v1/events HTTP/1.1\r\nHost: x\r\nAccept: text/event-stream\r\n\r\n")
        s.setblocking(False)
        clients.append({"sock": s, "buf": b"", "started": False})
        sel.register(s, selectors.EVENT_READ, clients[-1])
    started = 0
    deadline = time.monotonic() + 30
    arrivals = {}  # event data -> list of receive times
    while started < args.live and time.monotonic() < deadline:
        for key, _ in sel.select(1):
            c = key.data
            chunk = c["sock"].recv(65536)
            if not chunk:
                raise SystemExit("a live client was closed while starting")
            c["buf"] += chunk
            if not c["started"] and b"\r\n\r\n" in c["buf"]:
                status = c["buf"].split(b"\r\n", 1)[0]
                if b" 200 " not in status:
                    raise SystemExit(f"live client refused: {status!r}")
                c["started"] = True
                started += 1
    if started < args.live:
        raise SystemExit(f"only {started} of {args.live} live clients started")
    for c in clients:  # what came before now is the starting event
        c["buf"] = b""
    rss_live = rss_kib(args.pid) if args.pid else 0
    latencies = []
    seen_order = []
    deadline = time.monotonic() + 30 + args.events * 5
    while len(latencies) < args.events and time.monotonic() < deadline:
        for key, _ in sel.select(1):
            now = time.monotonic_ns()
            c = key.data
            chunk = c["sock"].recv(65536)
            if not chunk:
                raise SystemExit("a live client was closed")
            c["buf"] += chunk
            while b"\n\n" in c["buf"]:
                event, c["buf"] = c["buf"].split(b"\n\n", 1)
                m = re.search(rb"^data: (.*)$", event, re.M)
                if not m:
                    continue
                data = m.group(1)
                if data not in arrivals:
                    arrivals[data] = []
                    seen_order.append(data)
                arrivals[data].append(now)
                if len(arrivals[data]) == args.live:
                    times = arrivals[data]
                    try:
                        start = json.loads(data)["published_ns"]
                    except (ValueError, KeyError, TypeError):
                        start = min(times)
                    latencies.append((max(times) - start) / 1e6)
    for c in clients:
        c["sock"].close()
    return latencies, rss_live


def get(args):
    errors = []
    times = []
    lock = threading.Lock()
    per = [args.n // args.c + (1 if i < args.n % args.c else 0) for i in range(args.c)]

    def worker(count):
        for _ in range(count):
            t0 = time.monotonic()
            try:
                with socket.create_connection((args.host, args.port), timeout=30) as s:
                    s.sendall(f"GET {args.get} HTTP/1.1\r\nHost: x\r\nConnection: close\r\n\r\n".encode())
                    data = b""
                    while chunk := s.recv(65536):
                        data += chunk
                ok = data.startswith(b"HTTP/1.1 200")
                head, _, body = data.partition(b"\r\n\r\n")
                m = re.search(rb"Content-Length: (\d+)", head, re.I)
                ok = ok and m is not None and int(m.group(1)) == len(body)
                with lock:
                    (times if ok else errors).append(time.monotonic() - t0 if ok else data[:40])
            except OSError as e:
                with lock:
                    errors.append(str(e))
    threads = [threading.Thread(target=worker, args=(k,)) for k in per]
    t0 = time.monotonic()
    for t in threads:
        t.start()
    for t in threads:
        t.join()
    return times, errors, time.monotonic() - t0


def main():
    p = argparse.ArgumentParser()
    p.add_argument("--host", default="127.0.0.1")
    p.add_argument("--port", type=int, required=True)
    p.add_argument("--pid", type=int)
    p.add_argument("--live", type=int, default=200)
    p.add_argument("--events", type=int, default=10)
    p.add_argument("--get")
    p.add_argument("-n", type=int, default=1000)
    p.add_argument("-c", type=int, default=20)
    args = p.parse_args()
    cpu0 = cpu_seconds(args.pid) if args.pid else 0
    rss0 = rss_kib(args.pid) if args.pid else 0
    if args.live:
        lat, rss_live = live(args)
        print(f"live: {args.live} clients, {len(lat)} events, publish to last client: "
              f"median {statistics.median(lat):.2f} ms, max {max(lat):.2f} ms")
        if args.pid:
            print(f"live: server memory growth for them {(rss_live - rss0) / 1024:.2f} MiB")
    if args.get:
        times, errors, wall = get(args)
        times.sort()
        if times:
            print(f"get {args.get}: {len(times)} ok, {len(errors)} errors in {wall:.2f} s, "
                  f"median {statistics.median(times) * 1000:.1f} ms, "
                  f"p99 {times[int(len(times) * 0.99) - 1] * 1000:.1f} ms")
        else:
            print(f"get {args.get}: all {len(errors)} failed: {errors[:3]}")
    if args.pid:
        print(f"server cpu for the run: {cpu_seconds(args.pid) - cpu0:.2f} s")


if __name__ == "__main__":
    main()
