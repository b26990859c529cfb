#include "problem.hpp"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "data_file.hpp"

namespace pmedian {
namespace {

// Loads n, p and the text that follows the header; returns the fatal
// message, or "" on success.
std::string load(State& s, int n, int p, const std::string& triangle) {
    std::FILE* f = std::tmpfile();
    std::fwrite(triangle.data(), 1, triangle.size(), f);
    std::rewind(f);
    TokenReader in(f);
    s.n = n;
    s.p = p;
    std::string message;
    try {
        load_problem(s, in);
    } catch (const Fatal& fatal) {
        message = fatal.message;
    }
    std::fclose(f);
    return message;
}

TEST(LoadProblem, MirrorsTheUpperTriangleWithAZeroDiagonal) {
    State s;
    ASSERT_EQ(load(s, 3, 1, "4 7 5"), "");
    const float expected[3][3] = {{0, 4, 7}, {4, 0, 5}, {7, 5, 0}};
    for (int i = 0; i < 3; ++i) {
        for (int j = 0; j < 3; ++j) EXPECT_EQ(s.dist[i][j], expected[i][j]) << i << "," << j;
    }
    EXPECT_EQ(s.vc.size(), 1u);
    EXPECT_EQ(s.vc[0].members.size(), 2u);
    EXPECT_EQ(s.best, (std::vector<int>{0, 0, 0}));
}

TEST(LoadProblem, MirrorsAcrossManyTiles) {
    // Past several square tiles of the copy, and not a multiple of one.
    const int n = 70;
    std::string text;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) text += std::to_string(i * 100 + j) + " ";
    }
    State s;
    ASSERT_EQ(load(s, n, 3, text), "");
    for (int i = 0; i < n; ++i) {
        EXPECT_EQ(s.dist[i][i], 0.0f) << i;
        for (int j = i + 1; j < n; ++j) {
            ASSERT_EQ(s.dist[i][j], float(i * 100 + j)) << i << "," << j;
            ASSERT_EQ(s.dist[j][i], float(i * 100 + j)) << j << "," << i;
        }
    }
}

TEST(LoadProblem, IgnoresLineLayoutAndTrailingText) {
    const char* layouts[] = {"1 2 3 4 5 6", "1 2 3\n4 5\n6\n", "1\n2\n3\n4\n5\n6", "\t1  2\r\n3 4 5 6 trailing words"};
    for (const char* layout : layouts) {
        State s;
        ASSERT_EQ(load(s, 4, 2, layout), "") << layout;
        EXPECT_EQ(s.dist[0][3], 3.0f);
        EXPECT_EQ(s.dist[3][2], 6.0f);
        EXPECT_EQ(s.dist[2][1], 4.0f);
    }
}

TEST(LoadProblem, OneNodeReadsNoDistance) {
    State s;
    EXPECT_EQ(load(s, 1, 1, ""), "");
    EXPECT_EQ(s.dist[0][0], 0.0f);
}

TEST(LoadProblem, ReportsTheCellOfAShortOrBadTriangle) {
    State s;
    EXPECT_EQ(load(s, 4, 1, "1 2 3 4 5"), "\nDistancia invalida ou ausente entre os nos 2 e 3\n");
    EXPECT_EQ(load(s, 4, 1, "1 2 x 4 5 6"), "\nDistancia invalida ou ausente entre os nos 0 e 3\n");
    EXPECT_EQ(load(s, 4, 1, "1 -2 3 4 5 6"), "\nDistancia fora do intervalo entre os nos 0 e 2\n");
}

TEST(LoadProblem, RejectsSizesOutsideOneToN) {
    const std::pair<int, int> sizes[] = {{0, 0}, {0, 1}, {3, 0}, {3, 4}, {-2, 1}, {5, -1}};
    for (auto [n, p] : sizes) {
        State s;
        char expected[128];
        std::snprintf(expected, sizeof expected, "\nTamanho invalido: n = %d e p = %d (exige 1 <= p <= n)\n", n, p);
        EXPECT_EQ(load(s, n, p, "1 2 3"), expected);
    }
}

TEST(LoadProblem, ReportsAMatrixThatCannotBeAllocated) {
    // 2^31 - 1 squared floats is far beyond any memory here.
    State s;
    EXPECT_EQ(load(s, 2147483647, 1, ""), "\n >>> Memoria insuficiente para *dist[2147483647]\n");
}

}  // namespace
}  // namespace pmedian
