// The distances between the points of a table, computed in memory.
#pragma once

#include <string>

#include "certify/instance.hpp"
#include "inputs/points_table.hpp"

namespace pmedian {

// euclidean: the float nearest to the Euclidean distance; floor and nint:
// that distance rounded down or to the nearest whole number (TSPLIB's
// nint); haversine: the great-circle distance in kilometres between
// latitude-longitude points on a sphere of the Earth's mean radius.
enum class DistanceKind { euclidean, floor, nint, haversine };

inline constexpr double earth_radius_km = 6371.0088;

// The kind a command line names ("euclidean", "floor", "nint", "haversine");
// false for any other name.
bool parse_distance_kind(const std::string& name, DistanceKind& kind);

// The instance of the table's points at distances of the given kind, p
// medians; the table's weights, sites and ids move into it. A Fatal when the
// kind does not fit the coordinates or the matrix cannot be had.
Instance instance_from_points(PointsTable&& table, int p, DistanceKind kind);

}  // namespace pmedian
