// Random instances for the tests, drawn the same way everywhere.
#pragma once

#include <random>
#include <string>
#include <vector>

#include "problem.hpp"

namespace pmedian::testing {

// The kinds of distances an instance is drawn with.
enum class Distances {
    whole,            // whole numbers 0 .. 999
    fractional,       // uniform in [0, 100)
    tied,             // 0, 1 or 2: many equal sums
    tied_fractional,  // 0.1 to 0.4 in tenths: sums equal or nearly, told apart only by their rounding
};

// The n(n-1)/2 distances of an upper triangle, row by row.
std::vector<float> random_triangle(int n, Distances kind, std::mt19937& rng);

// A state of n nodes and p medians with every array allocated and random
// distances.
State random_state(int n, int p, Distances kind, std::mt19937& rng);

// n points uniform in a 1000 x 1000 square, at Euclidean distances rounded
// to whole numbers or not: clusters of neighbours, as in located facilities.
State random_points_state(int n, int p, bool whole, std::mt19937& rng);

// A random instance as a test names it, drawn from its own seed: n nodes
// and p medians at distances of the given kind, or, with points set,
// points in a square at whole (kind whole) or real distances.
struct RandomInstance {
    int n;
    int p;
    Distances kind;
    unsigned seed;
    bool points = false;
};
State random_state(const RandomInstance& in, std::mt19937& rng);
std::string label(const RandomInstance& in);

}  // namespace pmedian::testing
