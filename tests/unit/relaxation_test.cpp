#include "relaxation.hpp"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <random>
#include <set>
#include <vector>

#include "state_builder.hpp"

namespace pmedian {
namespace {

using testing::four_node_state;
using testing::make_state;

void set_all_lambda(State& s, float value) { s.lambda.assign(s.n, value); }

TEST(SortBeta, OrdersEqualKeysByThePartitionScheme) {
    State s = make_state(3, 1, {1, 1, 1});
    s.beta = {0, 0, 0};
    s.node = {0, 1, 2};
    sort_beta(s, 0, 2);
    EXPECT_EQ(s.node, (std::vector<int>{2, 1, 0}));
}

TEST(SortBeta, SortsAscendingAndCarriesNodes) {
    State s = make_state(6, 1, std::vector<float>(15, 1));
    s.beta = {3, -1, 2, -1, 0, 5};
    s.node = {0, 1, 2, 3, 4, 5};
    sort_beta(s, 0, 5);
    EXPECT_EQ(s.beta, (std::vector<float>{-1, -1, 0, 2, 3, 5}));
    for (int k = 0; k < 6; ++k) {
        const float original[] = {3, -1, 2, -1, 0, 5};
        EXPECT_EQ(original[s.node[k]], s.beta[k]);
    }
}

TEST(SortBeta, KeepsItsOrderOnLargeRangesOfEveryShape) {
    // Random, tied, ordered, reversed, constant and signed-zero keys: the
    // loop-and-recurse order, and the partition's scans of whole blocks,
    // give the same exchanges as the plain two-way recursion.
    std::mt19937 rng(11);
    for (int n : {127, 128, 129, 255, 300, 2000}) {
        for (int shape = 0; shape < 7; ++shape) {
            State s = make_state(n, 1, std::vector<float>(std::size_t(n) * (n - 1) / 2, 1));
            State reference = make_state(n, 1, std::vector<float>(std::size_t(n) * (n - 1) / 2, 1));
            for (int k = 0; k < n; ++k) {
                float key = 0;
                switch (shape) {
                    case 0:
                        key = std::uniform_real_distribution<float>(-100, 100)(rng);
                        break;
                    case 1:
                        key = float(rng() % 3);
                        break;
                    case 2:
                        key = float(k);
                        break;
                    case 3:
                        key = float(n - k);
                        break;
                    case 4:
                        key = 7;
                        break;
                    case 5:
                        key = k % 2 ? -0.0f : 0.0f;
                        break;
                    case 6:
                        key = float((k * 7919) % 5);
                        break;
                }
                s.beta[k] = reference.beta[k] = key;
                s.node[k] = reference.node[k] = k;
            }
            straightforward::sort_beta(reference, 0, n - 1);
            sort_beta(s, 0, n - 1);
            ASSERT_EQ(s.node, reference.node) << "n=" << n << " shape=" << shape;
        }
    }
}

TEST(Relax, WorkedExampleOfFourNodes) {
    State s = four_node_state();
    set_all_lambda(s, 1);

    s.t = 1.5f;
    relax(s);
    order_relaxation_fully(s);
    EXPECT_EQ(s.node, (std::vector<int>{0, 3, 2, 1}));
    EXPECT_EQ(s.beta[0], -3.0f);
    EXPECT_EQ(s.bound, 3.0f);

    // A distance of exactly t * lambda gains nothing.
    s.t = 1.0f;
    relax(s);
    order_relaxation_fully(s);
    EXPECT_EQ(s.beta, (std::vector<float>{-1, -1, -1, -1}));
    EXPECT_EQ(s.node, (std::vector<int>{2, 3, 0, 1}));
    EXPECT_EQ(s.bound, 3.0f);

    s.t = 0.5f;
    relax(s);
    EXPECT_EQ(s.beta, (std::vector<float>{-0.5f, -0.5f, -0.5f, -0.5f}));
    EXPECT_EQ(s.bound, 1.5f);
}

TEST(Relax, ZeroMultipliersGiveZeroBound) {
    State s = make_state(3, 2, {4, 7, 5});
    s.t = 0;
    set_all_lambda(s, 3);
    relax(s);
    EXPECT_EQ(s.bound, 0.0f);
    EXPECT_EQ(s.node, (std::vector<int>{2, 1, 0}));
}

TEST(Relax, OneNode) {
    State s = make_state(1, 1, {});
    s.t = 0.5f;
    s.lambda[0] = 3;
    relax(s);
    EXPECT_EQ(s.beta[0], -1.5f);
    EXPECT_EQ(s.bound, 0.0f);
}

TEST(Relax, RoundsEachTermInDoubleThenOnceToFloat) {
    // (d - t*lambda) + beta in double, rounded once: a float-only evaluation
    // of the same terms rounds differently.
    State s = make_state(2, 1, {0.1f});
    s.t = 0.7f;
    s.lambda = {0.3f, 1.1f};
    relax(s);
    const double w0 = double(0.7f) * double(0.3f);
    const double w1 = double(0.7f) * double(1.1f);
    const float beta_for_0 = float((double(0.1f) - w1) + double(float(0.0 - w0)));
    const float beta_for_1 = float((0.0 - w1) + double(float(double(0.1f) - w0)));
    // Each candidate serves both clients.
    EXPECT_EQ(s.beta[0], std::min(beta_for_0, beta_for_1));
    const float expected_bound = float(w1 + double(float(w0 + double(std::min(beta_for_0, beta_for_1)))));
    EXPECT_EQ(s.bound, expected_bound);
}

// Each node's list of nearest nodes, built by the first relax: ascending,
// true to the matrix, and no node left out is nearer than the list's last.
void expect_lists_hold_the_nearest(int n, const std::function<float(int, int)>& distance, int least_width = 0) {
    std::vector<float> triangle;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) triangle.push_back(distance(i, j));
    }
    State s = make_state(n, 1, triangle);
    if (least_width > 0) build_candidate_lists(s, least_width);
    relax(s);
    const int width = s.caches.candidates.width;
    ASSERT_GE(width, std::min(n, least_width));
    ASSERT_GT(width, 0);
    for (int j = 0; j < n; ++j) {
        const CandidateLists::Entry* list = s.caches.candidates.row(j);
        std::set<int> listed;
        for (int k = 0; k < width; ++k) {
            ASSERT_EQ(list[k].dist, s.dist[j][list[k].node]) << "row " << j;
            if (k > 0) {
                ASSERT_LE(list[k - 1].dist, list[k].dist) << "row " << j;
                // Equal distances keep the row's order.
                if (list[k - 1].dist == list[k].dist) {
                    ASSERT_LT(list[k - 1].node, list[k].node) << "row " << j;
                }
            }
            listed.insert(list[k].node);
        }
        ASSERT_EQ(int(listed.size()), width) << "row " << j;
        for (int i = 0; i < n; ++i) {
            if (!listed.count(i)) {
                ASSERT_GE(s.dist[j][i], list[width - 1].dist) << "row " << j << " node " << i;
            }
        }
    }
}

