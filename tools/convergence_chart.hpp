// The convergence of a certifying run: its trace file read back and drawn
// as a chart of both bounds against the iteration.
#pragma once

#include <istream>
#include <optional>
#include <string>
#include <vector>

namespace pmedian::tools {

struct TraceRow {
    int iteration = 0;
    double lower_bound = 0;
    std::optional<double> upper_bound;  // none before the first solution
    double step_factor = 0;
    double t = 0;
};

// The CSV that pmedian-certify --trace writes: its header line, then one
// line per iteration. Throws InputError naming the line that is wrong.
std::vector<TraceRow> read_trace(std::istream& in);

// A line chart of the lower and upper bounds, with axes, ticks and a legend.
std::string convergence_chart_svg(const std::vector<TraceRow>& rows);

}  // namespace pmedian::tools
