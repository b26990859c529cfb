// The swap search against brute force: it never raises the cost, reports
// the cost of the medians it leaves, and leaves no exchange that pays.
#include "certify/swap_search.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "random_instance.hpp"
#include "relaxation.hpp"

namespace pmedian {
namespace {

State random_instance(int n, int p, bool whole, std::mt19937& rng) {
    State s = testing::random_state(n, p, whole ? testing::Distances::whole : testing::Distances::fractional, rng);
    relax(s);  // builds the candidate lists
    return s;
}

std::vector<int> random_medians(int n, int p, std::mt19937& rng) {
    std::vector<int> nodes(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) nodes[i] = i;
    std::shuffle(nodes.begin(), nodes.end(), rng);
    return {nodes.begin(), nodes.begin() + p};
}

// The lowest cost any single exchange reaches from medians.
double best_exchange(const State& s, const std::vector<int>& medians) {
    double best = assignment_cost(s.dist, s.n, medians);
    for (std::size_t k = 0; k < medians.size(); ++k) {
        for (int u = 0; u < s.n; ++u) {
            if (std::find(medians.begin(), medians.end(), u) != medians.end()) continue;
            std::vector<int> swapped = medians;
            swapped[k] = u;
            best = std::min(best, assignment_cost(s.dist, s.n, swapped));
        }
    }
    return best;
}

TEST(SwapSearch, EndsWhereNoExchangeLowersTheCost) {
    std::mt19937 rng(7);
    // Small n uses whole rows as lists; n above 64 uses truncated lists.
    // Up to p = n / 2 a table screens the candidates; beyond, every
    // candidate is weighed.
    for (int n : {2, 3, 6, 11, 20, 90, 140}) {
        for (int p : {1, 2, n / 4, n / 2, n - 1}) {
            if (p < 1 || p >= n) continue;
            for (bool whole : {true, false}) {
                SCOPED_TRACE("n=" + std::to_string(n) + " p=" + std::to_string(p) + " whole=" + std::to_string(whole));
                State s = random_instance(n, p, whole, rng);
                std::vector<int> medians = random_medians(n, p, rng);
                const double start = assignment_cost(s.dist, n, medians);
                const double cost = swap_search(s.dist, s.caches.candidates, n, medians);
                EXPECT_LE(cost, start);
                EXPECT_NEAR(cost, assignment_cost(s.dist, n, medians), 1e-9 * (1 + cost));
                std::vector<int> distinct = medians;
                std::sort(distinct.begin(), distinct.end());
                EXPECT_EQ(std::unique(distinct.begin(), distinct.end()), distinct.end());
                EXPECT_GE(best_exchange(s, medians), cost - 1e-6 * (1 + cost));
            }
        }
    }
}

TEST(SwapSearch, StopsWhenTheClockOrAKnownOptimumSaysSo) {
    std::mt19937 rng(11);
    State s = random_instance(30, 4, true, rng);
    const std::vector<int> start = random_medians(30, 4, rng);

    std::vector<int> medians = start;
    SwapStops no_time;
    no_time.out_of_time = [] { return true; };
    EXPECT_EQ(swap_search(s.dist, s.caches.candidates, 30, medians, no_time), assignment_cost(s.dist, 30, start));
    EXPECT_EQ(medians, start);

    // Told that anything is a local optimum, the search ends after one exchange.
    medians = start;
    SwapStops anything_known;
    int asked = 0;
    anything_known.known_local_optimum = [&](const std::vector<int>& at) {
        ++asked;
        EXPECT_TRUE(std::is_sorted(at.begin(), at.end()));
        return true;
    };
    const double cost = swap_search(s.dist, s.caches.candidates, 30, medians, anything_known);
    EXPECT_LE(asked, 1);
    EXPECT_LE(cost, assignment_cost(s.dist, 30, start));
}

}  // namespace
}  // namespace pmedian
