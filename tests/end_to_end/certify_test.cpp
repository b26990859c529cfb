// The built pmedian-certify: its report, its JSON, its trace, its time
// limit and its exit statuses.
#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>
#include <string>

#include "expected_output.hpp"
#include "run_program.hpp"

namespace pmedian {
namespace {

const std::string seven_nodes = "7 3\n17 18 11 15 13 7\n16 16 9 5 21\n8 8 13 25\n8 11 18\n5 21\n18\n";

// d(i, j) of the seven-node instance.
double seven_node_distance(int i, int j) {
    static const double upper[7][7] = {{0, 17, 18, 11, 15, 13, 7}, {0, 0, 16, 16, 9, 5, 21}, {0, 0, 0, 8, 8, 13, 25},
                                       {0, 0, 0, 0, 8, 11, 18},    {0, 0, 0, 0, 0, 5, 21},   {0, 0, 0, 0, 0, 0, 18},
                                       {0, 0, 0, 0, 0, 0, 0}};
    return i < j ? upper[i][j] : upper[j][i];
}

// Runs pmedian-certify with args in a directory holding facloc.dat; with
// both_streams standard error is captured after standard output.
testing::RunResult certify(const testing::TempDir& dir, const std::string& args, bool both_streams = false) {
    const std::string command = std::string("'") + PMEDIAN_CERTIFY_EXE + "' " + args;
    return testing::run_in(dir, both_streams ? "{ " + command + " 2>&1; }" : command);
}

TEST(CertifyCommand, ReportsTheOptimumOfSevenNodesWithItsBound) {
    testing::TempDir dir;
    dir.write("facloc.dat", seven_nodes);
    const testing::RunResult run = certify(dir, "");
    EXPECT_EQ(run.status, 0);
    EXPECT_EQ(run.output, testing::sized(7, 3) +
                              "\nStatus: Solucao otima\n"
                              "\nNo     1 -> Mediana     5  Custo =        5.00"
                              "\nNo     2 -> Mediana     3  Custo =        8.00"
                              "\nNo     4 -> Mediana     5  Custo =        5.00"
                              "\nNo     6 -> Mediana     0  Custo =        7.00"
                              "\nCusto da solucao =       25.00"
                              "\nLimite inferior =       25.00\n");
}

TEST(CertifyCommand, JsonParsesAndItsCostIsThatOfItsMedians) {
    testing::TempDir dir;
    dir.write("seven.dat", seven_nodes);
    const testing::RunResult run = certify(dir, "--json --trace trace.csv seven.dat");
    ASSERT_EQ(run.status, 0);
    const nlohmann::json json = nlohmann::json::parse(run.output);
    EXPECT_EQ(json["n"].get<double>(), 7);
    EXPECT_EQ(json["p"].get<double>(), 3);
    ASSERT_EQ(json["medians"].size(), 3u);
    ASSERT_EQ(json["median_of"].size(), 7u);
    double cost = 0;
    for (int v = 0; v < 7; ++v) {
        const int median = int(json["median_of"][v].get<double>());
        double nearest = 1e300;
        bool listed = false;
        for (const nlohmann::json& m : json["medians"]) {
            nearest = std::min(nearest, seven_node_distance(v, int(m.get<double>())));
            listed = listed || int(m.get<double>()) == median;
        }
        EXPECT_TRUE(listed) << "node " << v;
        EXPECT_EQ(seven_node_distance(v, median), nearest) << "node " << v;
        cost += nearest;
    }
    EXPECT_EQ(json["cost"].get<double>(), cost);
    EXPECT_EQ(json["lower_bound"].get<double>(), 25);
    EXPECT_EQ(json["gap"].get<double>(), 0);
    EXPECT_EQ(json["relative_gap"].get<double>(), 0);
    EXPECT_EQ(json["status"].get<std::string>(), "optimal");
    EXPECT_EQ(json["ending"].get<std::string>(), "proven");

    // One trace line per iteration after the header.
    std::ifstream trace(dir.path() + "/trace.csv");
    std::string line;
    std::getline(trace, line);
    EXPECT_EQ(line, "iteration,lower_bound,upper_bound,step_factor,t");
    int lines = 0;
    while (std::getline(trace, line)) {
        ++lines;
        EXPECT_EQ(line.rfind(std::to_string(lines) + ",", 0), 0u) << line;
    }
    EXPECT_EQ(lines, int(json["iterations"].get<double>()));
}

TEST(CertifyCommand, AnExhaustedTimeLimitStillGivesASolution) {
    testing::TempDir dir;
    dir.write("facloc.dat", seven_nodes);
    const testing::RunResult run = certify(dir, "--time-limit 0 --json");
    ASSERT_EQ(run.status, 0);
    const nlohmann::json json = nlohmann::json::parse(run.output);
    EXPECT_EQ(json["iterations"].get<double>(), 1);
    EXPECT_EQ(json["medians"].size(), 3u);
    EXPECT_EQ(json["ending"].get<std::string>(), "time limit");
    EXPECT_EQ(json["status"].get<std::string>(), "feasible");
}

// A saved report or JSON starts the search: with no time to improve on
// it, it is the answer; one of another instance is bad data.
TEST(CertifyCommand, ASavedSolutionStartsTheSearch) {
    testing::TempDir dir;
    dir.write("facloc.dat", seven_nodes);
    // Medians 0, 1 and 2: a cost of 28, above the optimum, 25.
    dir.write("poor.txt", testing::sized(7, 3) +
                              "\nStatus: Solucao nao otima\n"
                              "\nNo     3 -> Mediana     2  Custo =        8.00"
                              "\nNo     4 -> Mediana     1  Custo =        9.00"
                              "\nNo     5 -> Mediana     1  Custo =        5.00"
                              "\nNo     6 -> Mediana     0  Custo =        7.00"
                              "\nCusto da solucao =       29.00\n");
    const testing::RunResult kept = certify(dir, "--time-limit 0 --json --start poor.txt");
    ASSERT_EQ(kept.status, 0);
    EXPECT_EQ(nlohmann::json::parse(kept.output)["medians"], nlohmann::json::parse("[0, 1, 2]"));
    const testing::RunResult best = certify(dir, "--json --start poor.txt");
    ASSERT_EQ(best.status, 0);
    dir.write("best.json", best.output);
    EXPECT_EQ(nlohmann::json::parse(best.output)["cost"].get<double>(), 25);
    const nlohmann::json again = nlohmann::json::parse(certify(dir, "--json --quiet --start best.json").output);
    EXPECT_EQ(again["cost"].get<double>(), 25);
    EXPECT_EQ(again["status"].get<std::string>(), "optimal");
    dir.write("four.dat", "4 2\n1 2 3\n4 5\n6\n");
    const testing::RunResult other = certify(dir, "--start best.json four.dat", true);
    EXPECT_EQ(other.status, 1);
    EXPECT_EQ(other.output, "pmedian-certify: best.json: the solution is of 7 nodes, the instance of 4\n");
    const testing::RunResult missing = certify(dir, "--start none.json", true);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "pmedian-certify: cannot read 'none.json'\n");
    EXPECT_EQ(certify(dir, "--start", true).status, 2);
}

// The trace is opened once the data is read, and a trace that cannot be
// written ends the run with status 1 instead of being lost.
TEST(CertifyCommand, TheTraceNeverHarmsTheDataAndItsFailuresAreReported) {
    testing::TempDir dir;
    dir.write("facloc.dat", seven_nodes);
    dir.write("same.dat", seven_nodes);
    const testing::RunResult same = certify(dir, "--quiet --trace same.dat same.dat", true);
    EXPECT_EQ(same.status, 0) << same.output;
    const testing::RunResult full = certify(dir, "--quiet --trace /dev/full", true);
    EXPECT_EQ(full.status, 1);
    EXPECT_NE(full.output.find("cannot write the trace file '/dev/full'"), std::string::npos) << full.output;
    const testing::RunResult nowhere = certify(dir, "--quiet --trace /nonexistent/dir/trace.csv", true);
    EXPECT_EQ(nowhere.status, 1);
    EXPECT_EQ(nowhere.output.rfind("pmedian-certify: cannot write the trace file", 0), 0u) << nowhere.output;
}

TEST(CertifyCommand, BadArgumentsExitTwoAndBadDataOne) {
    testing::TempDir dir;
    dir.write("facloc.dat", seven_nodes);
    dir.write("cut.dat", "7 3\n17 18\n");
    for (const char* args :
         {"--bogus", "--time-limit", "--time-limit soon", "--time-limit -1", "a.dat b.dat", "--rel-gap", "--abs-gap -1",
          "--rel-gap x", "--points p.csv", "--points p.csv -p 0", "--points p.csv -p 2.5", "-p 3",
          "--points p.csv -p 2 --distance manhattan", "--matrix m.csv -p 2 --distance floor",
          "--points p.csv -p 2 --weights w.csv", "--points p.csv --tsplib t.tsp -p 2"}) {
        const testing::RunResult run = certify(dir, args, true);
        EXPECT_EQ(run.status, 2) << args;
        EXPECT_EQ(run.output.rfind("pmedian-certify: ", 0), 0u) << args;
    }
    dir.write("words.dat", "seven three\n");
    EXPECT_EQ(certify(dir, "words.dat", true).output,
              "pmedian-certify: Cabecalho invalido em 'words.dat': esperados n e p inteiros\n");
    const testing::RunResult cut = certify(dir, "cut.dat", true);
    EXPECT_EQ(cut.status, 1);
    EXPECT_EQ(cut.output, "pmedian-certify: Distancia invalida ou ausente entre os nos 0 e 3\n");
    const testing::RunResult missing = certify(dir, "--json none.dat", true);
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.output, "pmedian-certify: Arquivo de dados 'none.dat' nao pode ser aberto\n");
    const testing::RunResult help = certify(dir, "--help");
    EXPECT_NE(help.output.find("--rel-gap R"), std::string::npos);
    EXPECT_EQ(help.status, 0);
    EXPECT_NE(help.output.find("--time-limit SECONDS"), std::string::npos);
}

