#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Seeds plausible faults into the program's rules one at a time and runs the tests after each.

Usage: scripts/seeded-faults.py [--only NAME ...] [--list] [--work DIR]

Each fault of scripts/seeded_faults.txt replaces one exact piece of one source file in a scratch
copy of the tree (never in this checkout), rebuilds that copy incrementally, runs the quick tests
and, only when they all pass, the slow ones (GUI, end-to-end, soak). A fault is caught when a test
fails. The copy is built once and reused between runs, so a second run costs a rebuild per fault.
Prints one line per fault and the share caught; exits 1 when a fault no longer applies (the code
moved on: mend its entry) or does not build (a fault must be a program that compiles).
"""
import argparse
import os
import pathlib
import shutil
import subprocess
import sys
import time

ROOT = pathlib.Path(__file__).resolve().parent.parent
FAULTS = ROOT / "scripts" / "seeded_faults.txt"
SLOW_LABELS = "gui|end-to-end|soak"


def read_faults(path):
    """Entries are blocks: 'fault NAME KIND FILE', then '-' lines (the original) and '+' lines
    (its replacement); '#' lines and blank lines between blocks are comments."""
    faults, current = [], None
    for number, line in enumerate(path.read_text().splitlines(), 1):
        if line.startswith("fault "):
            words = line.split()
            if len(words) != 4:
                sys.exit(f"{path}:{number}: 'fault NAME KIND FILE' expected")
            current = {"name": words[1], "kind": words[2], "file": words[3], "old": [], "new": []}
            faults.append(current)
        elif line.startswith(("-", "+")) and current is not None:
            current["old" if line[0] == "-" else "new"].append(line[1:])
        elif line.strip() and not line.startswith("#"):
            sys.exit(f"{path}:{number}: not a fault line: {line}")
    for fault in faults:
        fault["old"] = "\n".join(fault["old"])
        fault["new"] = "\n".join(fault["new"])
    return faults


def run(command, cwd, log):
    with open(log, "a") as out:
        out.write(f"\n$ {' '.join(command)}\n")
        out.flush()
        return subprocess.run(command, cwd=cwd, stdout=out, stderr=subprocess.STDOUT).returncode


def sync_tree(src):
    """Copies the tracked files into the scratch tree, touching only those that changed, so the
    scratch build stays incremental."""
    listed = subprocess.run(["git", "ls-files", "-z"], cwd=ROOT, check=True,
                            capture_output=True).stdout.decode().split("\0")
    for name in filter(None, listed):
        source, target = ROOT / name, src / name
        if source.is_symlink() or not source.is_file():
            continue
        data = source.read_bytes()
        if not target.exists() or target.read_bytes() != data:
            target.parent.mkdir(parents=True, exist_ok=True)
            target.write_bytes(data)
            shutil.copymode(source, target)


def failing_tests(build, labels_option, log):
    """The names of the tests that failed, or None when all passed. A fault that makes a test
    wait for ever is caught by the time-out; the slow tests get longer."""
    before = log.stat().st_size if log.exists() else 0
    timeout = "120" if labels_option == "-LE" else "600"
    status = run(["ctest", "--test-dir", str(build), "-j", str(os.cpu_count() or 2),
                  labels_option, SLOW_LABELS, "--timeout", timeout], build, log)
    if status == 0:
        return None
    with open(log) as out:
        out.seek(before)
        lines = out.read().splitlines()
    failed = [line.split(" - ")[-1].split()[0] for line in lines if " - " in line and
              ("(Failed)" in line or "(Timeout)" in line or "(Subprocess" in line or
               "(SEGFAULT)" in line or "(Child aborted)" in line or "(Exception)" in line)]
    return failed or ["(ctest failed)"]


def try_fault(fault, src, build, log):
    path = src / fault["file"]
    original = path.read_text()
    if original.count(fault["old"]) != 1:
        return "stale", []
    path.write_text(original.replace(fault["old"], fault["new"], 1))
    try:
        if run(["cmake", "--build", str(build)], build, log) != 0:
            return "no build", []
        for labels_option in ("-LE", "-L"):
            failed = failing_tests(build, labels_option, log)
            if failed:
                return "caught", failed
        return "missed", []
    finally:
        path.write_text(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--only", nargs="*", default=[], help="run only these faults")
    parser.add_argument("--list", action="store_true", help="list the faults and stop")
    parser.add_argument("--work", default=str(ROOT / "build" / "seeded"),
                        help="the scratch folder (default build/seeded)")
    args = parser.parse_args()

    faults = read_faults(FAULTS)
    if args.list:
        for fault in faults:
            print(f"{fault['name']:32} {fault['kind']:10} {fault['file']}")
        return 0
    if args.only:
        faults = [f for f in faults if f["name"] in args.only]

    work = pathlib.Path(args.work)
    src, build, log = work / "src", work / "build", work / "log.txt"
    src.mkdir(parents=True, exist_ok=True)
    log.write_text("")
    sync_tree(src)
    configure = ["cmake", "-S", str(src), "-B", str(build), "-G", "Ninja",
                 "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DNIMBREL_BUILD_BENCH=OFF"]
    if run(configure, work, log) != 0 or run(["cmake", "--build", str(build)], work, log) != 0:
        sys.exit(f"the scratch tree does not build: see {log}")
    if failing_tests(build, "-LE", log) or failing_tests(build, "-L", log):
        sys.exit(f"the suite fails without any fault: see {log}")

    results = {"caught": 0, "missed": 0, "stale": 0, "no build": 0}
    for fault in faults:
        started = time.monotonic()
        outcome, failed = try_fault(fault, src, build, log)
        results[outcome] += 1
        seconds = time.monotonic() - started
        print(f"{outcome:8} {fault['name']:32} {fault['kind']:9} {seconds:5.0f} s  "
              f"{' '.join(failed[:3])}", flush=True)
    run(["cmake", "--build", str(build)], work, log)  # back to the tree as it is

    counted = results["caught"] + results["missed"]
    share = 100.0 * results["caught"] / counted if counted else 0.0
    print(f"caught {results['caught']} of {counted} seeded faults ({share:.0f} %)")
    if results["stale"] or results["no build"]:
        print(f"{results['stale']} no longer apply and {results['no build']} do not build: "
              f"mend their entries in {FAULTS.relative_to(ROOT)}")
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
