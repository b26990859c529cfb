"""The Python module against enumeration, against the command line on the
same instance, on bad input, and under a time limit and Ctrl-C."""

import itertools
import json
import os
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

import numpy as np

import pmedian

CERTIFY = os.environ.get("PMEDIAN_CERTIFY_EXE", "pmedian-certify")
PMEDIAN = os.environ.get("PMEDIAN_EXE", "pmedian")


def enumerate_optimum(d, p, weights, allowed, fixed):
    """The least weighted cost over every set of p allowed sites holding the fixed ones."""
    best = np.inf
    candidates = [j for j in range(d.shape[1]) if allowed[j]]
    for chosen in itertools.combinations(candidates, p):
        if not all(f in chosen for f in fixed):
            continue
        best = min(best, float(np.dot(weights, d[:, list(chosen)].min(axis=1))))
    return best


class AgainstEnumeration(unittest.TestCase):
    def test_points_and_matrices_with_weights_sites_and_fixed_sites(self):
        rng = np.random.default_rng(7)
        for trial in range(40):
            n = 2 + trial % 9
            whole = trial % 2 == 0
            points = rng.integers(0, 40, size=(n, 2)).astype(float) / (1 if whole else 7)
            weights = rng.integers(0, 6, size=n).astype(float)
            mask = rng.random(n) < 0.8
            mask[0] = True
            fixed = [int(rng.choice(np.flatnonzero(mask)))] if trial % 3 == 0 else []
            p = int(rng.integers(max(1, len(fixed)), mask.sum() + 1))
            kind = "floor" if whole else "euclidean"
            with self.subTest(trial=trial):
                result = pmedian.solve(p, points=points, weights=weights, sites=mask, fixed=fixed, distance=kind)
                d = np.hypot(*(points[:, None, :] - points[None, :, :]).transpose(2, 0, 1))
                if whole:
                    d = np.floor(d)
                best = enumerate_optimum(d, p, weights, mask, fixed)
                self.assertEqual(result.status, "optimal")
                self.assertEqual(len(result.medians), p)
                self.assertTrue(all(mask[m] for m in result.medians))
                self.assertTrue(all(f in result.medians for f in fixed))
                self.assertAlmostEqual(result.cost, best, delta=1e-6 * (1 + best))
                self.assertLessEqual(result.lower_bound, result.cost)
                # The same as a matrix, clients apart from sites.
                rect = pmedian.solve(p, distances=d[:, mask], weights=weights,
                                     fixed=[int(np.sum(mask[:f])) for f in fixed])
                self.assertAlmostEqual(rect.cost, best, delta=1e-6 * (1 + best))


class AgainstTheCommandLine(unittest.TestCase):
    def test_the_same_points_give_the_same_cost_and_bound(self):
        rng = np.random.default_rng(3)
        points = rng.random((300, 2)) * 1000
        weights = rng.integers(1, 10, size=300)
        with tempfile.TemporaryDirectory() as work:
            table = os.path.join(work, "points.csv")
            with open(table, "w") as out:
                out.write("x,y,weight\n")
                for (x, y), w in zip(points, weights):
                    out.write(f"{x!r},{y!r},{w}\n")
            run = subprocess.run([CERTIFY, "--points", table, "-p", "8", "--json", "--quiet"],
                                 capture_output=True, text=True, check=True)
        cli = json.loads(run.stdout)
        result = pmedian.solve(8, points=points, weights=weights)
        self.assertEqual(result.status, "optimal")
        self.assertEqual(cli["status"], "optimal")
        self.assertAlmostEqual(result.cost, cli["cost"], delta=1e-6 * cli["cost"])

    def test_heuristic_prints_what_pmedian_prints(self):
        rng = np.random.default_rng(5)
        n = 40
        upper = np.triu(rng.integers(1, 100, size=(n, n)).astype(float), 1)
        d = upper + upper.T
        with tempfile.TemporaryDirectory() as work:
            with open(os.path.join(work, "facloc.dat"), "w") as out:
                out.write(f"{n} 4\n")
                for i in range(n - 1):
                    out.write(" ".join(str(int(v)) for v in d[i, i + 1:]) + "\n")
            run = subprocess.run([PMEDIAN], cwd=work, capture_output=True, text=True)
        result = pmedian.heuristic(d, 4)
        self.assertEqual(run.stdout[run.stdout.index("Status:"):].rstrip("\n"), result.report.rstrip("\n"))
        self.assertEqual(len(result.medians), 4)
        self.assertEqual(result.total, float(run.stdout.split("Custo da solucao =")[1]))


