// pmedian-plot: draws a solved instance as an SVG map.
#include <cstdio>
#include <fstream>
#include <string>

#include "command_line.hpp"
#include "convergence_chart.hpp"
#include "instance_sources.hpp"
#include "report_reader.hpp"
#include "solution_map.hpp"

namespace {

using namespace pmedian::tools;

constexpr const char* help_text = R"(Usage: pmedian-plot POINTS REPORT > map.svg
       pmedian-plot --trace TRACE > chart.svg

Draws the solution that pmedian printed over the points it was solved for.
POINTS is the points file the instance was made from (one point a line, the
first two coordinates are drawn); REPORT is the saved standard output of
pmedian (or of pmedian-certify). The map shows every node, each median as a
square, a line from each node to its median, one colour per cluster, and a
caption with n, p, the total cost and the status.

With --trace, draws the CSV that pmedian-certify --trace wrote: the lower
and the upper bound against the iteration.

Exit status: 0 on success; 1 with one line on standard error when the files
are missing or do not fit together.
)";

void write_output(const std::string& svg) {
    if (std::fwrite(svg.data(), 1, svg.size(), stdout) != svg.size() || std::fflush(stdout) != 0) {
        throw InputError("cannot write the output");
    }
}

void run(int argc, char** argv) {
    if (argc != 3) throw InputError("usage: pmedian-plot POINTS REPORT > map.svg (see --help)");
    if (std::string(argv[1]) == "--trace") {
        std::ifstream trace_in = open_input(argv[2]);
        write_output(convergence_chart_svg(read_trace(trace_in)));
        return;
    }
    std::ifstream points_in = open_input(argv[1]);
    const std::vector<Point> points = read_points(points_in);
    std::ifstream report_in = open_input(argv[2]);
    const SolutionReport report = read_report(report_in);
    if (int(points.size()) != report.n) {
        throw InputError("the points file has " + std::to_string(points.size()) +
                         " points, the report n = " + std::to_string(report.n));
    }
    write_output(solution_map_svg(points, report));
}

}  // namespace

int main(int argc, char** argv) {
    return pmedian::tools::run_command_line(argc, argv, "pmedian-plot", help_text, [&] { run(argc, argv); });
}
