// Points drawn at random for test instances, the same on every machine.
#pragma once

#include <cstdint>

#include "inputs/points_table.hpp"

namespace pmedian::tools {

// n points uniform in [0, 1000) x [0, 1000), the same for a seed everywhere.
PointsTable random_points(int n, std::uint64_t seed);

}  // namespace pmedian::tools
