// A table of points: a CSV (comma, semicolon or tab) or white-space
// separated file whose optional header names its columns.
//   x, y, z, x1, x2, ...  coordinates (at least two)
//   lat, lon              latitude and longitude in degrees, instead
//   weight                the client's weight, at least 0 (default 1)
//   role                  client, site or both (default both)
//   fixed                 1: a site open in every solution (default 0)
//   id                    a name echoed in the outputs
// Other columns are ignored; an empty optional field takes its default.
// Without a header every column is a coordinate.
#pragma once

#include <cstdio>
#include <string>
#include <vector>

#include "certify/network.hpp"

namespace pmedian {

// More points than this would need a distance matrix of over 64 GB.
inline constexpr std::size_t most_points = std::size_t(1) << 17;

struct PointsTable {
    int n = 0;
    int dimension = 0;
    bool geographic = false;       // lat, lon (in that order in coords)
    std::vector<double> coords;    // n x dimension
    std::vector<double> weight;    // empty: no weights given
    Fixings sites;                 // empty: every point a free site
    std::vector<std::string> ids;  // empty: no ids given
    const double* point(int i) const { return coords.data() + std::size_t(i) * std::size_t(dimension); }
};

// For a latitude (axis 0) or a longitude (axis 1) in degrees outside its
// range, the message that says so; null otherwise.
const char* geographic_range_error(int axis, double degrees);

// Reads the table; Fatal naming the file, line and column of bad input.
PointsTable read_points_table(std::FILE* file, const std::string& name);

// A TSPLIB file of EDGE_WEIGHT_TYPE EUC_2D: its NODE_COORD_SECTION, a line
// "id x y" per node in the order given, as a table of points with ids.
PointsTable read_tsplib_table(std::FILE* file, const std::string& name);

}  // namespace pmedian
