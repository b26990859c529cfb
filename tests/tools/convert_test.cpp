#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>

#include "command_line.hpp"
#include "facloc_writer.hpp"
#include "random_points.hpp"
#include "run_program.hpp"

namespace pmedian::tools {
namespace {

TEST(RandomPoints, TheSameSeedDrawsTheSamePointsEverywhere) {
    const PointsTable a = random_points(50, 7);
    EXPECT_EQ(a.coords, random_points(50, 7).coords);
    EXPECT_NE(a.coords, random_points(50, 8).coords);
    for (double x : a.coords) {
        EXPECT_GE(x, 0);
        EXPECT_LT(x, 1000);
    }
    // Pinned values: a change of generator would silently change every file.
    std::string text;
    append_number(text, random_points(1, 42).coords[0]);
    EXPECT_EQ(text, "741.5648787718233");
}

TEST(ConvertCommand, WritesTheTriangleAndFailsCleanly) {
    testing::TempDir dir;
    dir.write("g.txt", "3 3 1\n1 2 1\n2 3 2\n1 3 9\n");
    const std::string exe = std::string("'") + PMEDIAN_CONVERT_EXE + "'";
    testing::RunResult ok = testing::run_in(dir, exe + " orlib g.txt");
    EXPECT_EQ(ok.status, 0);
    EXPECT_EQ(ok.output, "3 1\n1 3\n2\n");

    ok = testing::run_in(dir, exe + " orlib g.txt -o out.dat && cat out.dat");
    EXPECT_EQ(ok.output, "3 1\n1 3\n2\n");

    dir.write("t.tsp", "DIMENSION : 3\nEDGE_WEIGHT_TYPE : EUC_2D\nNODE_COORD_SECTION\n1 0 0\n2 2.5 0\n3 3 4\nEOF\n");
    EXPECT_EQ(testing::run_in(dir, exe + " tsplib t.tsp 1").output, "3 1\n2 5\n4\n");
    EXPECT_EQ(testing::run_in(dir, exe + " tsplib t.tsp 1 --nint").output, "3 1\n3 5\n4\n");
    EXPECT_EQ(testing::run_in(dir, exe + " tsplib t.tsp 1 --real").output, "3 1\n2.5 5\n4.031129\n");

    // Real distances keep the float nearest to the distance; a matrix goes
    // through as it stands.
    dir.write("p.csv", "x,y\n0,0\n1,1\n");
    EXPECT_EQ(testing::run_in(dir, exe + " points p.csv 1").output, "2 1\n1.4142135\n");
    dir.write("m.csv", "0;2;3.5\n2;0;1\n3.5;1;0\n");
    EXPECT_EQ(testing::run_in(dir, exe + " matrix m.csv 2").output, "3 2\n2 3.5\n1\n");

    dir.write("asymmetric.txt", "0 1\n2 0\n");
    dir.write("weighted.csv", "x,y,weight\n0,0,2\n1,1,1\n");
    for (const char* bad :
         {"", " orlib", " orlib missing.txt", " points g.txt 0", " random 10 20 1", " random 10 2 x", " matrix g.txt 1",
          " frobnicate", " orlib g.txt --bogus", " tsplib t.tsp 4", " tsplib t.tsp 1 --floor --nint",
          " orlib g.txt --floor", " matrix asymmetric.txt 1", " points weighted.csv 1"}) {
        const testing::RunResult run = testing::run_in(dir, "{ " + exe + bad + " 2>&1; }");
        EXPECT_EQ(run.status, 1) << bad;
        EXPECT_EQ(run.output.rfind("pmedian-convert: ", 0), 0u) << run.output;
    }
    EXPECT_EQ(testing::run_in(dir, exe + " --help").status, 0);
}

}  // namespace
}  // namespace pmedian::tools
