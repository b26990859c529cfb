#include "kernels/candidate_lists.hpp"

#include <algorithm>
#include <vector>

#include "problem.hpp"

namespace pmedian {

namespace {

// A client's gains reach about as far as a cluster, n / p nodes: lists of
// n / 8 to n / 4 entries, or 2n / p with more than 16 medians (at least
// n / 16), rarely fall short; a client whose weighted multiplier reaches
// past its list's end scans its whole row. Longer lists cost more to build
// and crowd the caches.
int list_width(int n, int p) {
    if (n <= Tuning::shortest_list) return n;
    const int divisor = p <= 16 ? std::clamp(p, 4, 8) : std::min(p / 2, 16);
    return std::max(Tuning::shortest_list, n / divisor);
}

using Entry = CandidateLists::Entry;

// Scratch of the list building, as long as a row.
struct RowScratch {
    explicit RowScratch(int n)
        : all(std::size_t(n)),
          tmp(std::size_t(n)),
          sample(list_cut_sample),
          counting(n <= Tuning::longest_counted_row) {}
    std::vector<Entry> all;
    std::vector<Entry> tmp;
    std::vector<float> sample;
    std::vector<int> count;
    bool counting;  // until a row is not of whole numbers
};

// The width nearest entries of a row of whole numbers in ascending
// distance, equal ones in the row's order, by counting: each row is read
// twice, in a few instructions an entry, where the sampled cut and the sort
// of what it keeps take many times that on rows of a few hundred. False,
// leaving out alone, unless every distance is such a number; the rows
// after it are then not tried.
bool nearest_by_counting(const float* row, int n, int width, RowScratch& scratch, Entry* out) {
    const int limit = counted_range_per_node * n;
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
        const int m = std::min(n, list_cut_sample);
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

}  // namespace

bool build_candidate_lists(CandidateLists& lists, const DistMatrix& dist, int n, int width) {
    lists.width = width;
    lists.entries.resize(std::size_t(n) * std::size_t(width));
    lists.farthest.resize(std::size_t(n));
    RowScratch scratch(n);
    for (int j = 0; j < n; ++j) {
        nearest_entries(dist[j], n, width, scratch, lists.entries.data() + std::size_t(j) * std::size_t(width));
        lists.farthest[j] = lists.row(j)[width - 1].dist;
    }
    return scratch.counting;
}

void build_candidate_lists(State& s, int least_width, int most_width) {
    const int width = std::min({s.n, most_width, std::max(list_width(s.n, s.p), least_width)});
    if (build_candidate_lists(s.caches.candidates, s.dist, s.n, width)) ++s.taken.counted_lists;
}

}  // namespace pmedian
