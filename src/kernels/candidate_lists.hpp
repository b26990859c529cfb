// Each client's nearest candidates in ascending distance: only a few
// percent of the pairs gain in a relaxation, so relax, the assignment and
// the swap search walk these instead of whole rows.
#pragma once

#include <climits>
#include <cstddef>
#include <vector>

#include "kernels/radix_sort.hpp"
#include "kernels/square_matrix.hpp"
#include "kernels/tuning.hpp"

namespace pmedian {

struct State;

// For each client j, its nearest candidates in ascending distance, the first
// `width` of them (all n when n is small).
struct CandidateLists {
    using Entry = NodeDistance;
    int width = 0;
    std::vector<Entry> entries;  // n rows of width entries
    // Per list, its last entry's distance, kept apart: asked for every
    // client, it would otherwise cost a read of each list's far end.
    std::vector<float> farthest;
    // Entries the last relax walked, a whole row counted as p: what
    // counting the serving medians along the lists would read.
    std::size_t walked = 0;
    // The same lists with distances and nodes apart, kept when the lists
    // are small enough to stay in the caches and the processor has AVX2:
    // relax's walks then compare and convert eight distances at a time
    // (empty otherwise).
    std::vector<float> split_dists;
    std::vector<int> split_nodes;
    const Entry* row(int j) const { return entries.data() + std::size_t(j) * std::size_t(width); }
    // Whether a node beyond list j may be nearer to j than `limit` (of n
    // nodes): the list holds every node nearer than its last entry, so only
    // when it is not the whole row and its last entry is nearer still.
    bool falls_short(int j, double limit, int n) const { return width < n && double(farthest[j]) < limit; }
    // Asks for the first cache lines of list j ahead of its walk.
    void prefetch(int j) const { prefetch_start(row(j), sizeof(Entry)); }
    // The same for the split lists: as many entries, from both arrays.
    void prefetch_split(int j) const {
        const std::size_t start = std::size_t(j) * std::size_t(width);
        prefetch_start(split_dists.data() + start, sizeof(float));
        prefetch_start(split_nodes.data() + start, sizeof(int));
    }

private:
    // The first cache lines of a list whose entries take `size` bytes: as
    // many entries as list_prefetch_bytes of a list of entries hold.
    void prefetch_start(const void* list, std::size_t size) const {
        constexpr std::size_t most_bytes = list_prefetch_bytes;
        const auto* start = static_cast<const char*>(list);
        // (Written without std::min, with which GCC 12 drops the prefetches.)
        const std::size_t bytes = std::size_t(width) * size;
        const std::size_t wanted = most_bytes * size / sizeof(Entry);
        const std::size_t lines = (bytes < wanted ? bytes + 63 : wanted) / 64;
        for (std::size_t l = 0; l < lines; ++l) __builtin_prefetch(start + 64 * l);
    }
};

// Builds each node's list of nearest nodes, of at least least_width
// entries and at most most_width (and n). The first relax builds them if no
// one has.
void build_candidate_lists(State& s, int least_width = 0, int most_width = INT_MAX);

// The lists of width entries (1 .. n) of the n x n matrix dist; true when
// they were placed by counting whole distances.
bool build_candidate_lists(CandidateLists& lists, const DistMatrix& dist, int n, int width);

}  // namespace pmedian
