// The instance and every working array the solver shares, created once by
// load_problem and released by release_problem.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "kernels/caches.hpp"
#include "kernels/square_matrix.hpp"
#include "kernels/tuning.hpp"

namespace pmedian {

class TokenReader;

// Sentinel distance: starts every nearest-node scan and the upper bound.
inline constexpr float INF_DIST = 9.99e10f;

struct Cluster {
    int median = 0;
    int size = 0;
    std::vector<int> members;  // capacity n - p, filled up to size
    float cost = 0;
};

// Which kernels the operations run: the fast paths, or the rules written
// line by line, the yardstick every fast path must match byte for byte.
enum class Kernels { fast, straightforward };

// The solver's state; every operation receives it.
struct State {
    // The instance.
    int n = 0;
    int p = 0;
    DistMatrix dist;

    // The relaxation: multipliers, reduced costs and their order, bound.
    float t = 0;
    std::vector<float> lambda;
    std::vector<float> beta;
    std::vector<int> node;
    float bound = 0;
    std::vector<float> sv_beta;  // saved by the multiplier search
    std::vector<int> subg;
    int subg_zero = 0;

    // The bounds, the incumbent and the working solution.
    float best_lb = 0;
    float best_ub = 0;
    std::vector<int> best;
    std::vector<int> sv_node;
    std::vector<Cluster> vc;

    // How the operations run.
    Kernels kernels = Kernels::fast;
    Tuning tuning;     // the thresholds between the fast paths
    PathsTaken taken;  // which of them ran
    Caches caches;
    std::FILE* out = stdout;  // where the status line and the report go
};

// The nearest of the medians medians[0 .. count-1] to a node, read in the
// node's row (the matrix is symmetric): the first of equal ones, by a scan
// from INF_DIST with a strict comparison.
struct NearestMedian {
    int position = 0;
    float distance = INF_DIST;
};
inline NearestMedian nearest_median(const float* row, const int* medians, int count) {
    NearestMedian nearest;
    for (int c = 0; c < count; ++c) {
        const float d = row[medians[c]];
        if (d < nearest.distance) {
            nearest.distance = d;
            nearest.position = c;
        }
    }
    return nearest;
}

// A condition that ends the run: its message is printed as it stands and
// the process exits with status 1.
struct Fatal {
    std::string message;
};

// A message with up to two int arguments, printf-style.
std::string format_message(const char* format, int a, int b = 0);

// The message of an allocation that failed: "Memoria insuficiente para"
// the array and its size, as name[a] or name[a][b].
std::string out_of_memory(const char* name, int a);
std::string out_of_memory(const char* name, int a, int b);

// Copies the upper triangle of dist onto the lower one.
void mirror_upper_triangle(DistMatrix& dist, int n);

// Checks the size, allocates every array and reads the upper triangle from in.
void load_problem(State& s, TokenReader& in);
void release_problem(State& s);

// Allocates every array for n nodes and p medians (1 <= p <= n), zero-filled;
// distances of n nodes already in s.dist stay.
void allocate_problem(State& s);

}  // namespace pmedian
