#include "solution_map.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "svg_text.hpp"

namespace pmedian::tools {

namespace {

constexpr double plot_size = 700;
constexpr double left = 80, right = 170, top = 20, bottom = 50;
constexpr double caption_height = 40;

std::string attribute(const char* name, double value) {
    return std::string(" ") + name + "=\"" + svg_number(value) + "\"";
}

}  // namespace

std::string cluster_colour(int k) {
    // Hues spread by the golden angle stay apart for any number of clusters.
    const double hue = std::fmod(k * 137.50776, 360.0);
    const int lightness = 35 + (k % 3) * 10;
    return "hsl(" + svg_number(hue) + ",75%," + std::to_string(lightness) + "%)";
}

std::string solution_map_svg(const PointsTable& points, const SolutionReport& solution) {
    // x, y; or longitude across and latitude up.
    const auto x_of = [&](int v) { return points.point(v)[points.geographic ? 1 : 0]; };
    const auto y_of = [&](int v) { return points.point(v)[points.geographic ? 0 : 1]; };
    double min_x = x_of(0), max_x = min_x, min_y = y_of(0), max_y = min_y;
    for (int v = 0; v < points.n; ++v) {
        min_x = std::min(min_x, x_of(v));
        max_x = std::max(max_x, x_of(v));
        min_y = std::min(min_y, y_of(v));
        max_y = std::max(max_y, y_of(v));
    }
    // One scale on both axes, as on a map, with a little room around.
    const double span = std::max({max_x - min_x, max_y - min_y, 1e-12}) * 1.04;
    const double centre_x = (min_x + max_x) / 2;
    const double centre_y = (min_y + max_y) / 2;
    const double scale = plot_size / span;
    const auto sx = [&](double x) { return left + plot_size / 2 + (x - centre_x) * scale; };
    const auto sy = [&](double y) { return top + plot_size / 2 - (y - centre_y) * scale; };

    std::map<int, int> cluster_index;
    for (int v = 0; v < solution.n; ++v) {
        if (solution.median_of[v] == v) cluster_index.emplace(v, int(cluster_index.size()));
    }
    const auto colour = [&](int v) { return cluster_colour(cluster_index.at(solution.median_of[v])); };
    const auto client = [&](int v) { return points.weight.empty() || points.weight[v] > 0; };
    const auto site_state = [&](int v) { return points.sites.empty() ? -1 : int(points.sites[v]); };

    const double width = left + plot_size + right;
    const double height = top + plot_size + bottom + caption_height;
    std::string svg = svg_open(width, height);
    svg += "<g font-family=\"sans-serif\" font-size=\"12\">\n";
    // The frame and its round ticks.
    svg += "<rect" + attribute("x", left) + attribute("y", top) + attribute("width", plot_size) +
           attribute("height", plot_size) + " fill=\"none\" stroke=\"black\"/>\n";
    const double low_x = centre_x - span / 2, low_y = centre_y - span / 2;
    const std::vector<double> x_ticks = round_ticks(low_x, low_x + span, 6);
    const std::vector<double> y_ticks = round_ticks(low_y, low_y + span, 6);
    const double x_step = x_ticks.size() > 1 ? x_ticks[1] - x_ticks[0] : 1;
    const double y_step = y_ticks.size() > 1 ? y_ticks[1] - y_ticks[0] : 1;
    for (const double x : x_ticks) {
        svg += "<line" + attribute("x1", sx(x)) + attribute("y1", top + plot_size) + attribute("x2", sx(x)) +
               attribute("y2", top + plot_size + 5) + " stroke=\"black\"/><text" + attribute("x", sx(x)) +
               attribute("y", top + plot_size + 19) + " text-anchor=\"middle\">" + tick_label(x, x_step) + "</text>\n";
    }
    for (const double y : y_ticks) {
        svg += "<line" + attribute("x1", left - 5) + attribute("y1", sy(y)) + attribute("x2", left) +
               attribute("y2", sy(y)) + " stroke=\"black\"/><text" + attribute("x", left - 8) +
               attribute("y", sy(y) + 4) + " text-anchor=\"end\">" + tick_label(y, y_step) + "</text>\n";
    }
    svg += "<text" + attribute("x", left + plot_size / 2) + attribute("y", top + plot_size + 38) +
           " text-anchor=\"middle\">" + (points.geographic ? "longitude" : "x") + "</text>\n";
    svg += "<text x=\"0\" y=\"0\" transform=\"translate(" + svg_number(22) + "," + svg_number(top + plot_size / 2) +
           ") rotate(-90)\" text-anchor=\"middle\">" + (points.geographic ? "latitude" : "y") + "</text>\n";

    // Each client's line to its site, then the clients, then the sites.
    svg += "<g stroke-width=\"1\" stroke-opacity=\"0.7\">\n";
    for (int v = 0; v < solution.n; ++v) {
        const int m = solution.median_of[v];
        if (m == v || !client(v)) continue;
        svg += "<line" + attribute("x1", sx(x_of(v))) + attribute("y1", sy(y_of(v))) + attribute("x2", sx(x_of(m))) +
               attribute("y2", sy(y_of(m))) + " stroke=\"" + colour(v) + "\"/>\n";
    }
    svg += "</g>\n";
    const double radius = std::clamp(300.0 / std::sqrt(double(solution.n)), 1.5, 6.0);
    const double side = radius * 3;
    for (int v = 0; v < solution.n; ++v) {
        if (solution.median_of[v] == v) continue;
        if (client(v)) {
            svg += "<circle" + attribute("cx", sx(x_of(v))) + attribute("cy", sy(y_of(v))) + attribute("r", radius) +
                   " fill=\"" + colour(v) + "\"/>\n";
        } else if (site_state(v) != 0) {
            svg += "<rect" + attribute("x", sx(x_of(v)) - side / 3) + attribute("y", sy(y_of(v)) - side / 3) +
                   attribute("width", side * 2 / 3) + attribute("height", side * 2 / 3) +
                   " fill=\"white\" stroke=\"gray\"/>\n";
        }
    }
    for (const auto& [m, k] : cluster_index) {
        const bool fixed = site_state(m) == 1;
        const std::string name = points.ids.empty() ? std::to_string(m) : points.ids[m];
        svg += "<rect" + attribute("x", sx(x_of(m)) - side / 2) + attribute("y", sy(y_of(m)) - side / 2) +
               attribute("width", side) + attribute("height", side) + " fill=\"" + cluster_colour(k) +
               "\" stroke=\"black\" stroke-width=\"" + (fixed ? "3" : "1.5") + "\"><title>" +
               escape_xml((fixed ? "fixed site " : "site ") + name) + "</title></rect>\n";
    }

    // The legend, right of the frame.
    const double legend_x = left + plot_size + 20;
    double legend_y = top + 20;
    const auto entry = [&](const std::string& mark, const std::string& text) {
        svg += mark + "<text" + attribute("x", legend_x + 22) + attribute("y", legend_y + 4) + ">" + text + "</text>\n";
        legend_y += 24;
    };
    entry("<circle" + attribute("cx", legend_x + 6) + attribute("cy", legend_y) + " r=\"4\" fill=\"" +
              cluster_colour(0) + "\"/>",
          "client");
    entry("<rect" + attribute("x", legend_x) + attribute("y", legend_y - 6) + " width=\"12\" height=\"12\" fill=\"" +
              cluster_colour(0) + "\" stroke=\"black\" stroke-width=\"1.5\"/>",
          "open site");
    if (!points.sites.empty()) {
        entry("<rect" + attribute("x", legend_x) + attribute("y", legend_y - 6) +
                  " width=\"12\" height=\"12\" fill=\"" + cluster_colour(0) +
                  "\" stroke=\"black\" stroke-width=\"3\"/>",
              "fixed open");
        entry("<rect" + attribute("x", legend_x + 2) + attribute("y", legend_y - 4) +
                  " width=\"8\" height=\"8\" fill=\"white\" stroke=\"gray\"/>",
              "closed site");
    }
    svg += "<text" + attribute("x", legend_x) + attribute("y", legend_y + 4) + ">one colour a cluster</text>\n";

    std::string caption =
        "n = " + std::to_string(solution.n) + ", p = " + std::to_string(solution.p) + ", cost = " + solution.total;
    if (!solution.lower_bound.empty()) caption += ", bound = " + solution.lower_bound;
    if (!solution.gap.empty()) caption += ", gap = " + solution.gap;
    caption += ", " + solution.status;
    svg += "<text" + attribute("x", width / 2) + attribute("y", height - caption_height / 2 + 6) +
           " font-size=\"16\" text-anchor=\"middle\">" + escape_xml(caption) + "</text>\n</g>\n</svg>\n";
    return svg;
}

}  // namespace pmedian::tools
