#include "problem.hpp"

#include <algorithm>
#include <bit>
#include <cstdint>
#include <new>

#include "data_file.hpp"
#include "vector_clones.hpp"

#if defined(__linux__)
#include <sys/mman.h>
#endif

namespace pmedian {

std::string format_message(const char* format, int a, int b) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

namespace {

// Sizes a vector zero-filled, or ends the run with the given message.
template <typename T>
void allocate_vector(std::vector<T>& v, std::size_t count, const std::string& failure) {
    try {
        v.assign(count, T{});
    } catch (const std::bad_alloc&) {
        throw Fatal{failure};
    }
}

// Copies the upper triangle onto the lower one a square tile at a time: a
// column written node by node as the file is read would touch a new cache
// line with every distance.
void mirror_upper_triangle(DistMatrix& dist, int n) {
    constexpr int tile = 32;
    for (int top = 0; top < n; top += tile) {
        const int bottom = std::min(n, top + tile);
        for (int left = top; left < n; left += tile) {
            const int right = std::min(n, left + tile);
            for (int i = top; i < bottom; ++i) {
                const float* row = dist[i];
                for (int j = std::max(left, i + 1); j < right; ++j) dist[j][i] = row[j];
            }
        }
    }
}

}  // namespace

void fault_in_pages([[maybe_unused]] void* start, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__)
    constexpr int populate_write = 23;  // MADV_POPULATE_WRITE, Linux 5.14, not in older headers
    constexpr std::uintptr_t page = 4096;
    const auto begin = (reinterpret_cast<std::uintptr_t>(start) + page - 1) & ~(page - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(start) + bytes) & ~(page - 1);
    if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, populate_write);
#endif
}

void* allocate_zeroed_block(std::size_t bytes) {
    // calloc hands back zeroed pages lazily. Small pages, not huge ones: on
    // a virtual machine that hands freed memory back to its host, huge pages
    // are taken from the blocks handed back, and faulting them in again cost
    // more than their address cache saved (measured on 3000 nodes run right
    // after another program: 0.12 against 0.04 s of system time, and 10000
    // nodes: 5.3 against 5.9 s).
    return std::calloc(bytes, 1);
}

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

void allocate_problem(State& s) {
    const int n = s.n;
    const int p = s.p;
    if (!s.dist.allocate(n)) throw Fatal{format_message("\n >>> Memoria insuficiente para *dist[%d]\n", n)};
    const auto count = static_cast<std::size_t>(n);
    allocate_vector(s.beta, count, format_message("\n >>> Memoria insuficiente para beta[%d]\n", n));
    allocate_vector(s.sv_beta, count, format_message("\n >>> Memoria insuficiente para sv_beta[%d]\n", n));
    allocate_vector(s.node, count, format_message("\n >>> Memoria insuficiente para node[%d]\n", n));
    allocate_vector(s.best, count, format_message("\n >>> Memoria insuficiente para best[%d]\n", n));
    allocate_vector(s.sv_node, count, format_message("\n >>> Memoria insuficiente para sv_node[%d]\n", n));
    allocate_vector(s.subg, count, format_message("\n >>> Memoria insuficiente para subg[%d]\n", n));
    allocate_vector(s.lambda, count, format_message("\n >>> Memoria insuficiente para lambda[%d]\n", n));
    // The relaxation's own array is reported as lambda, which it follows.
    allocate_vector(s.threshold, count, format_message("\n >>> Memoria insuficiente para lambda[%d]\n", n));
    // The assignment's own arrays are reported as sv_node, which they follow.
    LastAssignment& last = s.last_assignment;
    const std::string sv_node_message = format_message("\n >>> Memoria insuficiente para sv_node[%d]\n", n);
    allocate_vector(last.medians, static_cast<std::size_t>(p), sv_node_message);
    allocate_vector(last.was_median, count, sv_node_message);
    allocate_vector(last.nearest, count, sv_node_message);
    allocate_vector(last.cluster, count, sv_node_message);
    last.valid = false;
    allocate_vector(s.vc, static_cast<std::size_t>(p), format_message("\n >>> Memoria insuficiente para vc[%d]\n", p));
    for (int i = 0; i < p; ++i) {
        allocate_vector(s.vc[i].members, static_cast<std::size_t>(n - p),
                        format_message("\n >>> Memoria insuficiente para vc[%d][%d]\n", i, p));
    }
}

void load_problem(State& s, TokenReader& in) {
    if (s.n < 1 || s.p < 1 || s.p > s.n) {
        throw Fatal{format_message("\nTamanho invalido: n = %d e p = %d (exige 1 <= p <= n)\n", s.n, s.p)};
    }
    allocate_problem(s);
    // The rows' pages are faulted in a few megabytes ahead of the reader,
    // so that a file that ends early has touched little more than it
    // filled, whatever size its header claims.
    constexpr std::size_t slab_bytes = std::size_t(4) << 20;
    const int slab_rows =
        int(std::clamp(slab_bytes / (std::size_t(s.n) * sizeof(float)), std::size_t(1), std::size_t(s.n)));
    for (int i = 0; i + 1 < s.n; ++i) {
        if (i % slab_rows == 0) s.dist.fault_in_rows(i, std::min(s.n, i + slab_rows));
        read_distances(in, i, i + 1, s.n - i - 1, s.dist[i] + i + 1);
    }
    mirror_upper_triangle(s.dist, s.n);
}

void release_problem(State& s) {
    s.dist.release();
    s.beta = {};
    s.sv_beta = {};
    s.node = {};
    s.best = {};
    s.sv_node = {};
    s.subg = {};
    s.lambda = {};
    s.vc = {};
    s.candidates = {};
    s.cluster_sums = {};
    s.last_assignment = {};
}

}  // namespace pmedian
