#include "multiplier_search.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "relaxation.hpp"
#include "state_builder.hpp"

namespace pmedian {
namespace {

using testing::four_node_state;

TEST(SearchT, StepsUpThenHalvesBackAndRestoresTheBestRelaxation) {
    // 0.5 and 1.0 improve with negative slope, 1.5 and 1.25 fail: four
    // evaluations, and the shared t is left at the next, unevaluated point.
    State s = four_node_state();
    s.lambda.assign(4, 1);
    float t_start = 0.5f;
    const float start_step = 0.5f;
    const float result = search_t(s, t_start, start_step);
    EXPECT_EQ(result, 1.0f);
    EXPECT_EQ(t_start, 1.0f);
    EXPECT_EQ(s.t, 1.125f);
    EXPECT_EQ(start_step, 0.5f);
    EXPECT_EQ(s.bound, 3.0f);
    EXPECT_EQ(s.sv_node, s.node);
    EXPECT_EQ(s.sv_beta, s.beta);
    order_relaxation_fully(s);
    EXPECT_EQ(s.node, (std::vector<int>{2, 3, 0, 1}));
    EXPECT_EQ(s.beta, (std::vector<float>{-1, -1, -1, -1}));
}

TEST(SearchT, StopsWithoutEvaluatingAStepDownToZero) {
    // All multipliers far above the distances: every point has positive
    // slope (each client served by both medians), so the search steps down
    // 0.5 -> 0.25 -> 0.0 and stops there; 0.25 has the larger bound.
    State s = testing::make_state(3, 2, {1, 1, 1});
    s.lambda.assign(3, 10);
    float t_start = 0.5f;
    const float result = search_t(s, t_start, 0.5f);
    EXPECT_EQ(s.t, 0.0f);
    EXPECT_EQ(result, 0.25f);
    EXPECT_EQ(t_start, 0.25f);
    EXPECT_EQ(s.bound, -3.5f);
}

TEST(SearchT, KeepsTheFirstEvaluationEvenWhenItIsNotAboveTheFloor) {
    // One evaluation only (its half step down reaches 0), with a bound far
    // below -9.99e10: that point is still the one left in place and returned.
    State s = testing::make_state(2, 2, {0});
    s.lambda.assign(2, 1e12f);
    s.node = {7, 7};
    float t_start = 0.25f;
    const float result = search_t(s, t_start, 0.5f);
    EXPECT_EQ(result, 0.25f);
    EXPECT_LT(s.bound, -INF_DIST);
    EXPECT_EQ(s.node, (std::vector<int>{1, 0}));
    EXPECT_EQ(s.sv_node, s.node);
}

}  // namespace
}  // namespace pmedian
