#!/usr/bin/env python3
"""Solves TSPLIB instances with pmedian-certify and with the Python module
in turn, and prints both costs, both times and their ratio.

    PYTHONPATH=build/python /usr/bin/python3 bench/python_vs_cli.py [DIR] [FILE:P ...]

DIR defaults to ../shared/tsplib; the instances to rl1304 and fl1400 at a
few p. The command line's time is the whole process (reading the file,
computing distances, solving); Python's is the call, after numpy has read
the coordinates."""

import json
import os
import subprocess
import sys
import time

import numpy as np

import pmedian

HERE = os.path.dirname(os.path.abspath(__file__))
CERTIFY = os.environ.get("PMEDIAN_CERTIFY_EXE", os.path.join(HERE, "..", "build", "pmedian-certify"))


def coordinates(path):
    rows = []
    with open(path) as tsp:
        inside = False
        for line in tsp:
            words = line.split()
            if not words:
                continue
            if words[0] == "NODE_COORD_SECTION":
                inside = True
            elif words[0] == "EOF":
                break
            elif inside:
                rows.append((float(words[1]), float(words[2])))
    return np.array(rows)


def main():
    directory = sys.argv[1] if len(sys.argv) > 1 else os.path.join(HERE, "..", "..", "shared", "tsplib")
    cases = sys.argv[2:] or ["rl1304.tsp:10", "rl1304.tsp:100", "fl1400.tsp:20", "fl1400.tsp:100"]
    print("| instance | p | command line cost | s | Python cost | s | Python / command line |")
    print("|---|---:|---:|---:|---:|---:|---:|")
    for case in cases:
        name, p = case.split(":")
        path = os.path.join(directory, name)
        start = time.monotonic()
        run = subprocess.run([CERTIFY, "--tsplib", path, "-p", p, "--json", "--quiet"], capture_output=True,
                             text=True, check=True)
        cli_seconds = time.monotonic() - start
        cli = json.loads(run.stdout)
        points = coordinates(path)
        start = time.monotonic()
        result = pmedian.solve(int(p), points=points, distance="floor")
        python_seconds = time.monotonic() - start
        print(f"| {name} | {p} | {cli['cost']:g} | {cli_seconds:.2f} | {result.cost:g} | {python_seconds:.2f} | "
              f"{python_seconds / cli_seconds:.2f} |")


if __name__ == "__main__":
    main()
