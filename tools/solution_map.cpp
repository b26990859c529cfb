#include "solution_map.hpp"

#include <algorithm>
#include <cmath>
#include <map>

#include "svg_text.hpp"

namespace pmedian::tools {

namespace {

constexpr double plot_size = 760;
constexpr double margin = 20;
constexpr double caption_height = 40;

}  // namespace

std::string cluster_colour(int k) {
    // Hues spread by the golden angle stay apart for any number of clusters.
    const double hue = std::fmod(k * 137.50776, 360.0);
    const int lightness = 35 + (k % 3) * 10;
    return "hsl(" + svg_number(hue) + ",75%," + std::to_string(lightness) + "%)";
}

std::string solution_map_svg(const std::vector<Point>& points, const SolutionReport& report) {
    double min_x = points[0][0], max_x = min_x, min_y = points[0][1], max_y = min_y;
    for (const Point& q : points) {
        min_x = std::min(min_x, q[0]);
        max_x = std::max(max_x, q[0]);
        min_y = std::min(min_y, q[1]);
        max_y = std::max(max_y, q[1]);
    }
    const double span = std::max({max_x - min_x, max_y - min_y, 1e-12});
    const double scale = plot_size / span;
    // y grows upward in the data and downward on screen.
    auto sx = [&](int v) { return svg_number(margin + (points[v][0] - min_x) * scale); };
    auto sy = [&](int v) { return svg_number(margin + plot_size - (points[v][1] - min_y) * scale); };

    std::map<int, int> cluster_index;
    for (int v = 0; v < report.n; ++v) {
        if (report.median_of[v] == v) cluster_index.emplace(v, int(cluster_index.size()));
    }
    auto colour = [&](int v) { return cluster_colour(cluster_index.at(report.median_of[v])); };

    const double width = plot_size + 2 * margin;
    const double height = plot_size + 2 * margin + caption_height;
    std::string svg = svg_open(width, height);
    svg += "<g stroke-width=\"1\" stroke-opacity=\"0.7\">\n";
    for (int v = 0; v < report.n; ++v) {
        const int m = report.median_of[v];
        if (m == v) continue;
        svg += "<line x1=\"" + sx(v) + "\" y1=\"" + sy(v) + "\" x2=\"" + sx(m) + "\" y2=\"" + sy(m) + "\" stroke=\"" +
               colour(v) + "\"/>\n";
    }
    svg += "</g>\n<g>\n";
    const double radius = std::clamp(300.0 / std::sqrt(double(report.n)), 1.5, 6.0);
    for (int v = 0; v < report.n; ++v) {
        if (report.median_of[v] == v) continue;
        svg += "<circle cx=\"" + sx(v) + "\" cy=\"" + sy(v) + "\" r=\"" + svg_number(radius) + "\" fill=\"" +
               colour(v) + "\"/>\n";
    }
    const double side = radius * 3;
    for (const auto& [m, k] : cluster_index) {
        svg += "<rect x=\"" + svg_number(std::stod(sx(m)) - side / 2) + "\" y=\"" +
               svg_number(std::stod(sy(m)) - side / 2) + "\" width=\"" + svg_number(side) + "\" height=\"" +
               svg_number(side) + "\" fill=\"" + cluster_colour(k) +
               "\" stroke=\"black\" stroke-width=\"1.5\"><title>median " + std::to_string(m) + "</title></rect>\n";
    }
    svg += "</g>\n";
    const std::string caption = "n = " + std::to_string(report.n) + ", p = " + std::to_string(report.p) +
                                ", total cost = " + report.total + ", " + report.status;
    svg += "<text x=\"" + svg_number(width / 2) + "\" y=\"" + svg_number(height - caption_height / 2 + 6) +
           "\" font-family=\"sans-serif\" font-size=\"16\" text-anchor=\"middle\">" + escape_xml(caption) +
           "</text>\n</svg>\n";
    return svg;
}

}  // namespace pmedian::tools
