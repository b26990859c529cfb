#include "kernels/gains.hpp"

#include <bit>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "kernels/vector_clones.hpp"
#include "problem.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace pmedian {

namespace {

// The least float whose value is at least w: for every float d,
// w > double(d) exactly when d < the result, so a comparison with a double
// can be made between floats.
float least_float_not_below(double w) {
    const float f = float(w);
    // The next float up, by its bits (a library call per client is felt),
    // chosen without a branch: whether f falls below w is a coin toss from
    // client to client. Where it falls below, f is not +inf or NaN.
    const auto bits = std::bit_cast<std::uint32_t>(f);
    const std::uint32_t up = f == 0 ? 1u : f > 0 ? bits + 1 : bits - 1;
    const std::uint32_t below = std::uint32_t(0) - std::uint32_t(double(f) < w);
    return std::bit_cast<float>((up & below) | (bits & ~below));
}

// Every client's threshold at t (see least_float_not_below), in one pass
// that vectorises: worked out client by client, inside the walks, its
// latency stood at the head of each walk.
[[gnu::noinline]] VECTOR_CLONES void fill_thresholds(double t, const float* __restrict lambda,
                                                     float* __restrict threshold, int n) {
    for (int j = 0; j < n; ++j) threshold[j] = least_float_not_below(t * double(lambda[j]));
}

// Every client's threshold in the caches' scratch.
const std::vector<float>& thresholds(State& s) {
    std::vector<float>& threshold = s.caches.threshold;
    threshold.resize(std::size_t(s.n));
    fill_thresholds(s.t, s.lambda.data(), threshold.data(), s.n);
    return threshold;
}

// A reduced cost b after a client's term for a candidate at distance d:
// the difference and the sum in double, rounded once to float.
inline float gained(float d, double weighted, float b) { return float((double(d) - weighted) + double(b)); }

// A client's whole row: every candidate nearer than the threshold gains.
// The choice is made on the bits, so that it vectorises: written as a
// conditional, it becomes a branch around the store. Kept out of line,
// where the compiler keeps the pointers apart.
[[gnu::noinline]] VECTOR_CLONES void add_row_gains(const float* __restrict row, float threshold, double weighted,
                                                   float* __restrict beta, int n) {
    for (int i = 0; i < n; ++i) {
        const float sum = gained(row[i], weighted, beta[i]);
        const std::uint32_t keep = std::uint32_t(0) - std::uint32_t(!(row[i] < threshold));
        beta[i] = std::bit_cast<float>((std::bit_cast<std::uint32_t>(sum) & ~keep) |
                                       (std::bit_cast<std::uint32_t>(beta[i]) & keep));
    }
}

// Every client's gains added to beta, client by client, each list by
// Walk::add (its entries nearer than the threshold, which come first).
// Returns the entries walked, a whole row counted as p.
template <typename Walk>
[[gnu::always_inline]] inline std::size_t add_every_gain(const State& s, float* beta) {
    const int n = s.n;
    const double t = s.t;
    const CandidateLists& lists = s.caches.candidates;
    std::size_t walked = 0;
    for (int j = 0; j < n; ++j) {
        const double weighted = t * double(s.lambda[j]);
        const float threshold = s.caches.threshold[j];
        if (j + walks_ahead < n) Walk::prefetch(lists, j + walks_ahead);
        if (lists.falls_short(j, threshold, n)) {
            add_row_gains(s.dist[j], threshold, weighted, beta, n);
            walked += std::size_t(s.p);
            continue;
        }
        walked += std::size_t(Walk::add(lists, j, threshold, weighted, beta));
    }
    return walked;
}

// The lists' entries one by one.
struct EntryWalk {
    static void prefetch(const CandidateLists& lists, int j) { lists.prefetch(j); }
    static int add(const CandidateLists& lists, int j, float threshold, double weighted, float* beta) {
        const CandidateLists::Entry* list = lists.row(j);
        int k = 0;
        for (; k < lists.width && list[k].dist < threshold; ++k) {
            float& b = beta[list[k].node];
            b = gained(list[k].dist, weighted, b);
        }
        return k;
    }
};

#if defined(__x86_64__) && defined(__GNUC__)

bool has_avx2() { return __builtin_cpu_supports("avx2"); }

// Writes four lanes to beta at their nodes, straight from the register:
// through memory the reads would wait on the wide store.
__attribute__((target("avx2"))) inline void store_lanes(__m128 lanes, float* beta, const int* node) {
    _mm_store_ss(beta + node[0], lanes);
    _mm_store_ss(beta + node[1], _mm_shuffle_ps(lanes, lanes, 1));
    _mm_store_ss(beta + node[2], _mm_shuffle_ps(lanes, lanes, 2));
    _mm_store_ss(beta + node[3], _mm_shuffle_ps(lanes, lanes, 3));
}

// The split lists, eight entries at a time: each group's differences and
// sums are taken in double lanes, each rounded as the sum entry by entry
// rounds it. The gains' end is found in the same group, so that a walk has
// a single loop exit, the one branch a client mispredicts: the lanes past
// it (a list ascends, so they follow the others) write back the value they
// read. The nodes of a list are distinct, so a group's reads and writes of
// beta never overlap.
struct SplitWalk {
    static void prefetch(const CandidateLists& lists, int j) { lists.prefetch_split(j); }
    __attribute__((target("avx2"))) static int add(const CandidateLists& lists, int j, float threshold, double weighted,
                                                   float* beta) {
        const int width = lists.width;
        const float* dist = lists.split_dists.data() + std::size_t(j) * std::size_t(width);
        const int* node = lists.split_nodes.data() + std::size_t(j) * std::size_t(width);
        const __m256 limit = _mm256_set1_ps(threshold);
        const __m256d weight = _mm256_set1_pd(weighted);
        int k = 0;
        for (; k + 8 <= width; k += 8) {
            const __m256 eight = _mm256_loadu_ps(dist + k);
            const __m256 gains = _mm256_cmp_ps(eight, limit, _CMP_LT_OQ);
            const int* at = node + k;
            const __m256d low = _mm256_sub_pd(_mm256_cvtps_pd(_mm256_castps256_ps128(eight)), weight);
            const __m256d high = _mm256_sub_pd(_mm256_cvtps_pd(_mm256_extractf128_ps(eight, 1)), weight);
            const __m128 low_beta = _mm_set_ps(beta[at[3]], beta[at[2]], beta[at[1]], beta[at[0]]);
            const __m128 high_beta = _mm_set_ps(beta[at[7]], beta[at[6]], beta[at[5]], beta[at[4]]);
            const __m128 low_sum = _mm256_cvtpd_ps(_mm256_add_pd(low, _mm256_cvtps_pd(low_beta)));
            const __m128 high_sum = _mm256_cvtpd_ps(_mm256_add_pd(high, _mm256_cvtps_pd(high_beta)));
            store_lanes(_mm_blendv_ps(low_beta, low_sum, _mm256_castps256_ps128(gains)), beta, at);
            store_lanes(_mm_blendv_ps(high_beta, high_sum, _mm256_extractf128_ps(gains, 1)), beta, at + 4);
            const auto below = unsigned(_mm256_movemask_ps(gains));
            if (below != 0xFFu) return k + __builtin_ctz(~below);  // the first that does not gain
        }
        for (; k < width && dist[k] < threshold; ++k) {
            float& b = beta[node[k]];
            b = gained(dist[k], weighted, b);
        }
        return k;
    }
};

// The whole loop over the clients compiled for AVX2, so that each walk is
// inlined into it.
__attribute__((target("avx2"))) std::size_t add_every_gain_split(const State& s, float* beta) {
    return add_every_gain<SplitWalk>(s, beta);
}

#else

bool has_avx2() { return false; }
std::size_t add_every_gain_split(const State& s, float* beta) { return add_every_gain<EntryWalk>(s, beta); }

#endif

// The split lists, when the processor walks them with AVX2 and the lists
// are small; made by the first relaxation that follows long walks.
void split_lists(CandidateLists& lists, const Tuning& tuning) {
    if (lists.entries.size() * sizeof(CandidateLists::Entry) > tuning.most_split_bytes || !has_avx2()) return;
    lists.split_dists.resize(lists.entries.size());
    lists.split_nodes.resize(lists.entries.size());
    for (std::size_t e = 0; e < lists.entries.size(); ++e) {
        lists.split_dists[e] = lists.entries[e].dist;
        lists.split_nodes[e] = lists.entries[e].node;
    }
}

// Adds one to count[j] wherever row[j] < threshold[j]; branch-free, so it
// vectorises (kept out of line, where the compiler keeps the pointers apart).
[[gnu::noinline]] VECTOR_CLONES void count_gains(const float* __restrict row, const float* __restrict threshold,
                                                 int* __restrict count, int n) {
    for (int j = 0; j < n; ++j) count[j] += row[j] < threshold[j];
}

// For each client, the opened medians among its listed nearest nodes that
// gain: the list holds every node nearer than its last entry, so only a
// client whose threshold reaches past that is counted along its row.
void count_along_lists(const State& s, const std::vector<float>& threshold, std::vector<int>& count) {
    const int n = s.n;
    const CandidateLists& lists = s.caches.candidates;
    std::vector<char> is_opened(std::size_t(n), 0);
    for (int k = 0; k < s.p; ++k) is_opened[s.node[k]] = 1;
    for (int j = 0; j < n; ++j) {
        const float limit = threshold[j];
        const CandidateLists::Entry* list = lists.row(j);
        if (j + walks_ahead < n) lists.prefetch(j + walks_ahead);
        int serving = 0;
        if (lists.falls_short(j, limit, n)) {
            const float* row = s.dist[j];
            for (int k = 0; k < s.p; ++k) serving += row[s.node[k]] < limit;
        } else {
            for (int k = 0; k < lists.width && list[k].dist < limit; ++k) serving += is_opened[list[k].node];
        }
        count[j] = serving;
    }
}

}  // namespace

