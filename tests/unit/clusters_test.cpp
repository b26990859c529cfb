#include "clusters.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "state_builder.hpp"

namespace pmedian {
namespace {

using testing::four_node_state;
using testing::make_state;

std::vector<int> members_of(const Cluster& c) { return {c.members.begin(), c.members.begin() + c.size}; }

TEST(AssignClients, WorkedExampleThenImproveMovesTheMedian) {
    State s = four_node_state();
    s.sv_node = {1, 0, 2, 3};
    EXPECT_EQ(assign_clients(s), 5.0f);
    EXPECT_EQ(s.vc[0].median, 1);
    EXPECT_EQ(members_of(s.vc[0]), (std::vector<int>{0, 2, 3}));
    EXPECT_EQ(s.vc[0].cost, 5.0f);

    EXPECT_EQ(improve_clusters(s), 3.0f);
    EXPECT_EQ(s.sv_node, (std::vector<int>{0, 1, 2, 3}));
    EXPECT_EQ(improve_clusters(s), 3.0f);
    EXPECT_EQ(s.sv_node, (std::vector<int>{0, 1, 2, 3}));
}

TEST(AssignClients, TiesGoToTheFirstMedianOfTheArrangement) {
    // Node 2 is at distance 3 from both medians 1 and 0.
    State s = make_state(3, 2, {5, 3, 3});
    s.sv_node = {1, 0, 2};
    EXPECT_EQ(assign_clients(s), 3.0f);
    EXPECT_EQ(members_of(s.vc[0]), (std::vector<int>{2}));
    EXPECT_EQ(s.vc[1].size, 0);
    EXPECT_EQ(s.vc[1].cost, 0.0f);
}

TEST(AssignClients, WithEveryNodeAMedianThereIsNothingToAssign) {
    State s = make_state(3, 3, {4, 7, 5});
    s.sv_node = {2, 0, 1};
    EXPECT_EQ(assign_clients(s), 0.0f);
    for (const Cluster& c : s.vc) EXPECT_EQ(c.size, 0);
    EXPECT_EQ(improve_clusters(s), 0.0f);
    EXPECT_EQ(s.sv_node, (std::vector<int>{2, 0, 1}));
}

TEST(ImproveClusters, AnEqualCostDoesNotTakeOver) {
    // Median 0 with members 1 and 2, all distances 1: each member would cost
    // the same 2, so the median stays.
    State s = make_state(3, 1, {1, 1, 1});
    s.sv_node = {0, 1, 2};
    EXPECT_EQ(assign_clients(s), 2.0f);
    EXPECT_EQ(improve_clusters(s), 2.0f);
    EXPECT_EQ(s.sv_node, (std::vector<int>{0, 1, 2}));
}

TEST(ImproveClusters, LaterMembersAreMeasuredAgainstTheNewMedian) {
    // Path 0 - 1 - 2 - 3 with unit steps, median 0: member 1 takes over
    // (cost 4 < 6), then member 2 is measured against median 1 and the
    // list now holding 0 (cost 1 + 2 + 1 = 4, not lower), so 1 stays.
    State s = make_state(4, 1, {1, 2, 3, 1, 2, 1});
    s.sv_node = {0, 1, 2, 3};
    EXPECT_EQ(assign_clients(s), 6.0f);
    EXPECT_EQ(improve_clusters(s), 4.0f);
    EXPECT_EQ(s.sv_node, (std::vector<int>{1, 0, 2, 3}));
}

}  // namespace
}  // namespace pmedian
