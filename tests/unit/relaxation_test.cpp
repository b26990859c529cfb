#include "relaxation.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "state_builder.hpp"
#include "straightforward_kernels.hpp"

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

TEST(SortBeta, KeepsItsOrderOnLargeRangesOfFewDistinctKeys) {
    // Many equal keys: the loop-and-recurse order gives the same exchanges
    // as the plain two-way recursion.
    const int n = 2000;
    State s = make_state(n, 1, std::vector<float>(std::size_t(n) * (n - 1) / 2, 1));
    State reference = make_state(n, 1, std::vector<float>(std::size_t(n) * (n - 1) / 2, 1));
    for (int k = 0; k < n; ++k) {
        s.beta[k] = reference.beta[k] = float((k * 7919) % 5);
        s.node[k] = reference.node[k] = k;
    }
    straightforward::sort_beta(reference, 0, n - 1);
    sort_beta(s, 0, n - 1);
    EXPECT_EQ(s.node, reference.node);
    EXPECT_EQ(s.beta, reference.beta);
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

}  // namespace
}  // namespace pmedian
