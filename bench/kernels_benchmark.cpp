// The solver's kernels, straightforward against fast, on one random
// Euclidean instance with whole-number and with real distances.
#include <benchmark/benchmark.h>

#include <cmath>
#include <random>
#include <vector>

#include "clusters.hpp"
#include "problem.hpp"
#include "relaxation.hpp"

namespace {

using pmedian::State;

// n random points in a square, p medians, lambda at each node's nearest
// distance and t = 1, as at the start of a run; sv_node from a relaxation.
State make_instance(int n, int p, bool whole) {
    std::mt19937 rng(7);
    std::uniform_real_distribution<double> coordinate(0, 1000);
    std::vector<std::pair<double, double>> points(static_cast<std::size_t>(n));
    for (auto& [x, y] : points) {
        x = coordinate(rng);
        y = coordinate(rng);
    }
    State s;
    s.n = n;
    s.p = p;
    pmedian::allocate_problem(s);
    for (int i = 0; i < n; ++i) {
        for (int j = 0; j < n; ++j) {
            const double d = std::hypot(points[i].first - points[j].first, points[i].second - points[j].second);
            s.dist[i][j] = whole ? float(std::floor(d + 0.5)) : float(d);
        }
    }
    for (int i = 0; i < n; ++i) {
        float nearest = pmedian::INF_DIST;
        for (int j = 0; j < n; ++j) {
            if (j != i && s.dist[i][j] < nearest) nearest = s.dist[i][j];
        }
        s.lambda[i] = nearest * 3;
    }
    s.t = 1.0f;
    pmedian::straightforward::relax(s);
    s.sv_node = s.node;
    return s;
}

State& instance(bool whole) {
    static State whole_instance = make_instance(3000, 30, true);
    static State real_instance = make_instance(3000, 30, false);
    return whole ? whole_instance : real_instance;
}

template <void (*Relax)(State&)>
void relax_benchmark(benchmark::State& state) {
    State& s = instance(state.range(0) != 0);
    for (auto _ : state) {
        Relax(s);
        benchmark::DoNotOptimize(s.bound);
    }
}

template <float (*Assign)(State&)>
void assign_benchmark(benchmark::State& state) {
    State& s = instance(state.range(0) != 0);
    for (auto _ : state) benchmark::DoNotOptimize(Assign(s));
}

// One improvement step from the relaxation's medians: assign, then sweep.
template <float (*Assign)(State&), float (*Improve)(State&)>
void improve_benchmark(benchmark::State& state) {
    State& s = instance(state.range(0) != 0);
    const std::vector<int> start = s.node;
    for (auto _ : state) {
        s.sv_node = start;
        Assign(s);
        benchmark::DoNotOptimize(Improve(s));
        benchmark::DoNotOptimize(Improve(s));
    }
}

BENCHMARK(relax_benchmark<pmedian::straightforward::relax>)->Name("relax/straightforward")->Arg(1)->Arg(0);
BENCHMARK(relax_benchmark<pmedian::relax>)->Name("relax/fast")->Arg(1)->Arg(0);
BENCHMARK(assign_benchmark<pmedian::straightforward::assign_clients>)
    ->Name("assign_clients/straightforward")
    ->Arg(1)
    ->Arg(0);
BENCHMARK(assign_benchmark<pmedian::assign_clients>)->Name("assign_clients/fast")->Arg(1)->Arg(0);
BENCHMARK(improve_benchmark<pmedian::straightforward::assign_clients, pmedian::straightforward::improve_clusters>)
    ->Name("improve_clusters/straightforward")
    ->Arg(1)
    ->Arg(0);
BENCHMARK(improve_benchmark<pmedian::assign_clients, pmedian::improve_clusters>)
    ->Name("improve_clusters/fast")
    ->Arg(1)
    ->Arg(0);

}  // namespace

BENCHMARK_MAIN();
