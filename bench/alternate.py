#!/usr/bin/env python3
"""Runs commands in turns, round after round, so that all of them see the same (possibly busy)
machine, and prints each one's median and worst wall time and the asked ratios of medians.
Usage: alternate.py RUNS NAME=COMMAND... [--ratio NAME/NAME[:GOAL]]...
The output of each command goes to a pipe that is read and dropped (some tools stop early when
their output is /dev/null)."""
import shlex, statistics, subprocess, sys, time

runs = int(sys.argv[1])
commands, ratios = {}, []
args = sys.argv[2:]
while args:
    arg = args.pop(0)
    if arg == "--ratio":
        ratios.append(args.pop(0))
    else:
        name, command = arg.split("=", 1)
        commands[name] = shlex.split(command)
times = {name: [] for name in commands}
for round in range(runs + 1):
    for name, command in commands.items():
        start = time.perf_counter()
        subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if round >= 1:   # the first round warms the caches
            times[name].append(time.perf_counter() - start)
median = {n: statistics.median(t) for n, t in times.items()}
for name, t in times.items():
    print(f"  {name}: median {median[name]*1000:.0f} ms, worst {max(t)*1000:.0f} ms ({runs} runs)")
for ratio in ratios:
    pair, _, goal = ratio.partition(":")
    a, b = pair.split("/")
    worst = max(times[a]) / max(times[b])
    line = f"ratio {a} / {b}: median {median[a]/median[b]:.2f}, worst {worst:.2f}"
    print(line + (f" (goal: {goal})" if goal else ""))
