"""Solves a table of towns with pmedian and draws the depots on a map.

    python3 examples/python/towns_map.py examples/towns/towns.csv 6 towns.png

The CSV's header names x, y, weight, role (client, site or both), fixed
and id, as pmedian-certify --points reads it."""

import sys

import matplotlib

matplotlib.use("Agg")  # no display needed
import matplotlib.pyplot as plt
import numpy as np

import pmedian


def main(table_path, p, image_path):
    table = np.genfromtxt(table_path, delimiter=",", names=True, dtype=None, encoding="utf-8")
    points = np.column_stack([table["x"], table["y"]]).astype(float)
    roles = table["role"]
    weights = np.where(roles == "site", 0.0, table["weight"].astype(float))
    sites = roles != "client"
    fixed = np.flatnonzero(table["fixed"] == 1)

    result = pmedian.solve(p, points=points, weights=weights, sites=sites, fixed=fixed)
    print(f"{result.status}: cost {result.cost:.2f}, bound {result.lower_bound:.2f}, depots "
          + ", ".join(table["id"][result.medians]))

    figure, axes = plt.subplots(figsize=(7, 7))
    clients = weights > 0
    for k, m in enumerate(result.medians):
        members = np.flatnonzero((result.assignment == m) & clients)
        colour = plt.cm.tab10(k % 10)
        for i in members:
            axes.plot([points[i, 0], points[m, 0]], [points[i, 1], points[m, 1]], color=colour, linewidth=0.8)
        axes.scatter(points[members, 0], points[members, 1], s=10 + weights[members] / 50, color=colour)
        axes.scatter(*points[m], marker="s", s=120, color=colour, edgecolor="black",
                     linewidth=3 if m in fixed else 1.5, zorder=3)
    closed = np.setdiff1d(np.flatnonzero(sites & ~clients), result.medians)
    axes.scatter(points[closed, 0], points[closed, 1], marker="s", s=60, facecolor="white", edgecolor="gray")
    axes.set_aspect("equal")
    axes.set_xlabel("x")
    axes.set_ylabel("y")
    axes.set_title(f"p = {p}: cost {result.cost:.0f}, bound {result.lower_bound:.0f}, {result.status}")
    figure.savefig(image_path, dpi=100)


if __name__ == "__main__":
    if len(sys.argv) != 4:
        sys.exit("usage: towns_map.py TABLE.csv P IMAGE.png")
    main(sys.argv[1], int(sys.argv[2]), sys.argv[3])
