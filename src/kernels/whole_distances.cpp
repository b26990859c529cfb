#include "kernels/whole_distances.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>

#include "kernels/vector_clones.hpp"

namespace pmedian {

namespace {

// A row's largest distance (at least 0) when every one of them is a whole
// number, else -1. Decided on the bits, without floor (a library call
// without SSE4.1) and without a branch, so that it vectorises: a float is
// whole when no mantissa bit lies below its point, which leaves none from
// 2^23 up and all of a nonzero value below 1; NaN is not whole. Positive
// floats order as their bits do as signed integers, negative ones below 0.
[[gnu::noinline]] VECTOR_CLONES float largest_whole_in_row(const float* __restrict row, int n) {
    std::int32_t largest = 0;
    std::uint32_t below_point = 0;
    for (int j = 0; j < n; ++j) {
        const auto bits = std::bit_cast<std::uint32_t>(row[j]);
        const int fraction_bits = 23 - (int((bits >> 23) & 255) - 127);
        const int shift = fraction_bits < 0 ? 0 : fraction_bits > 31 ? 31 : fraction_bits;
        below_point |= bits & ((std::uint32_t(1) << shift) - 1);
        below_point |= std::uint32_t((bits & 0x7fffffffu) > 0x7f800000u);
        const auto as_signed = std::int32_t(bits);
        largest = largest < as_signed ? as_signed : largest;
    }
    return below_point != 0 ? -1.0f : std::bit_cast<float>(largest);
}

}  // namespace

float largest_whole_distance(const DistMatrix& dist, int n) {
    float largest = 0;
    for (int i = 0; i < n; ++i) {
        const float row_largest = largest_whole_in_row(dist[i], n);
        if (row_largest < 0) return -1;
        largest = std::max(largest, row_largest);
    }
    return largest;
}

bool all_distances_whole(const DistMatrix& dist, int n) { return largest_whole_distance(dist, n) >= 0; }

}  // namespace pmedian
