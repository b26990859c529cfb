// Draws a solution over its points as an SVG map.
#pragma once

#include <string>

#include "inputs/points_table.hpp"
#include "inputs/solution_reader.hpp"

namespace pmedian::tools {

// Every client, each open site as a square (a thick outline when fixed
// open), the candidate sites left closed as hollow squares, a line from each
// client to its site, one colour per cluster; axes with round ticks (x and
// y, or longitude and latitude), a legend, and a caption with n, p, the
// cost, the bound and gap when known, and the status.
std::string solution_map_svg(const PointsTable& points, const SolutionReport& solution);

// A distinct colour for the k-th cluster.
std::string cluster_colour(int k);

}  // namespace pmedian::tools