TEST(CandidateLists, HoldTheNearestOfMixedSignsTiesAndSkewedRows) {
    std::mt19937 rng(7);
    std::vector<float> value(std::size_t(700) * 700);
    for (float& v : value) v = std::uniform_real_distribution<float>(-50, 50)(rng);
    auto symmetric = [&](int i, int j) { return value[std::size_t(std::min(i, j)) * 700 + std::max(i, j)]; };
    expect_lists_hold_the_nearest(700, symmetric);
    expect_lists_hold_the_nearest(300, [](int i, int j) { return float((i * 7 + j * 7) % 3); });
    expect_lists_hold_the_nearest(40, [](int i, int j) { return float(i + j); });
    // Wider lists, as the swap search asks for, and one as wide as a row.
    expect_lists_hold_the_nearest(700, symmetric, 350);
    expect_lists_hold_the_nearest(
        300, [](int i, int j) { return float((i * j) % 7); }, 1000);
    // Whole numbers up to far beyond the row's length, with ties; and a
    // matrix whole but for one distance of its last rows.
    expect_lists_hold_the_nearest(300, [](int i, int j) { return float((i * j) % 1500); });
    expect_lists_hold_the_nearest(300, [](int i, int j) { return float((i + j) % 13) + (i == 298 ? 0.5f : 0.0f); });
    // Every tenth node at distance 0 from all: a row's evenly spread sample
    // sees only those, so a guess from it keeps fewer nodes than a list holds.
    expect_lists_hold_the_nearest(
        2560, [](int i, int j) { return i % 10 == 0 || j % 10 == 0 ? 0.0f : 100.0f - (i + j) % 5; });
}

}  // namespace
}  // namespace pmedian
