// The built pmedian run in a temporary directory: whole output and status.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "expected_output.hpp"
#include "run_program.hpp"

namespace pmedian {
namespace {

using testing::run_with_data;

using testing::banner;
using testing::sized;

void expect_run(const std::string& data, const std::string& expected_output) {
    const testing::RunResult run = run_with_data(PMEDIAN_EXE, data);
    EXPECT_EQ(run.output, expected_output);
    EXPECT_EQ(run.status, 1);
}

TEST(WholeRun, FourNodes) {
    expect_run("4 1\n1 1 1\n2 2\n2\n", sized(4, 1) +
                                           "\nStatus: Solucao otima\n"
                                           "\nNo     3 -> Mediana     0  Custo =        1.00"
                                           "\nNo     2 -> Mediana     0  Custo =        1.00"
                                           "\nNo     1 -> Mediana     0  Custo =        1.00"
                                           "\nCusto da solucao =        3.00\n");
}

TEST(WholeRun, SixNodes) {
    expect_run("6 2\n16 9 7 14 15\n21 18 2 12\n16 19 14\n16 21\n10\n",
               sized(6, 2) +
                   "\nStatus: Solucao otima\n"
                   "\nNo     2 -> Mediana     0  Custo =        9.00"
                   "\nNo     3 -> Mediana     0  Custo =        7.00"
                   "\nNo     5 -> Mediana     4  Custo =       10.00"
                   "\nNo     1 -> Mediana     4  Custo =        2.00"
                   "\nCusto da solucao =       28.00\n");
}

TEST(WholeRun, SevenNodesInAnyLineLayout) {
    const std::string expected = sized(7, 3) +
                                 "\nStatus: Solucao nao otima\n"
                                 "\nNo     1 -> Mediana     4  Custo =        9.00"
                                 "\nNo     2 -> Mediana     4  Custo =        8.00"
                                 "\nNo     5 -> Mediana     4  Custo =        5.00"
                                 "\nNo     6 -> Mediana     0  Custo =        7.00"
                                 "\nCusto da solucao =       29.00\n";
    expect_run("7 3\n17 18 11 15 13 7\n16 16 9 5 21\n8 8 13 25\n8 11 18\n5 21\n18\n", expected);
    expect_run("7\n3 17 18 11 15 13 7 16 16 9 5 21 8 8 13 25 8 11 18 5 21 18", expected);
    expect_run("+7 3 1.7e1 18. 11.0 015 13 7 16 16 9 5 21 8 8 13 25 8 11 18 5 21 18 and more", expected);
}

TEST(WholeRun, OneNodeAndEveryNodeAMedianAreOptimalWithZeroCost) {
    expect_run("1 1\n", sized(1, 1) + "\nStatus: Solucao otima\n\nCusto da solucao =        0.00\n");
    expect_run("3 3\n4 7 5\n", sized(3, 3) + "\nStatus: Solucao otima\n\nCusto da solucao =        0.00\n");
}

TEST(WholeRun, AnAllZeroMatrixListsEachNodeOnce) {
    expect_run("3 1\n0 0 0\n", sized(3, 1) +
                                   "\nStatus: Solucao otima\n"
                                   "\nNo     1 -> Mediana     2  Custo =        0.00"
                                   "\nNo     0 -> Mediana     2  Custo =        0.00"
                                   "\nCusto da solucao =        0.00\n");
}

TEST(BadInput, MissingFile) {
    const testing::RunResult run = run_with_data(PMEDIAN_EXE, nullptr);
    EXPECT_EQ(run.output, banner + "\nArquivo de dados 'facloc.dat' nao pode ser aberto\n");
    EXPECT_EQ(run.status, 1);
}

TEST(BadInput, DirectoryInPlaceOfTheFile) {
    testing::TempDir dir;
    std::filesystem::create_directory(dir.path() + "/facloc.dat");
    const testing::RunResult run = testing::run_in(dir, std::string("'") + PMEDIAN_EXE + "'");
    EXPECT_EQ(run.output, banner + "\nArquivo de dados 'facloc.dat' nao pode ser aberto\n");
    EXPECT_EQ(run.status, 1);
}

TEST(BadInput, HeaderThatIsNotTwoInts) {
    const std::string message = banner + "\nCabecalho invalido em 'facloc.dat': esperados n e p inteiros\n";
    for (const char* data : {"", "4", "four 1\n1 1 1 2 2 2", "4 1.5\n1 1 1 2 2 2", "3000000000 1\n"}) {
        expect_run(data, message);
    }
}

TEST(BadInput, SizeOutsideOneToN) {
    expect_run("0 0\n", sized(0, 0) + "\nTamanho invalido: n = 0 e p = 0 (exige 1 <= p <= n)\n");
    expect_run("3 4\n1 2 3\n", sized(3, 4) + "\nTamanho invalido: n = 3 e p = 4 (exige 1 <= p <= n)\n");
    expect_run("-5 1\n", sized(-5, 1) + "\nTamanho invalido: n = -5 e p = 1 (exige 1 <= p <= n)\n");
    expect_run("3 -1\n", sized(3, -1) + "\nTamanho invalido: n = 3 e p = -1 (exige 1 <= p <= n)\n");
}

TEST(BadInput, DistanceMissingOrNotANumber) {
    const std::string prefix = sized(4, 1);
    expect_run("4 1\n1 1 1\n2 2\n", prefix + "\nDistancia invalida ou ausente entre os nos 2 e 3\n");
    expect_run("4 1\n1 1 1\n2 2,5\n2\n", prefix + "\nDistancia invalida ou ausente entre os nos 1 e 3\n");
    for (const char* token : {"x", "5abc", "1e", "nan", "inf", "0x1p3"}) {
        expect_run(std::string("4 1\n1 ") + token + " 1\n2 2\n2\n",
                   prefix + "\nDistancia invalida ou ausente entre os nos 0 e 2\n");
    }
}

TEST(BadInput, DistanceOutOfRange) {
    const std::string prefix = sized(4, 1);
    for (const char* token : {"-1", "9.99e10", "1e39"}) {
        expect_run(std::string("4 1\n1 1 1\n2 ") + token + "\n2\n",
                   prefix + "\nDistancia fora do intervalo entre os nos 1 e 3\n");
    }
}

TEST(BadInput, UnderflowIsZeroAndAccepted) {
    const testing::RunResult run = run_with_data(PMEDIAN_EXE, "3 1\n1e-50 1 1\n");
    EXPECT_NE(run.output.find("Custo da solucao =        1.00"), std::string::npos) << run.output;
}

}  // namespace
}  // namespace pmedian
