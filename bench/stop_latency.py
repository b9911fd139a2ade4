#!/usr/bin/env python3
"""How long a search takes to end after a stop (SIGINT), asked at a few moments of its run.

Usage: bench/stop_latency.py LABEL COMMAND...
Prints, per moment, the milliseconds from the signal to the program's exit (its temporary
folder removed included), and the worst of them against the goal of 100 ms.
"""
import signal
import subprocess
import sys
import time

label, command = sys.argv[1], sys.argv[2:]
latencies = []
for delay in (0.2, 0.5, 1.0, 1.5):
    process = subprocess.Popen(command, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    time.sleep(delay)
    if process.poll() is not None:
        continue
    start = time.perf_counter()
    process.send_signal(signal.SIGINT)
    process.wait()
    latencies.append((time.perf_counter() - start) * 1000)
if latencies:
    print(f"stop inside {label}: " + ", ".join(f"{ms:.0f}" for ms in latencies)
          + f" ms after the request (worst {max(latencies):.0f} ms; goal: at most 100 ms)")
else:
    print(f"stop inside {label}: the search ended before the first request")
