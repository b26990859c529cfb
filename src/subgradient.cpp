#include "subgradient.hpp"

#include <cmath>
#include <cstdint>
#include <vector>

#include "clusters.hpp"
#include "kernels/beta_sort.hpp"
#include "kernels/vector_clones.hpp"
#include "multiplier_search.hpp"
#include "relaxation.hpp"
#include "report.hpp"

namespace pmedian {

namespace {

void initial_multipliers(State& s) {
    for (int i = 0; i < s.n; ++i) {
        float nearest = INF_DIST;
        for (int j = 0; j < s.n; ++j) {
            if (j != i && s.dist[i][j] < nearest) nearest = s.dist[i][j];
        }
        s.lambda[i] = nearest;
    }
}

// Turns the relaxation in place into a feasible solution in sv_node and
// improves it until its cost stops falling; returns the last lower cost.
float build_solution(State& s, const LoopHooks& hooks) {
    order_relaxation_fully(s);  // the arrangement follows the whole sort
    s.sv_node = s.node;
    float v = assign_clients(s);
    for (;;) {
        const float w = improve_clusters(s);
        if (!(w < v)) break;
        v = w;
    }
    return hooks.improve_solution ? hooks.improve_solution(s, v) : v;
}

// Every multiplier moved along its subgradient and kept from going below
// 0; written without a branch, so that it vectorises.
[[gnu::noinline]] VECTOR_CLONES void move_multipliers(const int* __restrict subg, float step, float* __restrict lambda,
                                                      int n) {
    for (int i = 0; i < n; ++i) {
        const float moved = float(double(subg[i]) * double(step) + double(lambda[i]));
        lambda[i] = moved < 0 ? 0.0f : moved;
    }
}

void update_multipliers(State& s, float pi) {
    const float norm = squared_norm(s.subg);
    const float step = float((double(s.best_ub) - double(s.bound)) * double(pi) / double(norm));
    move_multipliers(s.subg.data(), step, s.lambda.data(), s.n);
}

// The optimality rule: an upper bound within 1.0 of the lower bound.
bool gap_above_one(const State& s) { return double(s.best_ub) - double(s.best_lb) > 1.0; }

}  // namespace

// The squares are whole numbers, so while the whole sum stays below 2^24
// every partial sum is exact: the sum is then the integer one, added
// without a chain of roundings.
float squared_norm(const std::vector<int>& subg) {
    std::int64_t exact = 0;
    for (int g : subg) exact += std::int64_t(g) * g;
    if (exact < (std::int64_t(1) << 24)) return float(exact);
    float norm = 0;
    for (int g : subg) norm = float(double(norm) + double(g) * double(g));
    return norm;
}

int integer_part(float x) {
    // Out of the 64-bit range the conversion yields the integer indefinite
    // value 0x8000000000000000, as the hardware does; its low half is 0.
    const double wide = x;
    std::int64_t whole = INT64_MIN;
    if (wide > -9223372036854775808.0 && wide < 9223372036854775808.0) whole = static_cast<std::int64_t>(wide);
    return static_cast<std::int32_t>(static_cast<std::uint32_t>(static_cast<std::uint64_t>(whole)));
}

void compute_subgradient(State& s) {
    std::vector<int> serving;
    count_serving_medians(s, serving);
    s.subg_zero = 1;
    for (int i = 0; i < s.n; ++i) {
        s.subg[i] = 1 - serving[i];
        if (s.subg[i] != 0) s.subg_zero = 0;
    }
}

void subgradient_search(State& s, const LoopHooks& hooks) {
    float pi = 2.0f;
    int no_improve = 0;
    int same_t = 0;
    float last_t = 0;
    float t_start = 0.5f;
    const float start_step = 0.5f;
    bool best_written = false;
    int iteration = 0;

    do {
        ++iteration;
        ++no_improve;
        if (same_t < 5) {
            s.t = search_t(s, t_start, start_step);
            if (s.t == last_t) {
                ++same_t;
            } else {
                last_t = s.t;
                same_t = 1;
            }
        } else {
            relax(s);
        }

        if (s.bound > s.best_lb) {
            if (integer_part(s.bound) > integer_part(s.best_lb)) no_improve = 0;
            s.best_lb = s.bound;
            const float v = build_solution(s, hooks);
            if (v < s.best_ub) {
                s.best_ub = v;
                s.best = s.sv_node;
                best_written = true;
            }
        }

        if (no_improve >= 15) {
            pi = float(double(pi) / 2);
            no_improve = 0;
        }
        if (hooks.after_iteration) hooks.after_iteration(s, iteration, pi);
        compute_subgradient(s);
        if (s.subg_zero) break;
        update_multipliers(s, pi);
    } while (gap_above_one(s) && double(pi) >= 0.005 && !(hooks.should_stop && hooks.should_stop()));

    // A run that never recorded a solution still reports one: the one the
    // relaxation in place gives, so the report never shows placeholders.
    if (!best_written) {
        s.best_ub = build_solution(s, hooks);
        s.best = s.sv_node;
    }
}

void start_search(State& s) {
    initial_multipliers(s);
    s.best_ub = INF_DIST;
    s.best_lb = 0;
}

void solve(State& s) {
    start_search(s);
    subgradient_search(s);
    print_status(s.out, !gap_above_one(s));
    print_solution(s);
    release_problem(s);
}

}  // namespace pmedian
