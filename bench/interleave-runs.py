#!/usr/bin/env python3
"""Times several commands as whole processes, in rounds: each round runs every command once, in turn.

    interleave-runs.py [--rounds N] NAME BEFORE COMMAND [NAME BEFORE COMMAND ...]

Prints "NAME median min max cpu" (seconds) per command, cpu being the median of the user and system
time the command and its threads used: beside the wall time it tells work from waiting. BEFORE runs (untimed, through the shell) before
each run of its command, e.g. to drop a cache file; give '' for none. COMMAND is split as the shell
would split it and run without one. Ratios between the commands are the point: on a machine whose
speed drifts over tens of seconds, runs of one command after the other compare one moment with
another, while a round compares the commands at one moment. The output is discarded; a failing run
stops the benchmark.
"""
import argparse
import os
import shlex
import statistics
import subprocess
import sys
import time

parser = argparse.ArgumentParser()
parser.add_argument("--rounds", type=int, default=7)
parser.add_argument("triples", nargs="+")
args = parser.parse_args()
if len(args.triples) % 3 != 0:
    parser.error("give NAME BEFORE COMMAND for each command")
commands = [(args.triples[i], args.triples[i + 1], shlex.split(args.triples[i + 2]))
            for i in range(0, len(args.triples), 3)]
times = {name: [] for name, _, _ in commands}
cpu = {name: [] for name, _, _ in commands}
for _ in range(args.rounds):
    for name, before, command in commands:
        if before:
            subprocess.run(before, shell=True, check=True)
        start = time.perf_counter()
        child = subprocess.Popen(command, stdout=subprocess.DEVNULL)
        _, status, usage = os.wait4(child.pid, 0)
        times[name].append(time.perf_counter() - start)
        cpu[name].append(usage.ru_utime + usage.ru_stime)
        if os.waitstatus_to_exitcode(status) != 0:
            sys.exit(f"{command[0]} failed")
for name, _, _ in commands:
    t = times[name]
    print(f"{name} {statistics.median(t):.4f} {min(t):.4f} {max(t):.4f} {statistics.median(cpu[name]):.4f}")
