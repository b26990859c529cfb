#include <gtest/gtest.h>

#include <sstream>
#include <string>

#include "convergence_chart.hpp"
#include "instance_sources.hpp"
#include "report_reader.hpp"
#include "run_program.hpp"
#include "solution_map.hpp"

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
    } catch (const InputError& error) {
        EXPECT_NE(std::string(error.what()).find("nao pode ser aberto"), std::string::npos);
    }
    std::string cut(seven_node_report);
    cut.erase(cut.find("No     6"));
    std::istringstream truncated(cut);
    EXPECT_THROW(read_report(truncated), InputError);
}

TEST(SolutionMap, DrawsEachNodeLineAndMedianWithACaption) {
    std::istringstream in(seven_node_report);
    const SolutionReport report = read_report(in);
    const std::vector<Point> points = {{0, 0}, {1, 0}, {2, 0}, {3, 0}, {4, 0}, {5, 5}, {0, 6}};
    const std::string svg = solution_map_svg(points, report);
    EXPECT_EQ(svg.rfind("<?xml", 0), 0u);
    EXPECT_EQ(count(svg, "<line "), 4u);
    EXPECT_EQ(count(svg, "<circle "), 4u);
    EXPECT_EQ(count(svg, "<title>median "), 3u);
    EXPECT_NE(svg.find("n = 7, p = 3, total cost = 29.00, Solucao nao otima"), std::string::npos);
    EXPECT_EQ(svg.substr(svg.size() - 7), "</svg>\n");
}

TEST(PlotCommand, ChecksThatPointsAndReportFit) {
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
