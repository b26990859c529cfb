"""The p-median problem solved with a proof: choose p sites so that the
weighted sum of each client's distance to its nearest open site is least.

    >>> import numpy as np, pmedian
    >>> points = np.random.default_rng(1).random((200, 2))
    >>> result = pmedian.solve(5, points=points)
    >>> result.status, result.medians
"""

import numpy as np

from . import _core

__all__ = ["solve", "heuristic", "Result", "HeuristicResult"]

DISTANCES = ("euclidean", "floor", "nint", "haversine")


class Result:
    """A solution and its proof: medians (the open sites, ascending),
    assignment (per client, its site), cost (weighted), lower_bound
    (verified), gap, status ("optimal", "time limit", "stopped" or
    "search exhausted"), nodes and iterations of the search, seconds."""

    def __init__(self, fields):
        self.medians = fields["medians"]
        self.assignment = fields["assignment"]
        self.cost = fields["cost"]
        self.lower_bound = fields["lower_bound"]
        self.gap = fields["gap"]
        self.status = fields["status"]
        self.nodes = fields["nodes"]
        self.iterations = fields["iterations"]
        self.seconds = fields["seconds"]

    def __repr__(self):
        return (f"Result(status={self.status!r}, cost={self.cost!r}, lower_bound={self.lower_bound!r}, "
                f"medians={self.medians.tolist()!r})")


class HeuristicResult:
    """pmedian's report as data: status ("optimal" when within 1.0 of its
    own bound, else "not optimal"), medians, assignment (per node, its
    median), total (to hundredths) and report (the text it prints)."""

    def __init__(self, fields):
        self.status = fields["status"]
        self.medians = fields["medians"]
        self.assignment = fields["assignment"]
        self.total = fields["total"]
        self.report = fields["report"]

    def __repr__(self):
        return f"HeuristicResult(status={self.status!r}, total={self.total!r}, medians={self.medians.tolist()!r})"


def _indices(given, count, name):
    """Index arrays as they are; boolean masks as the indices they select."""
    if given is None:
        return None
    array = np.asarray(given)
    if array.dtype == bool:
        if array.shape != (count,):
            raise ValueError(f"{name} as a mask needs {count} entries, not {array.shape}")
        return np.flatnonzero(array).astype(np.intc)
    if array.size and not np.issubdtype(array.dtype, np.integer):
        raise ValueError(f"{name} must be indices or a boolean mask")
    return array.astype(np.intc).ravel()


def solve(p, points=None, distances=None, *, weights=None, sites=None, fixed=None, distance="euclidean",
          time_limit=None, rel_gap=None, progress=False, start=None):
    """Opens p sites for the clients and proves the solution optimal, or
    returns the best solution and a verified lower bound when time_limit
    (seconds) passes.

    points: an (n, d) array, every point a client and a candidate site, at
    distances of the kind named by distance ("euclidean", "floor", "nint",
    or "haversine" for (latitude, longitude) rows in degrees, in km).
    distances: instead, an (n, n) array (symmetric with a zero diagonal: n
    nodes, each a client and a site) or a (clients, sites) array.
    weights: per client, at least 0. sites: the candidate sites, indices or
    a boolean mask (default all). fixed: sites open in every solution,
    among the p. rel_gap: the relative gap that proves a solution when the
    costs are not whole numbers (default 1e-6). progress: a line on
    standard error about once a second. start: a solution to start from, p
    sites (indices or a mask) with the fixed ones among them, such as the
    medians of an earlier result.

    Bad input raises ValueError with the command line's message; Ctrl-C
    stops the search (KeyboardInterrupt)."""
    if (points is None) == (distances is None):
        raise ValueError("give either points or distances")
    if distance not in DISTANCES:
        raise ValueError(f"distance is euclidean, floor, nint or haversine, not {distance!r}")
    weights = None if weights is None else np.asarray(weights, dtype=float).ravel().tolist()
    if points is not None:
        points = np.asarray(points, dtype=float)
        if points.ndim != 2:
            raise ValueError("points must be an (n, d) array")
        count = points.shape[0]
        fields = _core.solve_points(points, int(p), distance, weights, _indices(sites, count, "sites"),
                                    _indices(fixed, count, "fixed"), _indices(start, count, "start"), time_limit,
                                    rel_gap, bool(progress))
    else:
        distances = np.asarray(distances, dtype=float)
        if distances.ndim != 2:
            raise ValueError("distances must be a (clients, sites) array")
        count = distances.shape[1]
        fields = _core.solve_matrix(distances, int(p), weights, _indices(sites, count, "sites"),
                                    _indices(fixed, count, "fixed"), _indices(start, count, "start"), time_limit,
                                    rel_gap, bool(progress))
    return Result(fields)


def heuristic(distances, p):
    """pmedian's Lagrangean/surrogate heuristic on a symmetric (n, n) array
    of distances (its upper triangle is read), with its report as data."""
    return HeuristicResult(_core.heuristic(np.asarray(distances, dtype=float), int(p)))
