#include "certify/trusted_bound.hpp"

#include <algorithm>
#include <cmath>

namespace pmedian {

double relaxation_value(const DistMatrix& dist, int n, int p, float t, const std::vector<float>& lambda) {
    std::vector<double> multiplier(static_cast<std::size_t>(n));
    double value = 0;
    double magnitude = 0;  // sum of the magnitudes of every term
    for (int j = 0; j < n; ++j) {
        multiplier[j] = double(t) * double(lambda[j]);
        value += multiplier[j];
        magnitude += std::fabs(multiplier[j]);
    }
    // Row i holds the distances from candidate i to every client (the
    // matrix is symmetric).
    std::vector<double> reduced(static_cast<std::size_t>(n));
    for (int i = 0; i < n; ++i) {
        const float* row = dist[i];
        double sum = 0;
        for (int j = 0; j < n; ++j) sum += std::min(0.0, double(row[j]) - multiplier[j]);
        reduced[i] = sum;
        magnitude += std::fabs(sum);
    }
    std::nth_element(reduced.begin(), reduced.begin() + (p - 1), reduced.end());
    for (int k = 0; k < p; ++k) value += reduced[k];
    // Each term is off by at most one rounding and each partial sum by one
    // more per addition; the p least computed values are off by no more
    // than all of them together.
    const double rounding = 4.0 * (double(n) + double(p) + 2) * 0x1p-53 * magnitude;
    return value - rounding;
}

}  // namespace pmedian
