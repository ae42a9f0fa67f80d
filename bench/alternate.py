#!/usr/bin/env python3
"""Compares tarn-bench builds fairly on a noisy machine: runs them in turn, round after round, and
prints each build's median nodes/second and its ratio to the first build's. Every run must print
the same per-position lines (times aside) and signature as the first build's first run, or the
comparison stops: a faster build that searches another tree is no speed-up.

Beside the wall-clock speed the bench prints, each run's CPU time (user and system, of the bench
process alone) is taken too: other processes on a shared machine disturb it far less.

    bench/alternate.py [--rounds N] [--args "..."] BENCH [BENCH ...]

A BENCH is a tarn-bench executable, optionally followed by its own arguments after a colon
("build/tarn-bench:--path x86-64-v2"). --args are passed to every build.
"""
import argparse
import os
import re
import shlex
import statistics
import subprocess
import sys


def run(command):
    process = subprocess.Popen(command, stdout=subprocess.PIPE, text=True)
    output = process.stdout.read()
    _, status, usage = os.wait4(process.pid, 0)
    if status != 0:
        sys.exit(f"{' '.join(command)} failed (wait status {status})")
    lines = [re.sub(r", [0-9.]+ ms$", "", line) for line in output.splitlines()
             if line.startswith("Position ") or line.startswith("Signature:")]
    nps = int(re.search(r"^Nodes/second: (\d+)", output, re.M).group(1))
    return lines, nps, usage.ru_utime + usage.ru_stime


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--rounds", type=int, default=9)
    parser.add_argument("--args", default="", help="arguments for every build")
    parser.add_argument("benches", nargs="+")
    options = parser.parse_args()

    commands = []
    for bench in options.benches:
        path, _, own = bench.partition(":")
        commands.append([path] + shlex.split(own) + shlex.split(options.args))
    reference = None
    speeds = [[] for _ in commands]
    seconds = [[] for _ in commands]
    for round_number in range(1, options.rounds + 1):
        for index, command in enumerate(commands):
            lines, nps, cpu = run(command)
            if reference is None:
                reference = lines
            elif lines != reference:
                sys.exit(f"{' '.join(command)} searched another tree than {' '.join(commands[0])}")
            speeds[index].append(nps)
            seconds[index].append(cpu)
        print(f"round {round_number}: " +
              "  ".join(f"{s[-1] / 1e6:.2f} ({t[-1]:.3f} s)" for s, t in zip(speeds, seconds)),
              flush=True)
    base = statistics.median(speeds[0])
    base_cpu = statistics.median(seconds[0])
    print(reference[-1])
    for command, runs, cpu in zip(commands, speeds, seconds):
        median = statistics.median(runs)
        median_cpu = statistics.median(cpu)
        print(f"{' '.join(command)}: median {median / 1e6:.2f} M nodes/s "
              f"(min {min(runs) / 1e6:.2f}, max {max(runs) / 1e6:.2f}), "
              f"{median / base:.3f} of the first; CPU time median {median_cpu:.3f} s, "
              f"first / this {base_cpu / median_cpu:.3f}")


if __name__ == "__main__":
    main()
