// The OR-Library instances, where ../shared/orlib is at hand; skipped elsewhere.
#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

#include "inputs/graph_and_matrix.hpp"
#include "run_program.hpp"

namespace pmedian::tools {
namespace {

const std::string orlib_dir = ORLIB_DIR;

bool have_orlib() { return std::filesystem::exists(orlib_dir + "/pmed1.txt"); }

TEST(OrlibConversion, SmallGraphsGiveMetricMatrices) {
    if (!have_orlib()) GTEST_SKIP() << "no OR-Library files in " << orlib_dir;
    for (int k = 1; k <= 5; ++k) {
        const std::string name = orlib_dir + "/pmed" + std::to_string(k) + ".txt";
        std::FILE* file = std::fopen(name.c_str(), "r");
        ASSERT_NE(file, nullptr);
        const Instance g = read_orlib_instance(file, name);
        std::fclose(file);
        ASSERT_EQ(g.n, 100);
        for (int i = 0; i < g.n; ++i) {
            ASSERT_EQ(g.dist[i][i], 0);
            for (int j = 0; j < g.n; ++j) {
                ASSERT_EQ(g.dist[i][j], g.dist[j][i]);
                if (i != j) {
                    ASSERT_GT(g.dist[i][j], 0);
                }
                for (int m = 0; m < g.n; ++m) ASSERT_LE(g.dist[i][j], g.dist[i][m] + g.dist[m][j]);
            }
        }
    }
}

TEST(OrlibConversion, FirstInstanceSolvesToItsOptimum) {
    if (!have_orlib()) GTEST_SKIP() << "no OR-Library files in " << orlib_dir;
    testing::TempDir dir;
    const testing::RunResult run =
        testing::run_in(dir, std::string("'") + PMEDIAN_CONVERT_EXE + "' orlib '" + orlib_dir +
                                 "/pmed1.txt' -o facloc.dat && '" + PMEDIAN_EXE + "'");
    EXPECT_EQ(run.status, 1);
    EXPECT_NE(run.output.find("\nStatus: Solucao otima\n"), std::string::npos);
    EXPECT_NE(run.output.find("\nCusto da solucao =     5819.00\n"), std::string::npos);
}

}  // namespace
}  // namespace pmedian::tools
