#include "subgradient.hpp"

#include <gtest/gtest.h>

#include <vector>

#include "state_builder.hpp"

namespace pmedian {
namespace {

TEST(IntegerPart, TruncatesTowardZeroAndKeepsTheLow32Bits) {
    EXPECT_EQ(integer_part(0.4f), 0);
    EXPECT_EQ(integer_part(24.999998f), 24);
    EXPECT_EQ(integer_part(-0.9f), 0);
    EXPECT_EQ(integer_part(-3.5f), -3);
    EXPECT_EQ(integer_part(4294967296.0f + 5 * 1024.0f), 5 * 1024);  // 2^32 + 5120
    EXPECT_EQ(integer_part(3e9f), int(3000000000u - 4294967296u));
    EXPECT_EQ(integer_part(1e30f),
              0);  // beyond 64 bits: the indefinite value, low half 0
}

TEST(SquaredNorm, IsTheSumRoundedAdditionByAddition) {
    EXPECT_EQ(squared_norm({1, -1, 0, -3}), 11.0f);
    EXPECT_EQ(squared_norm({}), 0.0f);
    // Past 2^24 the running sum rounds: 1 + 2^24 is 2^24 in a float, and so
    // is 2^24 + 1 after it, though the whole sum 2^24 + 2 is a float.
    EXPECT_EQ(squared_norm({1, 4096, 1}), 16777216.0f);
    EXPECT_EQ(squared_norm({4096, 2}), 16777220.0f);
}

TEST(ComputeSubgradient, CountsTheMediansServingEachClient) {
    State s = testing::four_node_state(2);
    s.lambda = {1, 1, 3, 1};
    s.node = {0, 1, 2, 3};  // medians 0 and 1
    s.t = 1.0f;
    compute_subgradient(s);
    // Client 0: median 0 (0 < 1) serves, median 1 (1 < 1) does not.
    // Client 2: both serve (1 < 3, 2 < 3). Client 3: none (1 and 2 are not < 1).
    EXPECT_EQ(s.subg, (std::vector<int>{0, 0, -1, 1}));
    EXPECT_EQ(s.subg_zero, 0);

    s.lambda = {1, 1, 0, 0};
    compute_subgradient(s);
    EXPECT_EQ(s.subg, (std::vector<int>{0, 0, 1, 1}));
}

std::string solve_and_capture(State& s) {
    return testing::capture_output(s, [&] { solve(s); });
}

TEST(Solve, FourNodesEndsOptimalAfterOneIteration) {
    State s = testing::four_node_state();
    EXPECT_EQ(solve_and_capture(s),
              "\nStatus: Solucao otima\n"
              "\nNo     3 -> Mediana     0  Custo =        1.00"
              "\nNo     2 -> Mediana     0  Custo =        1.00"
              "\nNo     1 -> Mediana     0  Custo =        1.00"
              "\nCusto da solucao =        3.00");
}

TEST(Solve, SevenNodesRunsTheStepFactorDown) {
    State s = testing::make_state(7, 3, {17, 18, 11, 15, 13, 7, 16, 16, 9, 5, 21, 8, 8, 13, 25, 8, 11, 18, 5, 21, 18});
    EXPECT_EQ(solve_and_capture(s),
              "\nStatus: Solucao nao otima\n"
              "\nNo     1 -> Mediana     4  Custo =        9.00"
              "\nNo     2 -> Mediana     4  Custo =        8.00"
              "\nNo     5 -> Mediana     4  Custo =        5.00"
              "\nNo     6 -> Mediana     0  Custo =        7.00"
              "\nCusto da solucao =       29.00");
}

TEST(Solve, ARunWithNoPositiveBoundStillReportsARealSolution) {
    // All distances zero: no bound ever exceeds 0, yet the report lists each
    // non-median node once, and the gap is closed.
    State s = testing::make_state(4, 2, {0, 0, 0, 0, 0, 0});
    const std::string out = solve_and_capture(s);
    EXPECT_EQ(out.substr(0, 23), "\nStatus: Solucao otima\n");
    std::vector<int> listed;
    for (std::size_t at = out.find("\nNo "); at != std::string::npos; at = out.find("\nNo ", at + 1)) {
        listed.push_back(std::stoi(out.substr(at + 4, 5)));
    }
    ASSERT_EQ(listed.size(), 2u);
    EXPECT_NE(listed[0], listed[1]);
    EXPECT_NE(out.find("\nCusto da solucao =        0.00"), std::string::npos);
}

}  // namespace
}  // namespace pmedian
