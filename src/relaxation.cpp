#include "relaxation.hpp"

#include <algorithm>
#include <array>
#include <bit>
#include <cmath>
#include <cstddef>
#include <cstdint>
#include <utility>
#include <vector>

#include "vector_clones.hpp"

#if defined(__x86_64__) && defined(__GNUC__)
#include <immintrin.h>
#endif

namespace pmedian {

namespace {

// A client's gains reach about as far as a cluster, n / p nodes: lists of
// n / 8 to n / 4 entries, or 2n / p with more than 16 medians (at least
// n / 16), rarely fall short; a client whose weighted multiplier reaches
// past its list's end scans its whole row. Longer lists cost more to build
// and crowd the caches: on 3000 nodes with 30 medians, lists of n / 15
// entries made the whole run 7 % faster than lists of n / 8, though three
// times as many walks fell short (1 in 100).
constexpr int shortest_list = 64;

int list_width(int n, int p) {
    if (n <= shortest_list) return n;
    const int divisor = p <= 16 ? std::clamp(p, 4, 8) : std::min(p / 2, 16);
    return std::max(shortest_list, n / divisor);
}

// Swaps beta[a] with beta[b], and node[a] with node[b].
void swap_entries(State& s, int a, int b) {
    std::swap(s.beta[a], s.beta[b]);
    std::swap(s.node[a], s.node[b]);
}

// One partition of beta[lo .. hi] (lo <= hi) around its middle value: from
// the left, each entry not below the pivot swaps with the next one from the
// right not above it, until the two scans cross. Returns where they stop.
// Every entry is compared as a random one, and a branch on each comparison
// is mispredicted half the time; so while the unscanned middle is wide,
// blocks of it are scanned without branches into the lists of the
// entries the scans would stop at, and the k-th stop from the left still
// swaps with the k-th from the right, in the same order. The entries swapped
// lie outside the middle, so the lists stay true. Blocks are a third of the
// range, from 4 to 64 entries: small ranges, sorted whole below the
// medians, are many.
std::pair<int, int> partition(State& s, int lo, int hi) {
    constexpr int widest_block = 64;
    const int block = std::clamp((hi - lo + 1) / 3, 4, widest_block);
    const float pivot = s.beta[lo + (hi - lo) / 2];
    const float* beta = s.beta.data();
    int i = lo;
    int j = hi;
    int left[widest_block];
    int right[widest_block];
    int left_count = 0;
    int left_next = 0;
    int right_count = 0;
    int right_next = 0;
    int unscanned_lo = lo;
    int unscanned_hi = hi;
    for (;;) {
        const int wanted = (left_next == left_count ? block : 0) + (right_next == right_count ? block : 0);
        if (wanted > unscanned_hi - unscanned_lo + 1) break;
        if (left_next == left_count) {
            left_count = 0;
            left_next = 0;
            for (int k = unscanned_lo; k < unscanned_lo + block; ++k) {
                left[left_count] = k;
                left_count += !(beta[k] < pivot);
            }
            unscanned_lo += block;
        }
        if (right_next == right_count) {
            right_count = 0;
            right_next = 0;
            for (int k = unscanned_hi; k > unscanned_hi - block; --k) {
                right[right_count] = k;
                right_count += !(pivot < beta[k]);
            }
            unscanned_hi -= block;
        }
        const int pairs = std::min(left_count - left_next, right_count - right_next);
        for (int k = 0; k < pairs; ++k) swap_entries(s, left[left_next + k], right[right_next + k]);
        if (pairs > 0) {
            i = left[left_next + pairs - 1] + 1;
            j = right[right_next + pairs - 1] - 1;
        }
        left_next += pairs;
        right_next += pairs;
    }
    // The rest entry by entry, from just past the last swap.
    while (i <= j) {
        while (beta[i] < pivot) ++i;
        while (pivot < beta[j]) --j;
        if (i <= j) {
            swap_entries(s, i, j);
            ++i;
            --j;
        }
    }
    return {i, j};
}

// The partition quicksort of beta[lo .. hi]. The two parts of a partition
// are sorted independently, so recursing into the smaller and looping on
// the larger gives the same order with a stack depth of at most log2(n);
// and a part lying wholly at or past `defer_from` may be sorted later, in
// deferred_sort, with the same result.
void quicksort(State& s, int lo, int hi, int defer_from) {
    for (;;) {
        if (lo >= defer_from) {
            s.deferred_sort.ranges.push_back({lo, hi});
            return;
        }
        const auto [i, j] = partition(s, lo, hi);

        const bool sort_left = lo < j;
        const bool sort_right = i < hi;
        if (sort_left && sort_right) {
            if (j - lo < hi - i) {
                quicksort(s, lo, j, defer_from);
                lo = i;
            } else {
                quicksort(s, i, hi, defer_from);
                hi = j;
            }
        } else if (sort_left) {
            hi = j;
        } else if (sort_right) {
            lo = i;
        } else {
            return;
        }
    }
}

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

// A strided sample of a row, of this many distances, guesses a distance a
// little beyond the list's last.
constexpr int sample_size = 256;

using Entry = CandidateLists::Entry;

// A float's bits, turned so that unsigned order is the floats' order.
std::uint32_t order_key(float d) {
    const auto bits = std::bit_cast<std::uint32_t>(d);
    return bits ^ (std::uint32_t(std::int32_t(bits) >> 31) | 0x80000000u);
}

// Sorts a[0 .. count-1] by distance, a byte of the key at a time (tmp as
// wide as a); bytes that every key shares are passed over. Returns the array
// that holds the result: a or tmp.
Entry* radix_sort(Entry* a, Entry* tmp, int count) {
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

// Rows of whole numbers from 0 to below this many times their length are
// sorted by counting their values, when they are at most this long: each
// row is read twice, in a few instructions an entry, where the sampled cut
// and the sort of what it keeps take many times that on rows of a few
// hundred. On longer rows the cut's fixed cost is spread thin, and the
// counts outgrow the core's cache (measured: counting wins at 900 nodes and
// at 3000, and ties at 10000).
constexpr int counted_per_node = 4;
constexpr int longest_counted_row = 4096;

// Scratch of the list building, as long as a row.
struct RowScratch {
    explicit RowScratch(int n)
        : all(std::size_t(n)), tmp(std::size_t(n)), sample(sample_size), counting(n <= longest_counted_row) {}
    std::vector<Entry> all;
    std::vector<Entry> tmp;
    std::vector<float> sample;
    std::vector<int> count;
    bool counting;  // until a row is not of whole numbers
};

// The width nearest entries of a row of whole numbers in ascending
// distance, equal ones in the row's order, by counting: false, leaving out
// alone, unless every distance is such a number; the rows after it are then
// not tried.
bool nearest_by_counting(const float* row, int n, int width, RowScratch& scratch, Entry* out) {
    const int limit = counted_per_node * n;
    // Counted while checked, in `ways` interleaved counts, so that equal
    // values next to each other do not wait on each other's count in
    // memory; the counts are all 0 between rows.
    constexpr int ways = 4;
    std::vector<int>& count = scratch.count;
    if (count.empty()) count.assign(std::size_t(limit) * ways, 0);
    bool countable = true;
    int largest = 0;
    for (int i = 0; i < n; ++i) {
        const float d = row[i];
        const bool in_range = d >= 0 && d < float(limit);
        const int value = in_range ? int(d) : 0;
        countable &= in_range && float(value) == d;
        largest = std::max(largest, value);
        ++count[value * ways + (i & (ways - 1))];
    }
    const auto clear = [&] { std::fill(count.begin(), count.begin() + (largest + 1) * ways, 0); };
    if (!countable) {
        clear();
        scratch.counting = false;
        return false;
    }
    const auto count_of = [&](int value) {
        const int* ways_of = count.data() + value * ways;
        int all = 0;
        for (int way = 0; way < ways; ++way) all += ways_of[way];
        return all;
    };
    // The distance the list reaches, the cut: fewer than width are nearer.
    // Each value's first position, up to the cut, goes in its first count.
    int cut = 0;
    int nearer = 0;
    for (;;) {
        const int equal = count_of(cut);
        count[cut * ways] = nearer;
        if (nearer + equal >= width) break;
        nearer += equal;
        ++cut;
    }
    // The entries up to the cut, in the row's order, kept without a branch;
    // only they are placed, so that the farther ones, most of the row, need
    // no count.
    Entry* kept = scratch.all.data();
    int kept_count = 0;
    const auto cut_distance = float(cut);
    for (int i = 0; i < n; ++i) {
        kept[kept_count] = {row[i], i};
        kept_count += row[i] <= cut_distance;
    }
    Entry* placed = scratch.tmp.data();
    for (int k = 0; k < kept_count; ++k) placed[count[int(kept[k].dist) * ways]++] = kept[k];
    std::copy(placed, placed + width, out);
    clear();
    return true;
}

// The width nearest entries of a row, in ascending distance (equal
// distances in the row's order). A sample's order statistic a quarter
// beyond the list's share guesses a cut; one branch-free pass keeps the
// entries up to it, and only those are sorted, stably. Should the guess
// fall short, the whole row is sorted instead.
void nearest_entries(const float* row, int n, int width, RowScratch& scratch, Entry* out) {
    if (scratch.counting && nearest_by_counting(row, n, width, scratch, out)) return;
    std::vector<Entry>& all = scratch.all;
    std::vector<float>& sample = scratch.sample;
    int kept = 0;
    if (width < n) {
        const int m = std::min(n, sample_size);
        for (int q = 0; q < m; ++q) sample[q] = row[std::size_t(q) * std::size_t(n) / std::size_t(m)];
        const int rank = std::min(m - 1, int(1.25 * double(width) * m / n) + 8);
        std::nth_element(sample.begin(), sample.begin() + rank, sample.begin() + m);
        const float cut = sample[rank];
        for (int i = 0; i < n; ++i) {
            all[kept] = {row[i], i};
            kept += row[i] <= cut;
        }
    }
    if (kept < width) {
        for (int i = 0; i < n; ++i) all[i] = {row[i], i};
        kept = n;
    }
    const Entry* sorted = radix_sort(all.data(), scratch.tmp.data(), kept);
    std::copy(sorted, sorted + width, out);
}

// Every client's gains added to beta, client by client, each list by
// Walk::add (its entries nearer than the threshold, which come first).
// Returns the entries walked, a whole row counted as p.
template <typename Walk>
[[gnu::always_inline]] inline std::size_t add_every_gain(const State& s, float* beta) {
    const int n = s.n;
    const double t = s.t;
    const CandidateLists& lists = s.candidates;
    std::size_t walked = 0;
    for (int j = 0; j < n; ++j) {
        const double weighted = t * double(s.lambda[j]);
        const float threshold = s.threshold[j];
        if (j + CandidateLists::walks_ahead < n) Walk::prefetch(lists, j + CandidateLists::walks_ahead);
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

// The split lists are walked eight at a time where the last relaxation's
// walks averaged at least this many entries.
constexpr std::size_t split_walk_length = 8;

// Lists are split when they take up to this many bytes: beyond, the lists
// and their copy outgrow the caches (measured on whole runs: the copy pays
// for lists of 6 to 14 MB, by 2 % to 14 %, and loses by 10 % for 50 MB).
constexpr std::size_t most_split_bytes = std::size_t(16) << 20;

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
void split_lists(CandidateLists& lists) {
    if (lists.entries.size() * sizeof(Entry) > most_split_bytes || !has_avx2()) return;
    lists.split_dists.resize(lists.entries.size());
    lists.split_nodes.resize(lists.entries.size());
    for (std::size_t e = 0; e < lists.entries.size(); ++e) {
        lists.split_dists[e] = lists.entries[e].dist;
        lists.split_nodes[e] = lists.entries[e].node;
    }
}

}  // namespace

void build_candidate_lists(State& s, int least_width) {
    const int n = s.n;
    CandidateLists& lists = s.candidates;
    lists.width = std::min(n, std::max(list_width(n, s.p), least_width));
    lists.entries.resize(std::size_t(n) * std::size_t(lists.width));
    lists.farthest.resize(std::size_t(n));
    RowScratch scratch(n);
    for (int j = 0; j < n; ++j) {
        nearest_entries(s.dist[j], n, lists.width, scratch,
                        lists.entries.data() + std::size_t(j) * std::size_t(lists.width));
        lists.farthest[j] = lists.row(j)[lists.width - 1].dist;
    }
}

// Up to this many medians are picked out of the reduced costs directly.
constexpr int most_picked = 32;

// The sort puts the p smallest reduced costs first, in ascending order;
// when they and the next one up are all different, no other order of them
// can come of it, whatever the sort does with the rest (reduced costs are
// finite sums, never NaN). They are then picked out in one pass, instead of
// partitioning towards them: the other entries stay in node order, and the
// whole sort is left for when a solution is built from the relaxation.
// Returns whether the entries were picked so; else nothing has changed.
bool pick_smallest(State& s) {
    const int n = s.n;
    const int p = s.p;
    if (p > most_picked || p >= n) return false;
    // The p + 1 smallest so far, ascending: an entry below the last goes
    // in where it belongs, and the last drops out.
    float value[most_picked + 1];
    int node[most_picked + 1];
    int held = 0;
    for (int i = 0; i < n; ++i) {
        const float b = s.beta[i];
        if (held == p + 1 && !(b < value[p])) continue;
        int k = held == p + 1 ? p : held++;
        for (; k > 0 && b < value[k - 1]; --k) {
            value[k] = value[k - 1];
            node[k] = node[k - 1];
        }
        value[k] = b;
        node[k] = i;
    }
    for (int k = 1; k <= p; ++k) {
        if (!(value[k - 1] < value[k])) return false;
    }
    DeferredSort& deferred = s.deferred_sort;
    deferred.displaced.assign(s.beta.begin(), s.beta.begin() + p);
    for (int k = 0; k < p; ++k) {
        s.node[k] = node[k];
        s.beta[k] = value[k];
    }
    return true;
}

void relax(State& s) {
    // Client by client: each beta[i] still receives its terms in ascending
    // client order, so every rounding is that of the row-by-row sum. The
    // matrix is symmetric, so row j holds the distances to client j.
    if (s.candidates.width == 0) build_candidate_lists(s);
    const int n = s.n;
    const double t = s.t;
    float* beta = s.beta.data();
    for (int i = 0; i < n; ++i) {
        s.node[i] = i;
        beta[i] = 0;
    }
    s.threshold.resize(std::size_t(n));
    fill_thresholds(t, s.lambda.data(), s.threshold.data(), n);
    // Eight at a time only where the walks are long: a walk of a few
    // entries costs more in vectors.
    const bool long_walks = s.candidates.walked >= split_walk_length * std::size_t(n);
    if (long_walks && s.candidates.split_dists.empty()) split_lists(s.candidates);
    const std::size_t walked = !s.candidates.split_dists.empty() && long_walks ? add_every_gain_split(s, beta)
                                                                               : add_every_gain<EntryWalk>(s, beta);
    s.candidates.walked = walked;
    s.deferred_sort.ranges.clear();
    s.deferred_sort.whole = pick_smallest(s);
    if (!s.deferred_sort.whole) quicksort(s, 0, n - 1, s.p);
    float bound = 0;
    for (int k = 0; k < s.p; ++k) bound = float(double(bound) + double(s.beta[k]));
    for (int j = 0; j < n; ++j) bound = float(t * double(s.lambda[j]) + double(bound));
    s.bound = bound;
}

namespace {

// Adds one to count[j] wherever row[j] < threshold[j]; branch-free, so it
// vectorises (kept out of line, where the compiler keeps the pointers apart).
[[gnu::noinline]] VECTOR_CLONES void count_gains(const float* __restrict row, const float* __restrict threshold,
                                                 int* __restrict count, int n) {
    for (int j = 0; j < n; ++j) count[j] += row[j] < threshold[j];
}

// A list entry walked costs about as much as this many row entries
// compared: the rows are compared eight at a time without a branch, the
// walk takes a branch and an indirect read per entry and a mispredicted
// one per client (measured on OR-Library instances: lists win where the
// medians' rows are over 30 times the walks, and tie at 15).
constexpr std::size_t walk_per_row_entry = 16;

// For each client, the opened medians among its listed nearest nodes that
// gain: the list holds every node nearer than its last entry, so only a
// client whose threshold reaches past that is counted along its row.
void count_along_lists(const State& s, const std::vector<float>& threshold, std::vector<int>& count) {
    const int n = s.n;
    const int width = s.candidates.width;
    std::vector<char> is_opened(std::size_t(n), 0);
    for (int k = 0; k < s.p; ++k) is_opened[s.node[k]] = 1;
    for (int j = 0; j < n; ++j) {
        const float limit = threshold[j];
        const CandidateLists::Entry* list = s.candidates.row(j);
        if (j + CandidateLists::walks_ahead < n) s.candidates.prefetch(j + CandidateLists::walks_ahead);
        int serving = 0;
        if (s.candidates.falls_short(j, limit, n)) {
            const float* row = s.dist[j];
            for (int k = 0; k < s.p; ++k) serving += row[s.node[k]] < limit;
        } else {
            for (int k = 0; k < width && list[k].dist < limit; ++k) serving += is_opened[list[k].node];
        }
        count[j] = serving;
    }
}

}  // namespace

void count_serving_medians(State& s, std::vector<int>& count) {
    std::vector<float>& threshold = s.threshold;
    threshold.resize(std::size_t(s.n));
    fill_thresholds(s.t, s.lambda.data(), threshold.data(), s.n);
    count.assign(std::size_t(s.n), 0);
    // The lists' walks that relax took are read again, from the cache,
    // where they are far shorter than the opened medians' rows.
    if (s.candidates.width > 0 && s.candidates.walked * walk_per_row_entry < std::size_t(s.p) * std::size_t(s.n)) {
        count_along_lists(s, threshold, count);
        return;
    }
    // Else median by median, along its row: the matrix is symmetric, so row
    // node[k] holds its distances to every client.
    for (int k = 0; k < s.p; ++k) count_gains(s.dist[s.node[k]], threshold.data(), count.data(), s.n);
}

void sort_beta(State& s, int lo, int hi) { quicksort(s, lo, hi, s.n); }

namespace {

// When every reduced cost differs from every other, any sort gives the
// partition sort's order: a radix sort gives it in a few passes, without
// the mispredicted comparisons. Returns false, leaving node and beta as
// they were, when two are equal.
bool sort_if_all_different(State& s) {
    const int n = s.n;
    std::vector<Entry> entries(static_cast<std::size_t>(n));
    std::vector<Entry> tmp(static_cast<std::size_t>(n));
    for (int k = 0; k < n; ++k) entries[k] = {s.beta[k], s.node[k]};
    const Entry* sorted = radix_sort(entries.data(), tmp.data(), n);
    for (int k = 1; k < n; ++k) {
        if (!(sorted[k - 1].dist < sorted[k].dist)) return false;
    }
    for (int k = 0; k < n; ++k) {
        s.beta[k] = sorted[k].dist;
        s.node[k] = sorted[k].node;
    }
    return true;
}

}  // namespace

void order_relaxation_fully(State& s) {
    DeferredSort& deferred = s.deferred_sort;
    if (deferred.whole) {
        for (int k = 0; k < s.p; ++k) {
            s.node[k] = k;
            s.beta[k] = deferred.displaced[k];
        }
        deferred.whole = false;
        if (!sort_if_all_different(s)) sort_beta(s, 0, s.n - 1);
    }
    for (const auto& range : deferred.ranges) sort_beta(s, range.first, range.second);
    deferred.ranges.clear();
}

}  // namespace pmedian