class BadInput(unittest.TestCase):
    def test_errors_carry_the_command_lines_messages(self):
        points = np.array([[0.0, 0.0], [1.0, 1.0], [2.0, 2.0]])
        with tempfile.TemporaryDirectory() as work:
            table = os.path.join(work, "three.csv")
            np.savetxt(table, points)
            run = subprocess.run([CERTIFY, "--points", table, "-p", "4"], capture_output=True, text=True)
        self.assertEqual(run.returncode, 1)
        with self.assertRaises(ValueError) as raised:
            pmedian.solve(4, points=points)
        self.assertEqual(run.stderr.strip(), "pmedian-certify: " + str(raised.exception))
        for call, message in [
            (lambda: pmedian.solve(1, points=points, weights=[1, 2]), "2 weights for 3 clients"),
            (lambda: pmedian.solve(1, points=points, sites=[5]), "site 5 is not from 0 to 2"),
            (lambda: pmedian.solve(1, points=points, weights=[1, -1, 1]), "a weight must be a finite number >= 0"),
            (lambda: pmedian.solve(1, points=points, distance="manhattan"), "distance is euclidean"),
            (lambda: pmedian.solve(1), "give either points or distances"),
            (lambda: pmedian.solve(1, distances=[[0, -1], [1, 0]]), "must lie in [0, 9.99e10)"),
            (lambda: pmedian.solve(1, points=points, sites=[True, False]), "sites as a mask needs 3 entries"),
        ]:
            with self.subTest(message=message):
                with self.assertRaises(ValueError) as raised:
                    call()
                self.assertIn(message, str(raised.exception))


class Stops(unittest.TestCase):
    def setUp(self):
        self.points = np.random.default_rng(11).random((1500, 2))

    def test_a_time_limit_returns_the_best_so_far(self):
        result = pmedian.solve(30, points=self.points, time_limit=0)
        self.assertEqual(result.status, "time limit")
        self.assertEqual(len(result.medians), 30)
        self.assertEqual(len(result.assignment), 1500)

    def test_without_time_the_answer_is_the_start_or_better(self):
        start = np.arange(0, 1500, 50)
        result = pmedian.solve(30, points=self.points, time_limit=0, start=start)
        gaps = self.points[:, None, :] - self.points[None, start, :]
        start_cost = np.sqrt((gaps ** 2).sum(axis=2)).min(axis=1).sum()
        self.assertLessEqual(result.cost, start_cost * (1 + 1e-9))
        mask = np.zeros(1500, dtype=bool)
        mask[start] = True
        self.assertEqual(pmedian.solve(30, points=self.points, time_limit=0, start=mask).cost, result.cost)
        with self.assertRaisesRegex(ValueError, "the start opens 2 sites, not p = 30"):
            pmedian.solve(30, points=self.points, start=[0, 1])

    def test_the_solve_lets_other_threads_run_and_ctrl_c_stops_it(self):
        ticks = []
        running = threading.Event()
        running.set()

        def count():
            while running.is_set():
                ticks.append(1)
                time.sleep(0.01)

        counter = threading.Thread(target=count)
        counter.start()
        threading.Timer(0.5, lambda: os.kill(os.getpid(), signal.SIGINT)).start()
        start = time.monotonic()
        try:
            with self.assertRaises(KeyboardInterrupt):
                pmedian.solve(60, points=np.random.default_rng(2).random((3000, 2)))
        finally:
            running.clear()
            counter.join()
        self.assertLess(time.monotonic() - start, 10)
        self.assertGreater(len(ticks), 20)
        # The module still works afterwards.
        self.assertEqual(pmedian.solve(2, points=self.points[:20]).status, "optimal")


class Example(unittest.TestCase):
    def test_the_towns_script_draws_its_map(self):
        here = os.path.dirname(os.path.abspath(__file__))
        root = os.path.dirname(os.path.dirname(here))
        with tempfile.TemporaryDirectory() as work:
            image = os.path.join(work, "towns.png")
            run = subprocess.run([sys.executable, os.path.join(root, "examples", "python", "towns_map.py"),
                                  os.path.join(root, "examples", "towns", "towns.csv"), "6", image],
                                 capture_output=True, text=True, env=dict(os.environ, MPLBACKEND="Agg"))
            self.assertEqual(run.returncode, 0, run.stderr)
            self.assertTrue(run.stdout.startswith("optimal: cost 305044.56"), run.stdout)
            with open(image, "rb") as png:
                self.assertEqual(png.read(8), b"\x89PNG\r\n\x1a\n")


if __name__ == "__main__":
    unittest.main()
