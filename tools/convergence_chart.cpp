#include "convergence_chart.hpp"

#include <algorithm>
#include <cmath>
#include <sstream>

#include "certify/trace.hpp"
#include "data_file.hpp"
#include "instance_sources.hpp"
#include "svg_text.hpp"

namespace pmedian::tools {

namespace {

constexpr double left = 90, right = 30, top = 40, bottom = 60;
constexpr double plot_width = 700, plot_height = 420;
constexpr int ticks = 5;

std::vector<std::string> fields(const std::string& line) {
    std::vector<std::string> out;
    std::stringstream in(line);
    for (std::string field; std::getline(in, field, ',');) out.push_back(field);
    if (!line.empty() && line.back() == ',') out.emplace_back();
    return out;
}

// A tick label: whole numbers as such, others with what precision they need.
std::string label(double x) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", x);
    return text;
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
    int first = rows.front().iteration, last = first;
    double low = rows.front().lower_bound, high = low;
    for (const TraceRow& row : rows) {
        first = std::min(first, row.iteration);
        last = std::max(last, row.iteration);
        low = std::min(low, row.lower_bound);
        high = std::max(high, row.lower_bound);
        if (row.upper_bound) {
            low = std::min(low, *row.upper_bound);
            high = std::max(high, *row.upper_bound);
        }
    }
    if (high - low < 1e-9 * (1 + std::fabs(high))) high = low + 1;
    const int span = std::max(last - first, 1);
    auto sx = [&](double iteration) { return left + (iteration - first) / span * plot_width; };
    auto sy = [&](double value) { return top + plot_height - (value - low) / (high - low) * plot_height; };

    const double width = left + plot_width + right;
    const double height = top + plot_height + bottom;
    std::string svg = svg_open(width, height);
    svg += "<g font-family=\"sans-serif\" font-size=\"13\">\n";
    // Axes with evenly spaced ticks.
    svg += "<path d=\"M" + svg_number(left) + "," + svg_number(top) + " V" + svg_number(top + plot_height) + " H" +
           svg_number(left + plot_width) + "\" fill=\"none\" stroke=\"black\"/>\n";
    for (int k = 0; k <= ticks; ++k) {
        const double value = low + (high - low) * k / ticks;
        const double iteration = first + double(span) * k / ticks;
        svg += "<text x=\"" + svg_number(left - 6) + "\" y=\"" + svg_number(sy(value) + 4) + "\" text-anchor=\"end\">" +
               label(value) + "</text>\n";
        svg += "<line x1=\"" + svg_number(left) + "\" y1=\"" + svg_number(sy(value)) + "\" x2=\"" +
               svg_number(left + plot_width) + "\" y2=\"" + svg_number(sy(value)) + "\" stroke=\"#ddd\"/>\n";
        svg += "<text x=\"" + svg_number(sx(iteration)) + "\" y=\"" + svg_number(top + plot_height + 18) +
               "\" text-anchor=\"middle\">" + label(std::round(iteration)) + "</text>\n";
    }
    svg += "<text x=\"" + svg_number(left + plot_width / 2) + "\" y=\"" + svg_number(height - 14) +
           "\" text-anchor=\"middle\">iteration</text>\n";
    // Each bound as a polyline; the upper one starts at its first solution.
    auto polyline = [&](const char* colour, auto value_of) {
        std::string points;
        for (const TraceRow& row : rows) {
            const std::optional<double> value = value_of(row);
            if (!value) continue;
            points += svg_number(sx(row.iteration)) + "," + svg_number(sy(*value)) + " ";
        }
        return "<polyline points=\"" + points + "\" fill=\"none\" stroke=\"" + colour + "\" stroke-width=\"2\"/>\n";
    };
    svg += polyline("#1f5fbf", [](const TraceRow& row) { return std::optional<double>(row.lower_bound); });
    svg += polyline("#c0392b", [](const TraceRow& row) { return row.upper_bound; });
    // Legend.
    const double legend_x = left + plot_width - 170;
    svg += "<line x1=\"" + svg_number(legend_x) + "\" y1=\"20\" x2=\"" + svg_number(legend_x + 24) +
           "\" y2=\"20\" stroke=\"#c0392b\" stroke-width=\"2\"/><text x=\"" + svg_number(legend_x + 30) +
           "\" y=\"24\">upper bound</text>\n";
    svg += "<line x1=\"" + svg_number(legend_x - 160) + "\" y1=\"20\" x2=\"" + svg_number(legend_x - 136) +
           "\" y2=\"20\" stroke=\"#1f5fbf\" stroke-width=\"2\"/><text x=\"" + svg_number(legend_x - 130) +
           "\" y=\"24\">lower bound</text>\n";
    svg += "<text x=\"" + svg_number(left) + "\" y=\"24\" font-weight=\"bold\">" +
           escape_xml("Bounds over " + std::to_string(rows.size()) + " iterations") + "</text>\n";
    svg += "</g>\n</svg>\n";
    return svg;
}

}  // namespace pmedian::tools
