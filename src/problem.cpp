#include "problem.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <new>

#include "data_file.hpp"

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

// Asks for huge pages under the 2 MB-aligned interior of a large block that
// is still untouched: rows are read all over the matrix, and with small
// pages nearly every row read misses the address cache. Only a hint; where
// the system lacks it, nothing changes.
void prefer_huge_pages([[maybe_unused]] void* block, [[maybe_unused]] std::size_t bytes) {
#if defined(__linux__) && defined(MADV_HUGEPAGE)
    constexpr std::uintptr_t huge = std::uintptr_t(1) << 21;
    const auto begin = (reinterpret_cast<std::uintptr_t>(block) + huge - 1) & ~(huge - 1);
    const auto end = (reinterpret_cast<std::uintptr_t>(block) + bytes) & ~(huge - 1);
    if (begin < end) madvise(reinterpret_cast<void*>(begin), end - begin, MADV_HUGEPAGE);
#endif
}

}  // namespace

void* allocate_zeroed_block(std::size_t bytes) {
    // calloc hands back zeroed pages lazily.
    void* block = std::calloc(bytes, 1);
    if (block != nullptr) prefer_huge_pages(block, bytes);
    return block;
}

float largest_whole_distance(const DistMatrix& dist, int n) {
    float largest = 0;
    for (int i = 0; i < n; ++i) {
        const float* row = dist[i];
        for (int j = 0; j < n; ++j) {
            if (row[j] != std::floor(row[j])) return -1;
            largest = std::max(largest, row[j]);
        }
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
    for (int i = 0; i + 1 < s.n; ++i) {
        for (int j = i + 1; j < s.n; ++j) {
            const float d = read_distance(in, i, j);
            s.dist[i][j] = d;
            s.dist[j][i] = d;
        }
    }
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