void add_client_gains(State& s) {
    CandidateLists& lists = s.caches.candidates;
    const Tuning& tuning = s.tuning;
    thresholds(s);
    // Eight at a time only where the walks are long: a walk of a few
    // entries costs more in vectors.
    const bool long_walks = lists.walked >= tuning.split_walk_length * std::size_t(s.n);
    if (long_walks && lists.split_dists.empty()) split_lists(lists, tuning);
    const bool split = !lists.split_dists.empty() && long_walks;
    s.taken.split_walks += split;
    lists.walked = split ? add_every_gain_split(s, s.beta.data()) : add_every_gain<EntryWalk>(s, s.beta.data());
}

void count_gaining_medians(State& s, std::vector<int>& count) {
    const std::vector<float>& threshold = thresholds(s);
    count.assign(std::size_t(s.n), 0);
    // The lists' walks that relax took are read again, from the cache,
    // where they are far shorter than the opened medians' rows.
    const CandidateLists& lists = s.caches.candidates;
    if (lists.width > 0 && lists.walked * s.tuning.walk_per_row_entry < std::size_t(s.p) * std::size_t(s.n)) {
        ++s.taken.counts_along_lists;
        count_along_lists(s, threshold, count);
        return;
    }
    // Else median by median, along its row: the matrix is symmetric, so row
    // node[k] holds its distances to every client.
    for (int k = 0; k < s.p; ++k) count_gains(s.dist[s.node[k]], threshold.data(), count.data(), s.n);
}

}  // namespace pmedian
