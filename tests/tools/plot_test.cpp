#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "command_line.hpp"
#include "convergence_chart.hpp"
#include "inputs/points_table.hpp"
#include "inputs/solution_reader.hpp"
#include "problem.hpp"
#include "run_program.hpp"
#include "solution_map.hpp"
#include "svg_text.hpp"

namespace pmedian::tools {
namespace {

const char* seven_node_report =
    "Problema de P-Medianas\n"
    "Heuristica Lagrangeana/Surrogate (Varnel & Oskarin)\n\n"
    "------------------------------------------\n"
    "Problema com     7 nos e     3 medianas...\n\n"
    "------------------------------------------\n"
    "Status: Solucao nao otima\n\n"
    "No     1 -> Mediana     4  Custo =        9.00\n"
    "No     2 -> Mediana     4  Custo =        8.00\n"
    "No     5 -> Mediana     4  Custo =        5.00\n"
    "No     6 -> Mediana     0  Custo =        7.00\n"
    "Custo da solucao =       29.00\n";

std::size_t count(const std::string& text, const std::string& what) {
    std::size_t found = 0;
    for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++found;
    return found;
}

TEST(ReadReport, FindsEveryMedianEvenOneServingNobody) {
    std::istringstream in(seven_node_report);
    const SolutionReport report = read_report(in);
    EXPECT_EQ(report.n, 7);
    EXPECT_EQ(report.p, 3);
    EXPECT_EQ(report.status, "Solucao nao otima");
    EXPECT_EQ(report.total, "29.00");
    EXPECT_EQ(report.median_of, (std::vector<int>{0, 4, 4, 3, 4, 4, 0}));
}

TEST(ReadReport, RefusesAnErrorOrACutReport) {
    std::istringstream failed("Problema de P-Medianas\n\nArquivo de dados 'facloc.dat' nao pode ser aberto\n");
    try {
        read_report(failed);
        ADD_FAILURE();
    } catch (const Fatal& error) {
        EXPECT_NE(error.message.find("nao pode ser aberto"), std::string::npos);
    }
    std::string cut(seven_node_report);
    cut.erase(cut.find("No     6"));
    std::istringstream truncated(cut);
    EXPECT_THROW(read_report(truncated), Fatal);
}

PointsTable seven_points() {
    PointsTable points;
    points.n = 7;
    points.dimension = 2;
    points.coords = {0, 0, 1, 0, 2, 0, 3, 0, 4, 0, 5, 5, 0, 6};
    return points;
}

TEST(SolutionMap, DrawsEachNodeLineAndSiteWithAxesALegendAndACaption) {
    std::istringstream in(seven_node_report);
    const SolutionReport report = read_report(in);
    const std::string svg = solution_map_svg(seven_points(), report);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_EQ(count(svg, "stroke-opacity"), 1u);
    EXPECT_EQ(count(svg, "<title>site "), 3u);
    EXPECT_NE(svg.find(">open site</text>"), std::string::npos);
    EXPECT_NE(svg.find("n = 7, p = 3, cost = 29.00, Solucao nao otima"), std::string::npos);
    // Round ticks: by 2 on both axes, to 4 across and 6 up.
    EXPECT_NE(svg.find("text-anchor=\"middle\">4</text>"), std::string::npos);
    EXPECT_NE(svg.find("text-anchor=\"end\">6</text>"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST(RoundTicks, OneTwoOrFiveTimesAPowerOfTen) {
    EXPECT_EQ(round_ticks(0, 6, 6), (std::vector<double>{0, 1, 2, 3, 4, 5, 6}));
    EXPECT_EQ(round_ticks(13, 97, 5), (std::vector<double>{20, 40, 60, 80}));
    EXPECT_EQ(round_ticks(-0.013, 0.012, 5), (std::vector<double>{-0.01, -0.005, 0, 0.005, 0.01}));
    EXPECT_EQ(tick_label(0.005, 0.005), "0.005");
    EXPECT_EQ(tick_label(25000, 5000), "25000");
}

// pmedian-certify's JSON of a weighted instance with a client that is no
// site, a site that is no client and a fixed one.
TEST(SolutionMap, DrawsCertifysJsonWithRolesBoundAndGap) {
    std::istringstream in(
        R"({"n":4,"p":2,"medians":[0,3],"median_of":[0,0,3,3],"cost":12.5,"lower_bound":12.5,"gap":0,)"
        R"("relative_gap":0,"status":"optimal","ending":"proven"})");
    const SolutionReport solution = read_solution(in);
    EXPECT_EQ(solution.median_of, (std::vector<int>{0, 0, 3, 3}));
    PointsTable points = seven_points();
    points.n = 4;
    points.coords.resize(8);
    points.weight = {1, 2, 0, 1};
    points.sites = {-1, 0, -1, 1};
    const std::string svg = solution_map_svg(points, solution);
    EXPECT_NE(svg.find("cost = 12.5, bound = 12.5, gap = 0.000 %, proven optimal"), std::string::npos);
    EXPECT_EQ(count(svg, "<title>fixed site 3</title>"), 1u);
    EXPECT_EQ(count(svg, "fill=\"white\" stroke=\"gray\""), 2u);  // the closed site and its legend
    std::istringstream wrong(R"({"n":2,"p":1,"median_of":[1,0]})");
    EXPECT_THROW(read_solution(wrong), Fatal);
}

TEST(PlotCommand, ChecksThatPointsAndSolutionFit) {
    testing::TempDir dir;
    dir.write("report.txt", seven_node_report);
    dir.write("seven.txt", "0 0\n1 0\n2 0\n3 0\n4 0\n5 5\n0 6\n");
    dir.write("three.txt", "0 0\n1 0\n2 0\n");
    const std::string exe = std::string("'") + PMEDIAN_PLOT_EXE + "'";
    const testing::RunResult ok = testing::run_in(dir, exe + " seven.txt report.txt");
    EXPECT_EQ(ok.status, 0);
    EXPECT_NE(ok.output.find("</svg>"), std::string::npos);
    EXPECT_EQ(testing::run_in(dir, exe + " three.txt report.txt").status, 1);
    EXPECT_EQ(testing::run_in(dir, exe + " seven.txt").status, 1);
    EXPECT_EQ(testing::run_in(dir, exe + " seven.txt missing.txt").status, 1);
    EXPECT_EQ(testing::run_in(dir, exe + " seven.txt /dev/zero").status, 1);
    EXPECT_EQ(testing::run_in(dir, exe + " seven.txt report.txt -o map.svg && head -c 5 map.svg").output, "<?xml");
}

TEST(ConvergenceChart, DrawsBothBoundsFromTheTrace) {
    std::istringstream in(
        "iteration,lower_bound,upper_bound,step_factor,t\n"
        "1,0,,2,0.5\n"
        "2,22,28,2,1\n"
        "3,24.75,25,1,0.75\n");
    const std::vector<TraceRow> rows = read_trace(in);
    ASSERT_EQ(rows.size(), 3u);
    EXPECT_FALSE(rows[0].upper_bound);
    EXPECT_EQ(*rows[2].upper_bound, 25);
    const std::string svg = convergence_chart_svg(rows);
    EXPECT_EQ(count(svg, "<polyline "), 2u);
    // The upper bound is drawn from its first solution on: two points.
    const auto upper = svg.find("stroke=\"#c0392b\" stroke-width=\"2\"/>");
    const auto points = svg.rfind("<polyline points=\"", upper);
    EXPECT_EQ(count(svg.substr(points, upper - points), ","), 2u);
    EXPECT_NE(svg.find(">iteration</text>"), std::string::npos);
}

TEST(ConvergenceChart, ALongRunGetsAnInsetOfItsLastStretch) {
    std::string text = "iteration,lower_bound,upper_bound,step_factor,t\n";
    for (int k = 1; k <= 40; ++k) {
        text +=
            std::to_string(k) + "," + std::to_string(100 - 50.0 / k) + "," + std::to_string(100 + 30.0 / k) + ",1,1\n";
    }
    std::istringstream in(text);
    const std::string svg = convergence_chart_svg(read_trace(in));
    EXPECT_EQ(count(svg, "<polyline "), 4u);  // both bounds, twice
    EXPECT_EQ(count(svg, "fill=\"white\" stroke=\"black\""), 2u);
    EXPECT_NE(svg.find(">40</text>"), std::string::npos);
}

TEST(ConvergenceChart, RefusesATraceThatIsNotOne) {
    for (const char* text : {"", "iteration,lower\n1,2\n", "iteration,lower_bound,upper_bound,step_factor,t\n",
                             "iteration,lower_bound,upper_bound,step_factor,t\n1,2,3,4\n",
                             "iteration,lower_bound,upper_bound,step_factor,t\n1.5,2,3,4,5\n",
                             "iteration,lower_bound,upper_bound,step_factor,t\n1,x,3,4,5\n"}) {
        std::istringstream in(text);
        EXPECT_THROW(read_trace(in), InputError) << text;
    }
}

}  // namespace
}  // namespace pmedian::tools
