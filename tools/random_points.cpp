#include "random_points.hpp"

namespace pmedian::tools {

PointsTable random_points(int n, std::uint64_t seed) {
    // splitmix64: fixed integer arithmetic, so every machine draws the same.
    std::uint64_t state = seed;
    auto next = [&state] {
        std::uint64_t z = (state += 0x9e3779b97f4a7c15ULL);
        z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
        z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
        return z ^ (z >> 31);
    };
    PointsTable table;
    table.n = n;
    table.dimension = 2;
    table.coords.resize(std::size_t(n) * 2);
    for (double& x : table.coords) x = double(next() >> 11) * 0x1p-53 * 1000.0;
    return table;
}

}  // namespace pmedian::tools
