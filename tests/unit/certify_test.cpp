// pmedian-certify's engine on tiny instances solved by enumeration: its
// bound never passes the optimum, its cost is that of its medians, and it
// ends in a proof, which is true.
#include "certify/certify.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "certify/swap_search.hpp"
#include "certify/weighted_swap_search.hpp"
#include "enumeration.hpp"
#include "random_instance.hpp"
#include "state_builder.hpp"
#include "subgradient.hpp"

namespace pmedian {
namespace {

using testing::Distances;

// Tiny instances of every shape a proof must survive: whole and real
// distances, few values, all zeros, twins (points at one place), tiny and
// huge magnitudes; p from 1 to n.
struct Shape {
    const char* name;
    std::function<State(int n, int p, std::mt19937& rng)> make;
    bool whole;
};

std::vector<Shape> shapes() {
    const auto scaled = [](Distances kind, float scale) {
        return [=](int n, int p, std::mt19937& rng) {
            std::vector<float> triangle = testing::random_triangle(n, kind, rng);
            for (float& d : triangle) d *= scale;
            return testing::make_state(n, p, triangle);
        };
    };
    return {
        {"whole", scaled(Distances::whole, 1), true},
        {"real", scaled(Distances::fractional, 1), false},
        {"few values", scaled(Distances::tied, 1), true},
        {"few real values", scaled(Distances::tied_fractional, 1), false},
        {"all zero", scaled(Distances::tied, 0), true},
        {"tiny", scaled(Distances::fractional, 1e-30f), false},
        {"huge whole", scaled(Distances::whole, 1e7f), true},
        {"huge real", scaled(Distances::fractional, 3e8f), false},
        {"twins",
         [](int n, int p, std::mt19937& rng) {
             // Points on a line, each drawn from three places.
             std::vector<float> place(static_cast<std::size_t>(n));
             for (float& x : place) x = float(rng() % 3) * 7.5f;
             std::vector<float> triangle;
             for (int i = 0; i < n; ++i) {
                 for (int j = i + 1; j < n; ++j) triangle.push_back(std::fabs(place[i] - place[j]));
             }
             return testing::make_state(n, p, triangle);
         },
         false},
    };
}

// What a certified run must hold against the enumerated optimum.
void expect_certified(State& s, const CertifyOptions& options, bool whole) {
    const double best = testing::enumerated_optimum(s);
    Instance instance = testing::instance_of(s);
    const CertifiedSolution r = certify(instance, options);
    // The bound never passes the optimum (the enumeration's double sums of
    // a few floats are exact to far better than a millionth).
    EXPECT_LE(r.lower_bound, best + 1e-12 * best);
    EXPECT_GE(r.lower_bound, 0);
    EXPECT_GE(r.cost, best - 1e-12 * best);
    EXPECT_EQ(r.cost, assignment_cost(s.dist, s.n, r.medians));
    ASSERT_EQ(int(r.medians.size()), s.p);
    for (int v = 0; v < s.n; ++v) {
        EXPECT_TRUE(std::count(r.medians.begin(), r.medians.end(), r.median_of[v])) << "node " << v;
    }
    // Without a time limit the search always ends in a proof, and a proof
    // is true.
    EXPECT_TRUE(r.optimal);
    EXPECT_EQ(r.ending, Ending::proven);
    if (whole) {
        EXPECT_EQ(r.cost, best);
        EXPECT_EQ(r.lower_bound, best);
    } else {
        EXPECT_LE(r.cost - best, std::max(options.absolute_gap, options.relative_gap * r.cost) + 1e-12 * best);
    }
}

TEST(Certify, EveryShapeIsProvenAtTheEnumeratedOptimum) {
    std::mt19937 rng(3);
    for (const Shape& shape : shapes()) {
        for (int n : {1, 2, 3, 4, 6, 9}) {
            for (int p = 1; p <= n; ++p) {
                SCOPED_TRACE(std::string(shape.name) + " n=" + std::to_string(n) + " p=" + std::to_string(p));
                State s = shape.make(n, p, rng);
                expect_certified(s, {}, shape.whole);
            }
        }
    }
}

TEST(Certify, LargerRandomInstancesReachTheirProofThroughTheSearch) {
    std::mt19937 rng(5);
    for (int seed = 0; seed < 12; ++seed) {
        for (const Shape& shape : shapes()) {
            SCOPED_TRACE(std::string(shape.name) + " seed=" + std::to_string(seed));
            State s = shape.make(13, 2 + seed % 4, rng);
            expect_certified(s, {}, shape.whole);
        }
    }
}

// Three points, two of them equal; five points all at one place.
TEST(Certify, TwinsAndAllZeroDistancesGiveTheirTrueBound) {
    State three = testing::make_state(3, 1, {0, 1, 1});
    Instance three_instance = testing::instance_of(three);
    const CertifiedSolution r3 = certify(three_instance, {});
    EXPECT_EQ(r3.cost, 1);
    EXPECT_EQ(r3.lower_bound, 1);
    EXPECT_TRUE(r3.optimal);
    State zeros = testing::make_state(5, 1, std::vector<float>(10, 0.0f));
    Instance zeros_instance = testing::instance_of(zeros);
    const CertifiedSolution r0 = certify(zeros_instance, {});
    EXPECT_EQ(r0.cost, 0);
    EXPECT_EQ(r0.lower_bound, 0);
    EXPECT_TRUE(r0.optimal);
}

// Without whole distances, the gaps decide what is proven.
TEST(Certify, AWideRelativeGapProvesAtOnceAndANarrowOneOnlyTheOptimum) {
    std::mt19937 rng(9);
    for (int seed = 0; seed < 6; ++seed) {
        const std::vector<float> triangle = testing::random_triangle(12, Distances::fractional, rng);
        State wide = testing::make_state(12, 3, triangle);
        State narrow = testing::make_state(12, 3, triangle);
        CertifyOptions loose;
        loose.relative_gap = 0.5;
        Instance wide_instance = testing::instance_of(wide);
        const CertifiedSolution r = certify(wide_instance, loose);
        const double best = testing::enumerated_optimum(wide);
        EXPECT_TRUE(r.optimal);
        EXPECT_LE(r.cost - r.lower_bound, 0.5 * r.cost);
        EXPECT_LE(r.lower_bound, best);
        CertifyOptions strict;
        strict.relative_gap = 1e-9;
        expect_certified(narrow, strict, false);
    }
}

// Twenty nodes and five medians: sizes where the loop often ends a little
// above its bound, so that the search and rounding up decide the proof.
TEST(Certify, TwentyNodesAreProvenAtTheirOptimum) {
    for (int seed = 0; seed < 10; ++seed) {
        SCOPED_TRACE("seed=" + std::to_string(seed));
        std::mt19937 rng(seed);
        State s = testing::random_state(20, 5, seed % 2 ? Distances::whole : Distances::fractional, rng);
        expect_certified(s, {}, seed % 2 == 1);
    }
}

// A search stopped after any number of nodes, with nodes still open and a
// dive under way, reports a bound no solution beats.
TEST(Certify, ASearchStoppedPartWayKeepsItsBoundBelowTheOptimum) {
    std::mt19937 rng(29);
    int deep_trees = 0;
    for (int seed = 0; seed < 8; ++seed) {
        const bool whole = seed % 2 == 0;
        const std::vector<float> triangle =
            testing::random_triangle(36, whole ? Distances::whole : Distances::fractional, rng);
        State full = testing::make_state(36, 3, triangle);
        const double best = testing::enumerated_optimum(full);
        Instance full_instance = testing::instance_of(full);
        const long nodes = certify(full_instance, {}).nodes;
        deep_trees += nodes >= 4;
        for (long stop_after = 1; stop_after < std::min(nodes, 12L); ++stop_after) {
            SCOPED_TRACE("seed=" + std::to_string(seed) + " stopped after " + std::to_string(stop_after));
            State s = testing::make_state(36, 3, triangle);
            Instance instance = testing::instance_of(s);
            long seen = 0;
            CertifyOptions options;
            options.progress = [&](double, long at, double, double) { seen = at; };
            options.stop = [&] { return seen >= stop_after; };
            const CertifiedSolution r = certify(instance, options);
            EXPECT_LE(r.lower_bound, best + 1e-12 * best);
            EXPECT_GE(r.cost, best - 1e-12 * best);
            if (!r.optimal) {
                EXPECT_EQ(r.ending, Ending::stopped);
            }
        }
    }
    EXPECT_GE(deep_trees, 2);  // the stops fell inside trees
}

// Clients with weights, sites that are not every node, sites fixed open:
// the search alone must prove the enumerated optimum of each.
TEST(Certify, WeightsSitesAndFixedSitesAreProvenAtTheEnumeratedOptimum) {
    std::mt19937 rng(17);
    int proven_below_plain = 0;
    long searched = 0;
    for (int trial = 0; trial < 300; ++trial) {
        const int n = 1 + trial % 15;
        const bool whole = trial % 2 == 0;
        State s = testing::random_state(n, 1, whole ? Distances::whole : Distances::fractional, rng);
        Instance instance = testing::instance_of(s);
        // Weights: whole or real, some 0, now and then huge or tiny.
        const double magnitude = trial % 7 == 3 ? 1e6 : trial % 7 == 5 && !whole ? 1e-6 : 1;
        for (int v = 0; v < n; ++v) {
            const int draw = int(rng() % 5);
            instance.weight.push_back(draw == 0 ? 0.0
                                      : whole   ? double(rng() % 9) * magnitude
                                                : double(rng() % 1000) / 7.0 * magnitude);
        }
        // Sites: each a site with chance 3/4, fixed open with 1/8.
        int sites = 0;
        int fixed = 0;
        for (int v = 0; v < n; ++v) {
            const int draw = int(rng() % 8);
            instance.sites.push_back(draw == 0 ? 1 : draw < 3 ? 0 : -1);
            sites += instance.sites.back() != 0;
            fixed += instance.sites.back() == 1;
        }
        if (sites == 0) {
            instance.sites[0] = -1;
            sites = 1;
        }
        instance.p = std::max(fixed, 1) + int(rng() % std::size_t(sites - std::max(fixed, 1) + 1));
        SCOPED_TRACE("trial=" + std::to_string(trial) + " n=" + std::to_string(n) + " p=" + std::to_string(instance.p));
        settle_instance(instance);
        const double best = testing::enumerated_optimum(instance.network());
        const CertifiedSolution r = certify(instance, {});
        ASSERT_EQ(int(r.medians.size()), instance.p);
        for (int v = 0; v < n && !instance.sites.empty(); ++v) {
            const bool open = std::count(r.medians.begin(), r.medians.end(), v) > 0;
            if (instance.sites[v] != -1) {
                EXPECT_EQ(open, instance.sites[v] == 1) << "node " << v;
            }
        }
        EXPECT_EQ(r.cost, network_cost(instance.network(), r.medians));
        EXPECT_LE(r.lower_bound, best + 1e-12 * best);
        EXPECT_TRUE(r.optimal);
        if (whole) {
            EXPECT_EQ(r.cost, best);
        } else {
            EXPECT_LE(r.cost - best, 1e-6 * r.cost + 1e-12 * best);
        }
        proven_below_plain += !instance.plain();
        searched += r.nodes;
        // From any allowed start, poor or not, the same proof.
        CertifyOptions from_start;
        std::vector<int> free_sites;
        for (int v = 0; v < n; ++v) {
            const signed char state = instance.sites.empty() ? -1 : instance.sites[v];
            if (state == 1) from_start.start.push_back(v);
            if (state == -1) free_sites.push_back(v);
        }
        std::shuffle(free_sites.begin(), free_sites.end(), rng);
        free_sites.resize(std::size_t(instance.p) - from_start.start.size());
        from_start.start.insert(from_start.start.end(), free_sites.begin(), free_sites.end());
        const CertifiedSolution started = certify(instance, from_start);
        EXPECT_TRUE(started.optimal);
        EXPECT_LE(started.lower_bound, best + 1e-12 * best);
        EXPECT_LE(std::fabs(started.cost - r.cost), whole ? 0 : 1e-6 * r.cost + 1e-12 * best);
    }
    EXPECT_GT(proven_below_plain, 200);  // most trials are not the plain problem
    EXPECT_GT(searched, 0);              // and some needed the search
}

TEST(Certify, AStartMustBePSitesWithTheFixedOnesAmongThem) {
    State s = testing::make_state(4, 2, {1, 2, 3, 4, 5, 6});
    Instance instance = testing::instance_of(s);
    instance.sites = {1, 0, -1, -1};
    const std::pair<std::vector<int>, std::string> wrong[] = {
        {{0}, "the start opens 1 sites, not p = 2"},
        {{0, 4}, "the start opens node 4, but the nodes are 0 to 3"},
        {{0, 0}, "the start opens node 0 twice"},
        {{0, 1}, "the start opens node 1, which is no candidate site"},
        {{2, 3}, "the start leaves node 0 closed, which is fixed open"},
    };
    for (const auto& [medians, message] : wrong) {
        try {
            check_start(instance, medians);
            ADD_FAILURE() << message;
        } catch (const Fatal& fatal) {
            EXPECT_EQ(fatal.message, message);
        }
    }
    EXPECT_NO_THROW(check_start(instance, {3, 0}));
}

}  // namespace
}  // namespace pmedian
