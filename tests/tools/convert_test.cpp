#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <sstream>
#include <string>

#include "facloc_writer.hpp"
#include "instance_sources.hpp"
#include "run_program.hpp"

namespace pmedian::tools {
namespace {

DenseInstance orlib_of(const std::string& text) {
    std::istringstream in(text);
    return read_orlib(in);
}

std::string error_of(const std::function<void()>& fn) {
    try {
        fn();
    } catch (const InputError& error) {
        return error.what();
    }
    return "";
}

TEST(ReadOrlib, ShortestPathsWithTheLastCostOfARepeatedEdge) {
    // Path 1-2-3-4 plus a chord 1-4; the edge 2-3 is given twice (reversed),
    // first 50 then 5.
    const DenseInstance g = orlib_of("4 5 2\n1 2 3\n2 3 50\n3 4 4\n1 4 20\n3 2 5\n");
    EXPECT_EQ(g.n, 4);
    EXPECT_EQ(g.p, 2);
    EXPECT_EQ(g.at(0, 1), 3);
    EXPECT_EQ(g.at(0, 2), 8);
    EXPECT_EQ(g.at(0, 3), 12);  // 3 + 5 + 4 beats the chord of 20
    EXPECT_EQ(g.at(1, 3), 9);
    EXPECT_EQ(g.at(3, 0), 12);
    EXPECT_EQ(g.at(2, 2), 0);
}

TEST(ReadOrlib, ALaterLargerCostReplacesAShorterOne) {
    const DenseInstance g = orlib_of("2 2 1\n1 2 3\n1 2 7\n");
    EXPECT_EQ(g.at(0, 1), 7);
}

TEST(ReadOrlib, RejectsBrokenFiles) {
    EXPECT_NE(error_of([] { orlib_of("3 2 1\n1 2 1\n"); }).find("ends after 1 of 2 edges"), std::string::npos);
    EXPECT_NE(error_of([] { orlib_of("3 2 1\n1 2 1\n2 4 1\n"); }).find("node '4' is not a number from 1 to 3"),
              std::string::npos);
    EXPECT_NE(error_of([] { orlib_of("3 1 1\n0 2 1\n"); }).find("node '0'"), std::string::npos);
    EXPECT_NE(error_of([] { orlib_of("3 1 1\n1 2 1\n"); }).find("not connected"), std::string::npos);
    EXPECT_NE(error_of([] { orlib_of("3 2 1\n1 2 -1\n2 3 1\n"); }).find("not a non-negative number"),
              std::string::npos);
    EXPECT_NE(error_of([] { orlib_of("3 x 1\n"); }).find("number of edges"), std::string::npos);
    EXPECT_NE(error_of([] { orlib_of("3 2 4\n1 2 1\n2 3 1\n"); }).find("1 <= p <= n"), std::string::npos);
    EXPECT_NE(error_of([] { orlib_of(""); }).find("number of nodes"), std::string::npos);
}

DenseInstance matrix_of(const std::string& text) {
    std::istringstream in(text);
    return read_matrix(in, 1);
}

TEST(ReadMatrix, AcceptsASymmetricMatrixWithZeroDiagonal) {
    const DenseInstance m = matrix_of("0 2 3.5\n2 0 1\n\n3.5 1 0\n");
    EXPECT_EQ(m.n, 3);
    EXPECT_EQ(m.at(0, 2), 3.5);
    EXPECT_EQ(m.at(2, 1), 1);
}

TEST(ReadMatrix, RejectsEachBrokenShape) {
    EXPECT_NE(error_of([] { matrix_of("0 1\n1 0 2\n"); }).find("not square"), std::string::npos);
    EXPECT_NE(error_of([] { matrix_of("0 1 2\n1 0 2\n"); }).find("not square"), std::string::npos);
    EXPECT_NE(error_of([] { matrix_of("0 1\n2 0\n"); }).find("not symmetric: row 1, column 2"), std::string::npos);
    EXPECT_NE(error_of([] { matrix_of("0 1\n1 5\n"); }).find("diagonal is not zero at row 2"), std::string::npos);
    EXPECT_NE(error_of([] { matrix_of("0 x\nx 0\n"); }).find("'x' is not a number"), std::string::npos);
    EXPECT_NE(error_of([] { matrix_of(""); }).find("empty"), std::string::npos);
}

TEST(ReadPoints, SkipsCommentsAndBlankLinesAndChecksDimensions) {
    std::istringstream in("# x y\n\n0 0\n3 4\n");
    const std::vector<Point> points = read_points(in);
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(euclidean(points[0], points[1]), 5.0f);
    std::istringstream ragged("0 0\n1 2 3\n");
    EXPECT_NE(error_of([&] { read_points(ragged); }).find("line 2: this point has 3 coordinates"), std::string::npos);
    std::istringstream single("5\n");
    EXPECT_NE(error_of([&] { read_points(single); }).find("at least two"), std::string::npos);
}

TEST(ReadTsplib, ReadsTheCoordinatesOfAnEuc2dFile) {
    std::istringstream in("NAME : three\nTYPE : TSP\nDIMENSION : 3\nEDGE_WEIGHT_TYPE : EUC_2D\n"
                          "NODE_COORD_SECTION\n1 0 0\n2 3.0e+00 4\n3 1 1\nEOF\n");
    const std::vector<Point> points = read_tsplib(in);
    ASSERT_EQ(points.size(), 3u);
    EXPECT_EQ(euclidean_rounded(points[0], points[1], Rounding::floor), 5);
    EXPECT_EQ(euclidean_rounded(points[0], points[2], Rounding::floor), 1);
    for (const char* broken : {"DIMENSION : 2\nEDGE_WEIGHT_TYPE : GEO\nNODE_COORD_SECTION\n1 0 0\n2 1 1\n",
                               "DIMENSION : 3\nEDGE_WEIGHT_TYPE : EUC_2D\nNODE_COORD_SECTION\n1 0 0\n2 1 1\n",
                               "DIMENSION : 2\nEDGE_WEIGHT_TYPE : EUC_2D\nNODE_COORD_SECTION\n1 0 0\n2 x 1\n",
                               "DIMENSION : 2\nEDGE_WEIGHT_TYPE : EUC_2D\n"}) {
        std::istringstream bad(broken);
        EXPECT_FALSE(error_of([&] { read_tsplib(bad); }).empty()) << broken;
    }
}

TEST(Euclidean, RoundsHalvesUpAndKeepsFractionsAsTheNearestFloat) {
    EXPECT_EQ(euclidean_rounded({0, 0}, {2.5, 0}, Rounding::nint), 3);
    EXPECT_EQ(euclidean_rounded({0, 0}, {1.5, 0}, Rounding::nint), 2);
    EXPECT_EQ(euclidean_rounded({0, 0}, {1, 1}, Rounding::nint), 1);
    EXPECT_EQ(euclidean_rounded({0, 0, 0}, {1, 1, 1}, Rounding::nint), 2);
    EXPECT_EQ(euclidean_rounded({0, 0}, {2.5, 0}, Rounding::floor), 2);
    EXPECT_EQ(euclidean_rounded({0, 0}, {3, 4}, Rounding::floor), 5);
    EXPECT_EQ(euclidean_rounded({0, 0}, {1, 1}, Rounding::floor), 1);
    EXPECT_EQ(euclidean({0, 0}, {1, 1}), float(std::sqrt(2.0)));
    std::string text;
    append_number(text, euclidean({0, 0}, {1, 1}));
    EXPECT_EQ(text, "1.4142135");
}

TEST(RandomPoints, TheSameSeedDrawsTheSamePointsEverywhere) {
    const std::vector<Point> a = random_points(50, 7);
    EXPECT_EQ(a, random_points(50, 7));
    EXPECT_NE(a, random_points(50, 8));
    for (const Point& point : a) {
        for (double x : point) {
            EXPECT_GE(x, 0);
            EXPECT_LT(x, 1000);
        }
    }
    // Pinned values: a change of generator would silently change every file.
    std::string text;
    append_number(text, random_points(1, 42)[0][0]);
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

    for (const char* bad : {"", " orlib", " orlib missing.txt", " points g.txt 0", " random 10 20 1", " random 10 2 x",
                            " matrix g.txt 1", " frobnicate", " orlib g.txt --bogus", " tsplib t.tsp 4",
                            " tsplib t.tsp 1 --floor --nint", " orlib g.txt --floor"}) {
        EXPECT_EQ(testing::run_in(dir, exe + bad).status, 1) << bad;
    }
    EXPECT_EQ(testing::run_in(dir, exe + " --help").status, 0);
}

}  // namespace
}  // namespace pmedian::tools
