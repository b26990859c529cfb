// pmedian-plot: draws a solved instance as an SVG map.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "command_line.hpp"
#include "convergence_chart.hpp"
#include "inputs/instance_file.hpp"
#include "inputs/points_table.hpp"
#include "inputs/solution_reader.hpp"
#include "solution_map.hpp"

namespace {

using namespace pmedian::tools;
using pmedian::read_solution;
using pmedian::SolutionReport;

constexpr const char* help_text = R"(Usage: pmedian-plot POINTS SOLUTION [-o FILE]
       pmedian-plot --trace TRACE [-o FILE]

Draws a solution as an SVG map over the points it was solved for, to
standard output or to FILE with -o. POINTS is the table of points the
instance was made from, as pmedian-certify --points reads it (a header may
name x, y or lat, lon, weight, role, fixed and id), or a TSPLIB file (its
name ending in .tsp). SOLUTION is the JSON of pmedian-certify --json, or
the saved standard output of pmedian or pmedian-certify. The map shows each
client, each open site as a square (fixed ones with a thick outline), the
candidate sites left closed as hollow squares, a line from each client to
its site, one colour per cluster, axes with round ticks (longitude and
latitude for lat, lon points), a legend, and a caption with n, p, the cost,
the bound and the gap (when the solution gives them) and the status.

With --trace, draws the CSV that pmedian-certify --trace wrote: the lower
and the upper bound against the iteration, with round ticks, and an inset
of the last quarter of the run, where the gap closes, at its own scale.

Exit status: 0 on success; 1 with one line on standard error when the files
are missing, wrong or do not fit together.
)";

void write_output(const std::string& svg, const std::string& name) {
    std::FILE* out = name.empty() ? stdout : std::fopen(name.c_str(), "w");
    if (out == nullptr) throw InputError("cannot write '" + name + "'");
    const bool written = std::fwrite(svg.data(), 1, svg.size(), out) == svg.size() && std::fflush(out) == 0;
    if (out != stdout && std::fclose(out) != 0) throw InputError("cannot write '" + name + "'");
    if (!written) throw InputError("cannot write the output");
}

pmedian::PointsTable read_points(const std::string& name) {
    const pmedian::InputFile file = pmedian::open_input_file(name);
    const bool tsplib = name.size() > 4 && name.compare(name.size() - 4, 4, ".tsp") == 0;
    return tsplib ? pmedian::read_tsplib_table(file.get(), name) : pmedian::read_points_table(file.get(), name);
}

void run(int argc, char** argv) {
    std::vector<std::string> words;
    std::string output;
    for (int k = 1; k < argc; ++k) {
        const std::string word = argv[k];
        if (word == "-o") {
            if (k + 1 >= argc) throw InputError("-o needs a file name");
            output = argv[++k];
        } else {
            words.push_back(word);
        }
    }
    if (words.size() != 2) throw InputError("usage: pmedian-plot POINTS SOLUTION [-o FILE] (see --help)");
    if (words[0] == "--trace") {
        std::ifstream trace_in = open_input(words[1]);
        write_output(convergence_chart_svg(read_trace(trace_in)), output);
        return;
    }
    const pmedian::PointsTable points = read_points(words[0]);
    std::ifstream solution_in = open_input(words[1]);
    const SolutionReport solution = read_solution(solution_in);
    if (points.n != solution.n) {
        throw InputError("the points file has " + std::to_string(points.n) +
                         " points, the solution n = " + std::to_string(solution.n));
    }
    write_output(solution_map_svg(points, solution), output);
}

}  // namespace

int main(int argc, char** argv) {
    return pmedian::tools::run_command_line(argc, argv, "pmedian-plot", help_text, [&] { run(argc, argv); });
}
