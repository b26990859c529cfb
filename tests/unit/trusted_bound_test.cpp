// The bound certify stakes its proofs on: the relaxation's value in double
// agrees with the solver's float one, and never passes any solution's cost.
#include "certify/trusted_bound.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "certify/swap_search.hpp"
#include "enumeration.hpp"
#include "kernels/whole_distances.hpp"
#include "random_instance.hpp"
#include "relaxation.hpp"
#include "state_builder.hpp"

namespace pmedian {
namespace {

TEST(LagrangeanBound, MatchesTheLoopsFloatRelaxationAndStaysBelowEverySolution) {
    std::mt19937 rng(11);
    for (int n : {1, 3, 7, 12}) {
        for (int p : {1, (n + 1) / 2, n}) {
            SCOPED_TRACE("n=" + std::to_string(n) + " p=" + std::to_string(p));
            State s = testing::random_state(n, p, testing::Distances::fractional, rng);
            for (int trial = 0; trial < 20; ++trial) {
                for (float& l : s.lambda) l = float(rng() % 60);
                s.t = 0.25f * float(1 + rng() % 8);
                relax(s);
                std::vector<double> multipliers(static_cast<std::size_t>(n));
                for (int j = 0; j < n; ++j) multipliers[j] = double(s.t) * double(s.lambda[j]);
                const double value = lagrangean_bound(testing::network_of(s), multipliers).value;
                EXPECT_NEAR(value, double(s.bound), 1e-4 * (1 + std::abs(double(s.bound))));
                // Any p medians, here the first p after a shuffle, cost at least the bound.
                std::vector<int> nodes(n);
                for (int v = 0; v < n; ++v) nodes[v] = v;
                std::shuffle(nodes.begin(), nodes.end(), rng);
                const std::vector<int> medians(nodes.begin(), nodes.begin() + p);
                EXPECT_LE(value, assignment_cost(s.dist, n, medians) + 1e-9);
            }
        }
    }
}

// With sites fixed open or closed, the bound never passes the best
// solution the fixings allow; and the bounds the search fixes sites by (one
// more site opened, or one of the opened ones closed) never pass the best
// solution with that site open, or closed.
TEST(LagrangeanBound, NeverPassesTheBestSolutionItsFixingsAllow) {
    std::mt19937 rng(13);
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 1 + int(rng() % 8);
        const int p = 1 + int(rng() % n);
        SCOPED_TRACE("trial=" + std::to_string(trial) + " n=" + std::to_string(n) + " p=" + std::to_string(p));
        const auto kind = trial % 3 == 0   ? testing::Distances::whole
                          : trial % 3 == 1 ? testing::Distances::tied
                                           : testing::Distances::fractional;
        State s = testing::random_state(n, p, kind, rng);
        std::vector<double> lambda(static_cast<std::size_t>(n));
        for (double& l : lambda) l = double(rng() % 1200) * (trial % 2 ? 1.0 : 0.37);
        Fixings fixed(static_cast<std::size_t>(n), -1);
        for (auto& f : fixed) f = rng() % 4 == 0 ? static_cast<signed char>(rng() % 2) : -1;
        const LagrangeanBound bound = lagrangean_bound(testing::network_of(s), lambda, fixed);
        EXPECT_LE(bound.value, testing::enumerated_optimum(s, fixed));
        // Along the candidate lists, the same bound to its rounding.
        build_candidate_lists(s);
        const LagrangeanBound listed = lagrangean_bound(testing::network_of(s), lambda, fixed, &s.caches.candidates);
        EXPECT_LE(listed.value, testing::enumerated_optimum(s, fixed));
        if (bound.value < 1e300) {
            EXPECT_NEAR(listed.value, bound.value, 4 * bound.rounding + 1e-9);
        }
        for (int j = 0; j < n; ++j) {
            if (fixed[j] != -1) continue;
            Fixings one = fixed;
            if (!bound.opened[j] && bound.last_opened > -1e300) {
                one[j] = 1;
                EXPECT_LE(bound.value + bound.reduced[j] - bound.last_opened - 4 * bound.rounding,
                          testing::enumerated_optimum(s, one) + 1e-9)
                    << "site " << j << " opened";
            } else if (bound.opened[j] && bound.next_free < 1e300) {
                one[j] = 0;
                EXPECT_LE(bound.value - bound.reduced[j] + bound.next_free - 4 * bound.rounding,
                          testing::enumerated_optimum(s, one) + 1e-9)
                    << "site " << j << " closed";
            }
        }
    }
}

// What the search eliminates client-site pairs by: every solution the
// fixings allow serves each client i within lambda_i + its cost - the bound.
TEST(LagrangeanBound, EverySolutionServesEachClientWithinItsMultiplierAndTheGap) {
    std::mt19937 rng(17);
    for (int trial = 0; trial < 200; ++trial) {
        const int n = 2 + int(rng() % 7);
        const int p = 1 + int(rng() % (n - 1));
        SCOPED_TRACE("trial=" + std::to_string(trial));
        State s = testing::random_state(
            n, p, trial % 2 ? testing::Distances::whole : testing::Distances::tied_fractional, rng);
        std::vector<double> lambda(static_cast<std::size_t>(n));
        for (double& l : lambda) l = double(rng() % 1500) * 0.7;
        Fixings fixed(static_cast<std::size_t>(n), -1);
        for (auto& f : fixed) f = rng() % 5 == 0 ? static_cast<signed char>(rng() % 2) : -1;
        const double bound = lagrangean_bound(testing::network_of(s), lambda, fixed).value;
        // Every set of p sites the fixings allow.
        for (unsigned mask = 0; mask < (1u << n); ++mask) {
            std::vector<int> medians;
            bool allowed = true;
            for (int j = 0; j < n; ++j) {
                const bool open = (mask >> j) & 1;
                if (open) medians.push_back(j);
                if (fixed[j] != -1 && fixed[j] != int(open)) allowed = false;
            }
            if (!allowed || int(medians.size()) != p) continue;
            const double cost = assignment_cost(s.dist, n, medians);
            for (int i = 0; i < n; ++i) {
                const float served = nearest_median(s.dist[i], medians.data(), p).distance;
                EXPECT_LE(double(served), lambda[i] + cost - bound + 1e-9) << "client " << i;
            }
        }
    }
}

TEST(AllDistancesWhole, TellsWholeFromFractional) {
    EXPECT_TRUE(all_distances_whole(testing::make_state(3, 1, {1, 2, 40000000}).dist, 3));
    EXPECT_FALSE(all_distances_whole(testing::make_state(3, 1, {1, 2.5f, 3}).dist, 3));
    EXPECT_TRUE(all_distances_whole(testing::make_state(1, 1, {}).dist, 1));
}

float largest_of(std::vector<float> triangle) {
    return largest_whole_distance(testing::make_state(3, 1, triangle).dist, 3);
}

TEST(LargestWholeDistance, ReadsEveryBitBelowThePoint) {
    // Whole at every magnitude, beyond an int's range too; the largest wins.
    EXPECT_EQ(largest_of({0, 8388607, 3e9f}), 3e9f);
    EXPECT_EQ(largest_of({1, 16777216, 2}), 16777216.0f);
    // A fraction in the last mantissa bit, below 1, or in a subnormal.
    EXPECT_EQ(largest_of({1, 8388607.5f, 2}), -1);
    EXPECT_EQ(largest_of({1, 0.75f, 2}), -1);
    EXPECT_EQ(largest_of({1, 1e-40f, 2}), -1);
    EXPECT_EQ(largest_of({1, std::numeric_limits<float>::quiet_NaN(), 2}), -1);
    // A fraction in the last row read, after whole rows.
    State s = testing::make_state(40, 1, std::vector<float>(780, 5.0f));
    s.dist[39][38] = 5.5f;
    EXPECT_EQ(largest_whole_distance(s.dist, 40), -1);
    s.dist[39][38] = 9.0f;
    EXPECT_EQ(largest_whole_distance(s.dist, 40), 9.0f);
}

}  // namespace
}  // namespace pmedian
