#include "report.hpp"

#include <gtest/gtest.h>

#include "state_builder.hpp"

namespace pmedian {
namespace {

TEST(FormatTwoDecimals, RoundsExactHalvesAwayFromZero) {
    EXPECT_EQ(format_two_decimals(2.125, 11), "       2.13");
    EXPECT_EQ(format_two_decimals(0.125, 0), "0.13");
    EXPECT_EQ(format_two_decimals(-2.125, 0), "-2.13");
    EXPECT_EQ(format_two_decimals(0.375, 0), "0.38");
    EXPECT_EQ(format_two_decimals(9.995 + 0.0, 0),
              "9.99");  // 9.995 is just below the half
    EXPECT_EQ(format_two_decimals(99.875, 0), "99.88");
    EXPECT_EQ(format_two_decimals(999999.875, 11), "  999999.88");
    EXPECT_EQ(format_two_decimals(-0.625, 0), "-0.63");
}

TEST(FormatTwoDecimals, RoundsEverythingElseOnTheExactValue) {
    EXPECT_EQ(format_two_decimals(double(1.005f), 0),
              "1.00");  // the float is 1.00499999...
    EXPECT_EQ(format_two_decimals(double(2.345f), 0),
              "2.35");  // the float is 2.34500002...
    EXPECT_EQ(format_two_decimals(3.0, 11), "       3.00");
    EXPECT_EQ(format_two_decimals(0.25, 0), "0.25");
    EXPECT_EQ(format_two_decimals(12345678.0, 11), "12345678.00");
    EXPECT_EQ(format_two_decimals(double(INF_DIST), 11), "99899998208.00");
}

TEST(PrintSolution, ListsNonMediansInArrangementOrderWithTheirNearestMedian) {
    // Medians 1 and 0; node 2 ties between them and goes to the first.
    State s = testing::make_state(4, 2, {5, 3, 2.125f, 3, 4, 1});
    s.best = {1, 0, 3, 2};
    const std::string out = testing::capture_output(s, [&] { print_solution(s); });
    EXPECT_EQ(out,
              "\nNo     3 -> Mediana     0  Custo =        2.13"
              "\nNo     2 -> Mediana     1  Custo =        3.00"
              "\nCusto da solucao =        5.13");
}

TEST(PrintSolution, EveryNodeAMedianPrintsOnlyTheTotal) {
    State s = testing::make_state(2, 2, {4});
    s.best = {0, 1};
    EXPECT_EQ(testing::capture_output(s, [&] { print_solution(s); }), "\nCusto da solucao =        0.00");
}

}  // namespace
}  // namespace pmedian
