#include "convergence_chart.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "certify/trace.hpp"
#include "command_line.hpp"
#include "data_file.hpp"
#include "svg_text.hpp"

namespace pmedian::tools {

namespace {

constexpr double left = 90, right = 30, top = 40, bottom = 60;
constexpr double plot_width = 700, plot_height = 420;
constexpr const char* lower_colour = "#1f5fbf";
constexpr const char* upper_colour = "#c0392b";
// The inset of the last stretch: drawn from this many iterations on, as a
// share of the run, when the run is long enough to need it.
constexpr double inset_share = 0.25;
constexpr std::size_t least_rows_for_inset = 20;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) out.push_back(field);
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
}

// Both bounds of the rows from iteration `first` on, drawn in the box at
// (x, y) of the given size with round ticks on both axes; the range of the
// values is that of those rows.
std::string bounds_panel(const std::vector<TraceRow>& rows, int first, double x, double y, double width, double height,
                         int font_size) {
    int last = first;
    double low = 0, high = 0;
    bool any = false;
    const auto widen = [&](double value) {
        low = any ? std::min(low, value) : value;
        high = any ? std::max(high, value) : value;
        any = true;
    };
    for (const TraceRow& row : rows) {
        if (row.iteration < first) continue;
        last = std::max(last, row.iteration);
        widen(row.lower_bound);
        if (row.upper_bound) widen(*row.upper_bound);
    }
    if (high - low < 1e-9 * (1 + std::fabs(high))) high = low + 1;
    const int span = std::max(last - first, 1);
    const auto sx = [&](double iteration) { return x + (iteration - first) / span * width; };
    const auto sy = [&](double value) { return y + height - (value - low) / (high - low) * height; };
    const auto number = [](double v) { return svg_number(v); };
    std::string svg = "<g font-family=\"sans-serif\" font-size=\"" + std::to_string(font_size) + "\">\n";
    svg += "<rect x=\"" + number(x) + "\" y=\"" + number(y) + "\" width=\"" + number(width) + "\" height=\"" +
           number(height) + "\" fill=\"white\" stroke=\"black\"/>\n";
    const std::vector<double> values = round_ticks(low, high, 5);
    const double value_step = values.size() > 1 ? values[1] - values[0] : 1;
    for (const double value : values) {
        svg += "<line x1=\"" + number(x) + "\" y1=\"" + number(sy(value)) + "\" x2=\"" + number(x + width) +
               "\" y2=\"" + number(sy(value)) + "\" stroke=\"#ddd\"/><text x=\"" + number(x - 5) + "\" y=\"" +
               number(sy(value) + 4) + "\" text-anchor=\"end\">" + tick_label(value, value_step) + "</text>\n";
    }
    const std::vector<double> iterations = round_ticks(first, last, 6);
    const double iteration_step = std::max(1.0, iterations.size() > 1 ? iterations[1] - iterations[0] : 1);
    for (const double iteration : iterations) {
        if (iteration != std::floor(iteration)) continue;
        svg += "<line x1=\"" + number(sx(iteration)) + "\" y1=\"" + number(y + height) + "\" x2=\"" +
               number(sx(iteration)) + "\" y2=\"" + number(y + height + 4) + "\" stroke=\"black\"/><text x=\"" +
               number(sx(iteration)) + "\" y=\"" + number(y + height + 4 + font_size) + "\" text-anchor=\"middle\">" +
               tick_label(iteration, iteration_step) + "</text>\n";
    }
    // Each bound as a polyline; the upper one starts at its first solution.
    const auto polyline = [&](const char* colour, auto value_of) {
        std::string points;
        for (const TraceRow& row : rows) {
            const std::optional<double> value = value_of(row);
            if (row.iteration < first || !value) continue;
            points += number(sx(row.iteration)) + "," + number(sy(*value)) + " ";
        }
        return "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n";
    };
    svg += polyline(lower_colour, [](const TraceRow& row) { return std::optional<double>(row.lower_bound); });
    svg += polyline(upper_colour, [](const TraceRow& row) { return row.upper_bound; });
    return svg + "</g>\n";
}

}  // namespace

std::vector<TraceRow> read_trace(std::istream& in) {
    std::string line;
    if (!std::getline(in, line) || line != trace_header) {
        throw InputError(std::string("the trace does not start with the line '") + trace_header + "'");
    }
    std::vector<TraceRow> rows;
    for (int number = 2; std::getline(in, line); ++number) {
        const std::vector<std::string> f = fields(line);
        TraceRow row;
        double iteration = 0;
        double upper = 0;
        const bool ok = f.size() == 5 && parse_number(f[0], iteration) && iteration == std::floor(iteration) &&
                        iteration >= 1 && iteration <= 1e9 && parse_number(f[1], row.lower_bound) &&
                        (f[2].empty() || parse_number(f[2], upper)) && parse_number(f[3], row.step_factor) &&
                        parse_number(f[4], row.t);
        if (!ok) throw InputError("line " + std::to_string(number) + " of the trace is not five numbers");
        row.iteration = int(iteration);
        if (!f[2].empty()) row.upper_bound = upper;
        rows.push_back(row);
    }
    if (rows.empty()) throw InputError("the trace holds no iteration");
    return rows;
}

std::string convergence_chart_svg(const std::vector<TraceRow>& rows) {
    const int first = rows.front().iteration;
    const int last = rows.back().iteration;
    const double width = left + plot_width + right;
    const double height = top + plot_height + bottom;
    std::string svg = svg_open(width, height);
    svg += bounds_panel(rows, first, left, top, plot_width, plot_height, 13);
    svg += "<g font-family=\"sans-serif\" font-size=\"13\">\n";
    svg += "<text x=\"" + svg_number(left + plot_width / 2) + "\" y=\"" + svg_number(height - 14) +
           "\" text-anchor=\"middle\">iteration</text>\n";
    // Legend.
    const double legend_x = left + plot_width - 170;
    svg += "<line x1=\"" + svg_number(legend_x) + "\" y1=\"20\" x2=\"" + svg_number(legend_x + 24) +
           "\" y2=\"20\" stroke=\"" + upper_colour + "\" stroke-width=\"2\"/><text x=\"" + svg_number(legend_x + 30) +
           "\" y=\"24\">upper bound</text>\n";
    svg += "<line x1=\"" + svg_number(legend_x - 160) + "\" y1=\"20\" x2=\"" + svg_number(legend_x - 136) +
           "\" y2=\"20\" stroke=\"" + lower_colour + "\" stroke-width=\"2\"/><text x=\"" + svg_number(legend_x - 130) +
           "\" y=\"24\">lower bound</text>\n";
    svg += "<text x=\"" + svg_number(left) + "\" y=\"24\" font-weight=\"bold\">" +
           escape_xml("Bounds over " + std::to_string(rows.size()) + " iterations") + "</text>\n";
    svg += "</g>\n";
    // The last stretch, where the gap closes, at its own scale.
    if (rows.size() >= least_rows_for_inset) {
        const int from = last - int(inset_share * (last - first));
        const double inset_width = plot_width * 0.42, inset_height = plot_height * 0.38;
        svg += bounds_panel(rows, from, left + plot_width - inset_width - 10, top + 30, inset_width, inset_height, 10);
    }
    return svg + "</svg>\n";
}

}  // namespace pmedian::tools
