#include "problem.hpp"

#include <algorithm>
#include <new>

#include "data_file.hpp"

namespace pmedian {

std::string format_message(const char* format, int a, int b) {
    char text[160];
    std::snprintf(text, sizeof text, format, a, b);
    return text;
}

std::string out_of_memory(const char* name, int a) {
    return format_message((std::string("\n >>> Memoria insuficiente para ") + name + "[%d]\n").c_str(), a);
}

std::string out_of_memory(const char* name, int a, int b) {
    return format_message((std::string("\n >>> Memoria insuficiente para ") + name + "[%d][%d]\n").c_str(), a, b);
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

}  // namespace

// A square tile at a time, so that the column writes stay in the caches.
void mirror_upper_triangle(DistMatrix& dist, int n) {
    constexpr int tile = mirror_tile;
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

void allocate_problem(State& s) {
    const int n = s.n;
    const int p = s.p;
    // Distances already in place (moved in by a caller) are kept.
    if (s.dist.side() != n && !s.dist.allocate(n)) throw Fatal{out_of_memory("*dist", n)};
    const auto count = static_cast<std::size_t>(n);
    allocate_vector(s.beta, count, out_of_memory("beta", n));
    allocate_vector(s.sv_beta, count, out_of_memory("sv_beta", n));
    allocate_vector(s.node, count, out_of_memory("node", n));
    allocate_vector(s.best, count, out_of_memory("best", n));
    allocate_vector(s.sv_node, count, out_of_memory("sv_node", n));
    allocate_vector(s.subg, count, out_of_memory("subg", n));
    allocate_vector(s.lambda, count, out_of_memory("lambda", n));
    // The relaxation's own array is reported as lambda, which it follows.
    allocate_vector(s.caches.threshold, count, out_of_memory("lambda", n));
    // The assignment's own arrays are reported as sv_node, which they follow.
    LastAssignment& last = s.caches.last_assignment;
    const std::string sv_node_message = out_of_memory("sv_node", n);
    allocate_vector(last.medians, static_cast<std::size_t>(p), sv_node_message);
    allocate_vector(last.was_median, count, sv_node_message);
    allocate_vector(last.nearest, count, sv_node_message);
    allocate_vector(last.cluster, count, sv_node_message);
    last.valid = false;
    allocate_vector(s.vc, static_cast<std::size_t>(p), out_of_memory("vc", p));
    for (int i = 0; i < p; ++i) {
        allocate_vector(s.vc[i].members, static_cast<std::size_t>(n - p), out_of_memory("vc", i, p));
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
    const int slab_rows =
        int(std::clamp(reader_slab_bytes / (std::size_t(s.n) * sizeof(float)), std::size_t(1), std::size_t(s.n)));
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
    s.caches = {};
}

}  // namespace pmedian
