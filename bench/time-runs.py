#!/usr/bin/env python3
"""Times a command as a whole process: RUNS runs, prints "median min max" in seconds.

    time-runs.py [--runs N] [--before SHELL-COMMAND] -- COMMAND [ARG...]

--before runs (untimed, through the shell) before every run, e.g. to drop a cache file. The
command's output is discarded; a failing run stops the benchmark.
"""
import argparse
import statistics
import subprocess
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("--runs", type=int, default=5)
parser.add_argument("--before")
parser.add_argument("command", nargs=argparse.REMAINDER)
args = parser.parse_args()
command = args.command[1:] if args.command[:1] == ["--"] else args.command
if not command:
    parser.error("no command")

times = []
for _ in range(args.runs):
    if args.before:
        subprocess.run(args.before, shell=True, check=True)
    start = time.perf_counter()
    subprocess.run(command, stdout=subprocess.DEVNULL, check=True)
    times.append(time.perf_counter() - start)
print(f"{statistics.median(times):.4f} {min(times):.4f} {max(times):.4f}")
sys.exit(0)
