#include "random_instance.hpp"

#include <cmath>

#include "state_builder.hpp"

namespace pmedian::testing {

std::vector<float> random_triangle(int n, Distances kind, std::mt19937& rng) {
    std::vector<float> triangle;
    for (int k = 0; k < n * (n - 1) / 2; ++k) {
        switch (kind) {
            case Distances::whole:
                triangle.push_back(float(rng() % 1000));
                break;
            case Distances::fractional:
                triangle.push_back(std::uniform_real_distribution<float>(0, 100)(rng));
                break;
            case Distances::tied:
                triangle.push_back(float(rng() % 3));
                break;
            case Distances::tied_fractional:
                triangle.push_back(float(rng() % 4) * 0.1f + 0.1f);
                break;
        }
    }
    return triangle;
}

State random_state(int n, int p, Distances kind, std::mt19937& rng) {
    return make_state(n, p, random_triangle(n, kind, rng));
}

State random_points_state(int n, int p, bool whole, std::mt19937& rng) {
    std::uniform_real_distribution<double> coordinate(0, 1000);
    std::vector<double> x(n), y(n);
    for (int i = 0; i < n; ++i) {
        x[i] = coordinate(rng);
        y[i] = coordinate(rng);
    }
    std::vector<float> triangle;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const double d = std::hypot(x[i] - x[j], y[i] - y[j]);
            triangle.push_back(float(whole ? std::floor(d + 0.5) : d));
        }
    }
    return make_state(n, p, triangle);
}

State random_state(const RandomInstance& in, std::mt19937& rng) {
    return in.points ? random_points_state(in.n, in.p, in.kind == Distances::whole, rng)
                     : random_state(in.n, in.p, in.kind, rng);
}

std::string label(const RandomInstance& in) {
    return "n=" + std::to_string(in.n) + " p=" + std::to_string(in.p) + " kind=" + std::to_string(int(in.kind)) +
           (in.points ? " points" : "") + " seed=" + std::to_string(in.seed);
}

}  // namespace pmedian::testing
