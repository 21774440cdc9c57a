#!/usr/bin/env python3
"""Times commands: bench_time.py RUNS LABEL -- CMD... [--- LABEL -- CMD...]. Prints the median wall
time of each and each one's ratio to the first."""
import statistics
import subprocess
import sys
import time


def main(argv):
    runs = int(argv[0])
    groups, current = [], None
    for arg in argv[1:]:
        if arg == "---":
            current = None
        elif current is None:
            current = [arg, []]
            groups.append(current)
        elif arg == "--" and not current[1]:
            continue
        else:
            current[1].append(arg)
    results = []
    for label, cmd in groups:
        times = []
        for _ in range(runs):
            start = time.perf_counter()
            subprocess.run(cmd, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            times.append(time.perf_counter() - start)
        results.append((label, statistics.median(times)))
    base = results[0][1]
    for label, median in results:
        print(f"  {label:<40} median {median * 1000:9.1f} ms   ratio to first {median / base:6.2f}")


if __name__ == "__main__":
    main(sys.argv[1:])
