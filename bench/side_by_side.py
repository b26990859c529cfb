#!/usr/bin/env python3
"""Two builds of pmedian on one instance, side by side in time.

    bench/side_by_side.py EXE_A EXE_B DIR [ROUNDS]

Each round runs A and B at the same moment, one on each core (they swap
cores every round), in DIR, where facloc.dat is, and takes each one's user
and system time. The machine is shared and its speed drifts within minutes;
two runs at the same moment see the same drift, so the ratio of their times
varies far less than the times. Prints the minima and the median of B/A
with its quartiles. Needs two cores (Linux).
"""
import os
import sys


def start(exe, directory, cpu, devnull):
    pid = os.fork()
    if pid == 0:
        os.sched_setaffinity(0, {cpu})
        os.chdir(directory)
        os.dup2(devnull, 1)
        os.execv(exe, [exe])
    return pid


def main():
    if len(sys.argv) not in (4, 5):
        sys.exit(__doc__.strip().splitlines()[2].strip())
    a, b, directory = (os.path.abspath(x) for x in sys.argv[1:4])
    rounds = int(sys.argv[4]) if len(sys.argv) == 5 else 20
    devnull = os.open(os.devnull, os.O_WRONLY)
    times = {a: [], b: []}
    for r in range(rounds):
        cores = (0, 1) if r % 2 == 0 else (1, 0)
        pids = {start(a, directory, cores[0], devnull): a, start(b, directory, cores[1], devnull): b}
        for _ in range(2):
            pid, _, usage = os.wait4(-1, 0)
            times[pids[pid]].append(usage.ru_utime + usage.ru_stime)
    ratios = sorted(y / x for x, y in zip(times[a], times[b]))
    quarter = len(ratios) // 4
    print(f"A min {min(times[a]) * 1000:.2f} ms, B min {min(times[b]) * 1000:.2f} ms; "
          f"B/A median {ratios[len(ratios) // 2]:.3f} (quartiles {ratios[quarter]:.3f}, "
          f"{ratios[len(ratios) - 1 - quarter]:.3f})")


if __name__ == "__main__":
    main()
