#!/usr/bin/env python3
"""Times a command as a whole process: RUNS runs, prints "median min max" in seconds.

    time-runs.py [--runs N] [--rss] [--before SHELL-COMMAND] -- COMMAND [ARG...]

--before runs (untimed, through the shell) before every run, e.g. to drop a cache file. --rss adds
the median, smallest and largest peak resident memory of the runs, in MB, and the median CPU time
(user and system, seconds), which a busy machine changes less than the wall time. The command's
output is discarded; a failing run stops the benchmark.
"""
import argparse
import os
import statistics
import subprocess
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("--runs", type=int, default=5)
parser.add_argument("--rss", action="store_true")
parser.add_argument("--before")
parser.add_argument("command", nargs=argparse.REMAINDER)
args = parser.parse_args()
command = args.command[1:] if args.command[:1] == ["--"] else args.command
if not command:
    parser.error("no command")

times = []
peaks = []
cpu = []
for _ in range(args.runs):
    if args.before:
        subprocess.run(args.before, shell=True, check=True)
    start = time.perf_counter()
    child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
    # wait4 gives this child's own peak, not the largest of every child so far.
    _, status, usage = os.wait4(child.pid, 0)
    times.append(time.perf_counter() - start)
    if os.waitstatus_to_exitcode(status) != 0:
        sys.exit(f"{command[0]} failed")
    peaks.append(usage.ru_maxrss / 1024)
    cpu.append(usage.ru_utime + usage.ru_stime)
line = f"{statistics.median(times):.4f} {min(times):.4f} {max(times):.4f}"
if args.rss:
    line += f" {statistics.median(peaks):.1f} {min(peaks):.1f} {max(peaks):.1f} {statistics.median(cpu):.3f}"
print(line)
sys.exit(0)
