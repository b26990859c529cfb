// The fast kernels against the straightforward ones on randomised small
// instances: every array and value they leave must be identical bit for bit.
#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <string>
#include <vector>

#include "clusters.hpp"
#include "forced_paths.hpp"
#include "random_instance.hpp"
#include "relaxation.hpp"

namespace pmedian {
namespace {

using testing::Distances;

using Instance = testing::RandomInstance;

// Random distances, and multipliers that make many candidates gain.
State random_state(const Instance& in) {
    std::mt19937 rng(in.seed);
    State s = testing::random_state(in, rng);
    for (int j = 0; j < in.n; ++j) {
        s.lambda[j] =
            in.kind == Distances::tied ? float(rng() % 4) : std::uniform_real_distribution<float>(0, 400)(rng);
    }
    return s;
}

std::vector<Instance> instances() {
    std::vector<Instance> all;
    unsigned seed = 1;
    for (Distances kind : {Distances::whole, Distances::fractional, Distances::tied, Distances::tied_fractional}) {
        for (int n : {1, 2, 3, 5, 8, 13, 40, 70, 130}) {
            for (int p : {1, 2, n / 3, n - 1, n}) {
                if (p >= 1 && p <= n) all.push_back({n, p, kind, seed++});
            }
        }
    }
    return all;
}

bool same_bits(float a, float b) { return std::memcmp(&a, &b, sizeof a) == 0; }

void expect_same_floats(const std::vector<float>& a, const std::vector<float>& b, const std::string& what) {
    ASSERT_EQ(a.size(), b.size());
    for (std::size_t k = 0; k < a.size(); ++k) ASSERT_TRUE(same_bits(a[k], b[k])) << what << "[" << k << "]";
}

void expect_same_clusters(const State& a, const State& b) {
    EXPECT_EQ(a.sv_node, b.sv_node);
    for (int c = 0; c < a.p; ++c) {
        ASSERT_EQ(a.vc[c].median, b.vc[c].median);
        ASSERT_EQ(a.vc[c].size, b.vc[c].size);
        ASSERT_TRUE(same_bits(a.vc[c].cost, b.vc[c].cost)) << "cost of cluster " << c;
        for (int k = 0; k < a.vc[c].size; ++k) ASSERT_EQ(a.vc[c].members[k], b.vc[c].members[k]);
    }
}

// relax, the serving counts and the finished sort at many multipliers.
void expect_relax_matches(State& fast, State& plain) {
    for (float t : {0.0f, 0.05f, 0.3f, 0.5f, 0.62307f, 1.0f, 1.5f, 3.0f, 40.0f}) {
        fast.t = plain.t = t;
        relax(fast);
        straightforward::relax(plain);
        ASSERT_TRUE(same_bits(fast.bound, plain.bound)) << "t=" << t;
        // The medians and their reduced costs are final at once; the rest
        // once the sort is finished.
        const auto medians = std::vector<int>(fast.node.begin(), fast.node.begin() + fast.p);
        ASSERT_EQ(medians, std::vector<int>(plain.node.begin(), plain.node.begin() + plain.p)) << "t=" << t;
        for (int k = 0; k < fast.p; ++k) ASSERT_TRUE(same_bits(fast.beta[k], plain.beta[k])) << "t=" << t;
        std::vector<int> fast_count, plain_count;
        count_serving_medians(fast, fast_count);
        straightforward::count_serving_medians(plain, plain_count);
        ASSERT_EQ(fast_count, plain_count) << "t=" << t;
        order_relaxation_fully(fast);
        ASSERT_EQ(fast.node, plain.node) << "t=" << t;
        expect_same_floats(fast.beta, plain.beta, "beta");
    }
}

TEST(FastKernels, RelaxMatchesAtManyMultipliers) {
    for (const Instance& in : instances()) {
        SCOPED_TRACE(testing::label(in));
        State fast = random_state(in);
        State plain = random_state(in);
        expect_relax_matches(fast, plain);
    }
}

TEST(FastKernels, ServingMediansCountedAlongListsWithAFewWholeRows) {
    // Short walks but for a few clients whose multipliers reach past their
    // lists: the count goes along the lists, and along the row for those.
    for (unsigned seed : {3u, 4u, 5u}) {
        State fast = random_state({130, 100, Distances::whole, seed});
        State plain = random_state({130, 100, Distances::whole, seed});
        for (int j = 0; j < fast.n; ++j) fast.lambda[j] = plain.lambda[j] = j % 26 == 0 ? 5000.0f : float(j % 7) * 2.0f;
        fast.t = plain.t = 1.0f;
        relax(fast);
        straightforward::relax(plain);
        ASSERT_LT(fast.caches.candidates.width, fast.n);
        std::vector<int> fast_count, plain_count;
        count_serving_medians(fast, fast_count);
        straightforward::count_serving_medians(plain, plain_count);
        ASSERT_EQ(fast_count, plain_count) << "seed " << seed;
    }
}

// Clusters of neighbours, whose medians improve over several rounds.
State points_state(int n, int p, bool whole, unsigned seed) {
    std::mt19937 rng(seed);
    State s = testing::random_points_state(n, p, whole, rng);
    for (int j = 0; j < n; ++j) s.lambda[j] = std::uniform_real_distribution<float>(0, 60)(rng);
    return s;
}

void expect_assign_and_improve_match(State& fast, State& plain) {
    for (float t : {0.3f, 1.0f, 2.0f}) {
        plain.t = t;
        straightforward::relax(plain);
        fast.sv_node = plain.sv_node = plain.node;
        ASSERT_TRUE(same_bits(assign_clients(fast), straightforward::assign_clients(plain)));
        expect_same_clusters(fast, plain);
        for (int round = 0; round < 6; ++round) {
            ASSERT_TRUE(same_bits(improve_clusters(fast), straightforward::improve_clusters(plain)));
            expect_same_clusters(fast, plain);
        }
    }
}

TEST(FastKernels, AssignAndImproveMatchFromRelaxationMedians) {
    for (const Instance& in : instances()) {
        SCOPED_TRACE(testing::label(in));
        State fast = random_state(in);
        State plain = random_state(in);
        expect_assign_and_improve_match(fast, plain);
    }
}

// Every fast path forced on small instances: each step's arrays as the
// straightforward kernels leave them.
TEST(FastKernels, EachForcedPathMatchesStepByStep) {
    for (const testing::ForcedPath& path : testing::forced_paths()) {
        SCOPED_TRACE(path.name);
        for (const Instance& in : instances()) {
            if (in.n < 16) continue;
            SCOPED_TRACE(testing::label(in));
            State fast = random_state(in);
            State plain = random_state(in);
            path.force(fast.tuning);
            expect_relax_matches(fast, plain);
            expect_assign_and_improve_match(fast, plain);
        }
    }
}

// Past a thousand nodes the cluster sums read a renumbered copy of the
// matrix. With clusters of a few nodes (200 medians) an assignment after a
// few changes rescans only the nodes those can win or lose.
TEST(FastKernels, AssignAndImproveMatchOnAMatrixBeyondTheCaches) {
    for (bool whole : {true, false}) {
        for (int p : {3, 40, 200}) {
            SCOPED_TRACE("p=" + std::to_string(p) + (whole ? " whole" : " fractional"));
            State fast = points_state(1100, p, whole, 7);
            State plain = points_state(1100, p, whole, 7);
            expect_assign_and_improve_match(fast, plain);
        }
    }
}

}  // namespace
}  // namespace pmedian
