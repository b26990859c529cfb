#include "kernels/radix_sort.hpp"

#include <array>
#include <bit>
#include <cstdint>
#include <utility>

namespace pmedian {

namespace {

// A float's bits, turned so that unsigned order is the floats' order.
std::uint32_t order_key(float d) {
    const auto bits = std::bit_cast<std::uint32_t>(d);
    return bits ^ (std::uint32_t(std::int32_t(bits) >> 31) | 0x80000000u);
}

}  // namespace

NodeDistance* radix_sort(NodeDistance* a, NodeDistance* tmp, int count) {
    std::array<std::array<int, 256>, 4> histogram{};
    for (int i = 0; i < count; ++i) {
        const std::uint32_t key = order_key(a[i].dist);
        for (int b = 0; b < 4; ++b) ++histogram[b][(key >> (8 * b)) & 255];
    }
    for (int b = 0; b < 4; ++b) {
        auto& position = histogram[b];
        if (position[(order_key(a[0].dist) >> (8 * b)) & 255] == count) continue;
        int start = 0;
        for (int& slot : position) start += std::exchange(slot, start);
        for (int i = 0; i < count; ++i) tmp[position[(order_key(a[i].dist) >> (8 * b)) & 255]++] = a[i];
        std::swap(a, tmp);
    }
    return a;
}

}  // namespace pmedian