// Towns on a line with weights, a client that is no site, a site that is no
// client and a depot fixed open: read as CSV, solved, and written back per
// client.
TEST(CertifyCommand, APointsTableWithWeightsRolesAndAFixedSite) {
    testing::TempDir dir;
    dir.write("towns.csv",
              "id;x;y;weight;role;fixed\n"
              "north;0;10;5;both;0\n"
              "mill;0;9;1;client;0\n"
              "south;0;0;4;both;0\n"
              "depot;0;20;0;site;1\n"
              "east;0;-7;3;both;\n");
    const testing::RunResult run = certify(dir, "--points towns.csv -p 2 --json --assignment out.csv");
    ASSERT_EQ(run.status, 0);
    const nlohmann::json json = nlohmann::json::parse(run.output);
    // The depot is open; with south the others cost 5 x 10 + 1 x 9 + 3 x 7
    // = 80, with north 1 x 1 + 4 x 10 + 3 x 17 = 92, with east more. North
    // is as near to the depot as to south: the first median serves it.
    ASSERT_EQ(json["median_ids"].size(), 2u);
    EXPECT_EQ(json["median_ids"][0].get<std::string>(), "south");
    EXPECT_EQ(json["median_ids"][1].get<std::string>(), "depot");
    EXPECT_EQ(json["cost"].get<double>(), 80);
    EXPECT_EQ(json["lower_bound"].get<double>(), 80);
    EXPECT_EQ(json["status"].get<std::string>(), "optimal");
    EXPECT_EQ(json["load"][0].get<double>(), 13);
    std::ifstream out(dir.path() + "/out.csv");
    std::stringstream text;
    text << out.rdbuf();
    EXPECT_EQ(text.str(),
              "client,site,distance,weight\n"
              "north,south,10,5\n"
              "mill,south,9,1\n"
              "south,south,0,4\n"
              "east,south,7,3\n");
}

