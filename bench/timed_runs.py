#!/usr/bin/env python3
"""Two builds of pmedian run one after the other, timed without a shell.

    bench/timed_runs.py ROUNDS EXE_A EXE_B DIR...

In each DIR, where facloc.dat is, runs A then B, ROUNDS times over; each
run's output goes to DIR/out-a or DIR/out-b. Prints a line per DIR: the
shortest wall time of A and of B in seconds, from the start of the process
to the end of its wait.
A shell between the timer and the program would add a fork of itself,
about a millisecond, to every run: more than a third of the shortest ones.
"""
import os
import sys
import time


def timed_run(exe, directory, out):
    """Wall seconds of one run of exe in directory."""
    os.chdir(directory)
    output = os.open(out, os.O_WRONLY | os.O_CREAT | os.O_TRUNC, 0o644)
    start = time.perf_counter()
    # Spawned, not forked: a fork copies this interpreter's page tables
    # within the time measured.
    pid = os.posix_spawn(exe, [exe], os.environ, file_actions=[(os.POSIX_SPAWN_DUP2, output, 1)])
    os.waitpid(pid, 0)
    seconds = time.perf_counter() - start
    os.close(output)
    return seconds


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__.strip().splitlines()[2].strip())
    rounds = int(sys.argv[1])
    a, b = (os.path.abspath(x) for x in sys.argv[2:4])
    for directory in (os.path.abspath(x) for x in sys.argv[4:]):
        best = {a: float("inf"), b: float("inf")}
        for _ in range(rounds):
            for exe, out in ((a, "out-a"), (b, "out-b")):
                best[exe] = min(best[exe], timed_run(exe, directory, out))
        print(f"{best[a]:.6f} {best[b]:.6f}")


if __name__ == "__main__":
    main()
