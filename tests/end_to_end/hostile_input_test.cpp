// Hostile and extreme data files: every bad one ends with status 1, its
// message and no report; every valid one gives a well-formed report.
#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <string>

#include "expected_output.hpp"
#include "run_program.hpp"

namespace pmedian {
namespace {

using testing::run_with_data;

using testing::banner;
using testing::sized;

const std::string bad_header = banner + "\nCabecalho invalido em 'facloc.dat': esperados n e p inteiros\n";

std::string missing(int n, int p, int i, int j) {
    return sized(n, p) + "\nDistancia invalida ou ausente entre os nos " + std::to_string(i) + " e " +
           std::to_string(j) + "\n";
}

void expect_failure(const std::string& data, const std::string& expected) {
    const testing::RunResult run = run_with_data(PMEDIAN_EXE, data);
    EXPECT_EQ(run.output, expected);
    EXPECT_EQ(run.status, 1);
}

TEST(HostileInput, EmptyOrJunkFilesHaveNoHeader) {
    expect_failure("", bad_header);
    expect_failure(std::string("\0\0\0\0", 4), bad_header);
    std::string junk;
    for (int k = 0; k < 4096; ++k) junk += char((k * 151 + 7) % 256);
    expect_failure(junk, bad_header);
    expect_failure(
        "\xef\xbb\xbf"
        "4 1\n1 1 1 2 2 2\n",
        bad_header);  // a byte-order mark is not a digit
}

TEST(HostileInput, NulByteInsideANumber) {
    expect_failure(std::string("4 1\n1 1\0"
                               "1 2 2 2\n",
                               16),
                   missing(4, 1, 0, 2));
    expect_failure(std::string("4\0"
                               " 1\n1 1 1 2 2 2\n",
                               15),
                   bad_header);
}

TEST(HostileInput, TokenOfAMegabyte) {
    expect_failure("3 1\n1 " + std::string(1 << 20, 'x') + " 1\n", missing(3, 1, 0, 2));
    // A megabyte of digits is a valid number, far too large for a float.
    expect_failure("3 1\n1 " + std::string(1 << 20, '9') + " 1\n",
                   sized(3, 1) + "\nDistancia fora do intervalo entre os nos 0 e 2\n");
    expect_failure(std::string(1 << 20, '7') + " 1\n", bad_header);
}

// A token that never ends, as a data file of zero bytes or of digits
// without end gives: the reader stops at the first byte no number holds,
// or past a length no number reaches, and holds no more than that.
TEST(HostileInput, ATokenWithoutEndFailsAtOnceInBoundedMemory) {
    EXPECT_EQ(run_with_data(PMEDIAN_EXE, "3 1\n1 " + std::string(64 << 20, '\0') + " 1\n").output, missing(3, 1, 0, 2));
    const testing::TempDir dir;
    {
        const std::string digits = "3 1\n1 " + std::string(128 << 20, '9') + " 1\n";
        EXPECT_EQ(run_with_data(PMEDIAN_EXE, digits).output, missing(3, 1, 0, 2));
        dir.write("facloc.dat", digits);
    }
    const long peak = testing::peak_kilobytes_of_run_in(PMEDIAN_EXE, dir);
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, 96 << 10);  // the 128 MB token is never held whole
}

TEST(HostileInput, MatrixCutShortAnywhere) {
    const std::string full = "5 2\n1 2 3 4\n5 6 7\n8 9\n10\n";
    const int cells[][2] = {{0, 1}, {0, 2}, {0, 3}, {0, 4}, {1, 2}, {1, 3}, {1, 4}, {2, 3}, {2, 4}, {3, 4}};
    // Cut right after the header, then after each value but the last.
    std::size_t at = full.find('\n') + 1;
    for (const auto& cell : cells) {
        expect_failure(full.substr(0, at), missing(5, 2, cell[0], cell[1]));
        at = full.find_first_of(" \n", at) + 1;
    }
    // Cut in the middle of the last value leaves it whole but shorter: "1".
    EXPECT_NE(run_with_data(PMEDIAN_EXE, full.substr(0, full.size() - 2)).output.find("Custo da solucao"),
              std::string::npos);
}

TEST(HostileInput, EachKindOfBadToken) {
    for (const char* token :
         {"abc", "2,5", "5abc", "1e",  "1e+",  "e5",       ".",    "-",     "1..2", "1.2.3", "--1",
          "+-1", "nan", "NaN",  "inf", "-inf", "Infinity", "0x10", "0x1p3", "1f",   "5%",    "\x80"}) {
        expect_failure(std::string("3 1\n1 ") + token + " 1\n", missing(3, 1, 0, 2));
    }
}

TEST(HostileInput, ValuesOutOfRange) {
    for (const char* token : {"-1", "-0.001", "-1e-30", "9.99e10", "99899998208", "1e11", "3.5e38", "1e39", "1e400"}) {
        expect_failure(std::string("3 1\n1 ") + token + " 1\n",
                       sized(3, 1) + "\nDistancia fora do intervalo entre os nos 0 e 2\n");
    }
}

TEST(HostileInput, HeaderOutOfRangeOrNonsense) {
    for (const char* header : {"2147483648 1", "4 99999999999", "-", "4 +", "0x10 1", "4e0 1", "4 1e0"}) {
        expect_failure(std::string(header) + "\n1 1 1 2 2 2\n", bad_header);
    }
}

TEST(HostileInput, MatrixTooLargeToAllocate) {
    expect_failure("200000 5\n1 2 3\n", sized(200000, 5) + "\n >>> Memoria insuficiente para *dist[200000]\n");
}

TEST(HostileInput, MatrixWhoseCellCountOverflowsAnInt) {
    // 46341 squared is above 2^31: sized correctly, it either fits or is
    // refused, and then the missing distances are reported.
    const testing::RunResult run = run_with_data(PMEDIAN_EXE, "46341 1\n1 2 3\n");
    EXPECT_EQ(run.status, 1);
    const bool refused = run.output == sized(46341, 1) + "\n >>> Memoria insuficiente para *dist[46341]\n";
    EXPECT_TRUE(refused || run.output == missing(46341, 1, 0, 4)) << run.output;
}

TEST(HostileInput, AFileEndingEarlyTouchesLittleOfTheMatrixItsHeaderClaims) {
    // An 8.6 GB matrix, refused or allocated: either way the run ends at the
    // missing distances having filled a few megabytes, not the whole matrix.
    // (Under AddressSanitizer the allocation alone writes an eighth of its
    // size in shadow memory.)
    const long matrix_kilobytes = 46341L * 46341L * 4 / 1024;
    const long peak = testing::peak_kilobytes_of_run(PMEDIAN_EXE, "46341 1\n1 2 3\n");
    EXPECT_GT(peak, 0);
    EXPECT_LT(peak, matrix_kilobytes / 4);
}

// Checks the report's shape: the status, every non-median node exactly
// once, no median among them, and the total line.
void expect_well_formed(int n, int p, const std::string& data) {
    const testing::RunResult run = run_with_data(PMEDIAN_EXE, data);
    EXPECT_EQ(run.status, 1);
    const std::string head = sized(n, p) + "\nStatus: Solucao";
    ASSERT_EQ(run.output.substr(0, head.size()), head) << run.output;
    std::set<int> listed;
    std::set<int> medians;
    int lines = 0;
    for (std::size_t at = run.output.find("\nNo "); at != std::string::npos; at = run.output.find("\nNo ", at + 1)) {
        int node = -1;
        int median = -1;
        ASSERT_EQ(std::sscanf(run.output.c_str() + at, "\nNo %d -> Mediana %d", &node, &median), 2);
        ASSERT_TRUE(node >= 0 && node < n && median >= 0 && median < n);
        listed.insert(node);
        medians.insert(median);
        ++lines;
    }
    EXPECT_EQ(lines, n - p);
    EXPECT_EQ(int(listed.size()), n - p) << "a node is listed twice";
    for (int m : medians) EXPECT_EQ(listed.count(m), 0u) << "median " << m << " is listed as a client";
    EXPECT_LE(int(medians.size()), p);
    EXPECT_NE(run.output.find("\nCusto da solucao = "), std::string::npos);
    EXPECT_EQ(run.output.back(), '\n');
}

std::string triangle(int n, int p, const std::function<std::string(int, int)>& value) {
    std::string data = std::to_string(n) + " " + std::to_string(p) + "\n";
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) data += value(i, j) + " ";
        data += "\n";
    }
    return data;
}

TEST(ExtremeData, GiveWellFormedReports) {
    expect_well_formed(6, 2, triangle(6, 2, [](int, int) { return "9e10"; }));
    expect_well_formed(6, 2, triangle(6, 2, [](int i, int j) { return (i + j) % 2 ? "9e10" : "8.5e10"; }));
    expect_well_formed(8, 3, triangle(8, 3, [](int, int) { return "7"; }));
    expect_well_formed(8, 3, triangle(8, 3, [](int, int) { return "0"; }));
    expect_well_formed(8, 7, triangle(8, 7, [](int i, int j) { return std::to_string(i * j + 1); }));
    expect_well_formed(2, 1, "2 1\n5\n");
    expect_well_formed(2, 2, "2 2\n5\n");
    const char* magnitudes[] = {"1e-30", "5e9", "3.25", "1e-10", "4.9e9", "0.5", "7e5", "1e-20"};
    expect_well_formed(9, 3, triangle(9, 3, [&](int i, int j) { return magnitudes[(i * 3 + j) % 8]; }));
}

}  // namespace
}  // namespace pmedian
