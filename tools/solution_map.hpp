// Draws a solution over its points as an SVG map.
#pragma once

#include <string>
#include <vector>

#include "instance_sources.hpp"
#include "report_reader.hpp"

namespace pmedian::tools {

// Every node, each median marked, a line from each node to its median, one
// colour per cluster, and a caption with n, p, the total cost and the status.
std::string solution_map_svg(const std::vector<Point>& points, const SolutionReport& report);

// A distinct colour for the k-th cluster.
std::string cluster_colour(int k);

}  // namespace pmedian::tools