TEST(CertifyCommand, EveryReaderNamesWhereTheInputIsBadAndNoneWaitsForAnEnd) {
    testing::TempDir dir;
    dir.write("bad.csv", "x,y\n1,2\n3,4q\n");
    const testing::RunResult bad = certify(dir, "--points bad.csv -p 1", true);
    EXPECT_EQ(bad.status, 1);
    EXPECT_EQ(bad.output, "pmedian-certify: bad.csv: line 3, column 3: '4q' is not a number\n");
    dir.write("few.csv", "x,y,role\n1,2,client\n3,4,site\n");
    EXPECT_EQ(certify(dir, "--points few.csv -p 2", true).output,
              "pmedian-certify: p = 2, but there are 1 candidate sites (needs 1 <= p <= sites)\n");
    for (const char* args : {"/dev/zero", "--points /dev/zero -p 1", "--tsplib /dev/zero -p 1",
                             "--matrix /dev/zero -p 1", "--orlib /dev/zero"}) {
        const testing::RunResult endless = certify(dir, args, true);
        EXPECT_EQ(endless.status, 1) << args;
        EXPECT_EQ(endless.output.rfind("pmedian-certify: ", 0), 0u) << endless.output;
    }
    const testing::RunResult missing = certify(dir, "--points none.csv -p 1", true);
    EXPECT_EQ(missing.output, "pmedian-certify: cannot read 'none.csv'\n");
}

}  // namespace
}  // namespace pmedian
