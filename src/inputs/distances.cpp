#include "inputs/distances.hpp"

#include <cmath>

#include "problem.hpp"

namespace pmedian {

namespace {

double euclidean(const double* a, const double* b, int dimension) {
    double sum = 0;
    for (int k = 0; k < dimension; ++k) sum += (a[k] - b[k]) * (a[k] - b[k]);
    return std::sqrt(sum);
}

double haversine(const double* a, const double* b) {
    constexpr double radians = 3.14159265358979323846 / 180;
    const double lat1 = a[0] * radians;
    const double lat2 = b[0] * radians;
    const double half_lat = (lat2 - lat1) / 2;
    const double half_lon = (b[1] - a[1]) * radians / 2;
    const double h = std::sin(half_lat) * std::sin(half_lat) +
                     std::cos(lat1) * std::cos(lat2) * std::sin(half_lon) * std::sin(half_lon);
    return 2 * earth_radius_km * std::asin(std::min(1.0, std::sqrt(h)));
}

}  // namespace

bool parse_distance_kind(const std::string& name, DistanceKind& kind) {
    if (name == "euclidean") {
        kind = DistanceKind::euclidean;
    } else if (name == "floor") {
        kind = DistanceKind::floor;
    } else if (name == "nint") {
        kind = DistanceKind::nint;
    } else if (name == "haversine") {
        kind = DistanceKind::haversine;
    } else {
        return false;
    }
    return true;
}

Instance instance_from_points(PointsTable&& table, int p, DistanceKind kind) {
    if (table.geographic != (kind == DistanceKind::haversine)) {
        throw Fatal{table.geographic ? "lat and lon coordinates need --distance haversine"
                                     : "--distance haversine needs lat and lon columns"};
    }
    Instance instance;
    instance.n = table.n;
    instance.p = p;
    if (!instance.dist.allocate(table.n))
        throw Fatal{"not enough memory for the distances of " + std::to_string(table.n) + " points"};
    const int dimension = table.dimension;
    for (int i = 0; i < table.n; ++i) {
        float* row = instance.dist[i];
        const double* a = table.point(i);
        for (int j = i + 1; j < table.n; ++j) {
            const double* b = table.point(j);
            double d = 0;
            switch (kind) {
                case DistanceKind::euclidean:
                    d = euclidean(a, b, dimension);
                    break;
                case DistanceKind::floor:
                    d = std::floor(euclidean(a, b, dimension));
                    break;
                case DistanceKind::nint:
                    d = std::floor(euclidean(a, b, dimension) + 0.5);
                    break;
                case DistanceKind::haversine:
                    d = haversine(a, b);
                    break;
            }
            if (!(d < double(INF_DIST))) throw Fatal{"a distance beyond 9.99e10: scale the coordinates down"};
            row[j] = float(d);
        }
    }
    mirror_upper_triangle(instance.dist, table.n);
    instance.weight = std::move(table.weight);
    instance.sites = std::move(table.sites);
    instance.ids = std::move(table.ids);
    return instance;
}

}  // namespace pmedian
