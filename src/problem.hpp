// The instance and every working array the solver shares, created once by
// load_problem and released by release_problem.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <string>
#include <utility>
#include <vector>

namespace pmedian {

class TokenReader;

// Sentinel distance: starts every nearest-node scan and the upper bound.
inline constexpr float INF_DIST = 9.99e10f;

struct Cluster {
    int median = 0;
    int size = 0;
    std::vector<int> members;  // capacity n - p, filled up to size
    float cost = 0;
};

// A zero-filled block of the given size, or null; untouched pages cost
// nothing. Freed by std::free.
void* allocate_zeroed_block(std::size_t bytes);

// Has the kernel fault in the pages of [start, start + bytes) that are about
// to be filled, in one call instead of a trap per page. Only a hint; where
// the system lacks it, nothing changes.
void fault_in_pages(void* start, std::size_t bytes);

// n x n cells in one block, zero-filled; m[i][j] reads row i, column j.
// The block has a vector's width of slack past the last row, so that a
// row's cells may be read 32 bytes at a time to a whole number of vectors.
template <typename Cell>
class SquareMatrix {
public:
    // False when the block cannot be had (size overflow or allocation failure).
    bool allocate(int n) {
        constexpr std::size_t slack = 32;
        const auto side = static_cast<std::size_t>(n);
        if (side != 0 && side > (SIZE_MAX - slack) / sizeof(Cell) / side) return false;
        cells_.reset(static_cast<Cell*>(allocate_zeroed_block(side * side * sizeof(Cell) + slack)));
        n_ = side;
        return cells_ != nullptr || side == 0;
    }
    void release() {
        cells_.reset();
        n_ = 0;
    }
    // Faults in the pages of rows [first, last), about to be filled.
    void fault_in_rows(int first, int last) {
        fault_in_pages((*this)[first], std::size_t(last - first) * n_ * sizeof(Cell));
    }
    Cell* operator[](int i) { return cells_.get() + std::size_t(i) * n_; }
    const Cell* operator[](int i) const { return cells_.get() + std::size_t(i) * n_; }

private:
    struct FreeCells {
        void operator()(Cell* cells) const { std::free(cells); }
    };
    std::unique_ptr<Cell[], FreeCells> cells_;
    std::size_t n_ = 0;
};

using DistMatrix = SquareMatrix<float>;

// For each client j, its nearest candidates in ascending distance, the first
// `width` of them (all n when n is small). Only a few percent of the pairs
// gain in a relaxation, so relax reads these instead of whole rows.
struct CandidateLists {
    struct Entry {
        float dist;
        int node;
    };
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
    // Asks for the first cache lines of list j ahead of its walk: a walk
    // reads the start of its list, and lists read one after another lie a
    // whole list apart, past what the hardware fetches ahead by itself.
    // Walks ask for the list this many walks ahead.
    static constexpr int walks_ahead = 8;
    void prefetch(int j) const { prefetch_start(row(j), sizeof(Entry)); }
    // The same for the split lists: as many entries, from both arrays.
    void prefetch_split(int j) const {
        const std::size_t start = std::size_t(j) * std::size_t(width);
        prefetch_start(split_dists.data() + start, sizeof(float));
        prefetch_start(split_nodes.data() + start, sizeof(int));
    }

private:
    // The first cache lines of a list whose entries take `size` bytes: as
    // many entries as twelve lines of a list of entries hold.
    void prefetch_start(const void* list, std::size_t size) const {
        constexpr std::size_t most_bytes = 12 * 64;
        const auto* start = static_cast<const char*>(list);
        // (Written without std::min, with which GCC 12 drops the prefetches.)
        const std::size_t bytes = std::size_t(width) * size;
        const std::size_t wanted = most_bytes * size / sizeof(Entry);
        const std::size_t lines = (bytes < wanted ? bytes + 63 : wanted) / 64;
        for (std::size_t l = 0; l < lines; ++l) __builtin_prefetch(start + 64 * l);
    }
};

// The matrix with the nodes renumbered so that nodes of one region get
// neighbouring numbers: the nodes of a cluster then lie in a few stretches
// of a row, and summing over them reads a few cache lines instead of one
// per node. Kept only for matrices larger than the caches; when the sums
// are exact every distance is a whole number below 2^16, and the copy is
// kept in 16 bits, so that twice as many distances share a cache line.
struct NearOrder {
    DistMatrix copy;                     // copy[index[x]][index[y]] = dist[x][y], when kept in floats
    SquareMatrix<std::uint16_t> narrow;  // the same, when kept in 16 bits
    bool is_narrow = false;
    const DistMatrix* rows = nullptr;  // copy, or the matrix itself, unless narrow
    std::vector<int> index;            // per node: its number in rows
    std::vector<int> node_at;          // per number: its node
    // Calls fn with the matrix the sums read.
    template <typename Fn>
    void with_rows(Fn fn) const {
        if (is_narrow) {
            fn(narrow);
        } else {
            fn(*rows);
        }
    }
};

// The nodes of every cluster in ascending numbers of the near order, so
// that a row is read forward: the hardware fetches ahead of the scattered
// columns.
struct SortedClusters {
    std::vector<int> start;  // per cluster, then one past the last
    std::vector<int> nodes;
    const int* begin(int c) const { return nodes.data() + start[c]; }
    const int* end(int c) const { return nodes.data() + start[c + 1]; }
    template <typename Fn>
    void for_each(int c, Fn fn) const {
        for (const int* x = begin(c); x != end(c); ++x) fn(*x);
    }
};

// For each node, the sum of its distances to the nodes of its own cluster,
// kept in double and brought up to date by each assignment from the nodes
// that moved instead of summed afresh. When every distance is a whole
// number and n times the largest is below 2^24, every float sum of
// distances is exact in any order, and these sums are the sums the rules
// ask for. Otherwise they are exact to within `error`, and a float sum in
// the written order lies within a known margin of the exact one: together
// they tell the members that surely do not serve their cluster more
// cheaply.
struct ClusterSums {
    enum class Mode { unknown, exact, inexact };
    Mode mode = Mode::unknown;
    float largest = 0;                   // the largest distance, once mode is known, when every distance is whole
    std::vector<double> to_own_cluster;  // per node
    std::vector<double> error;           // per node: a bound on the rounding in to_own_cluster
    std::vector<int> cluster_of;         // per node: the cluster those sums are for, or -1
    NearOrder near;                      // where the sums read their distances
    SortedClusters sorted;               // cluster_of's clusters
};

// The last assignment, node by node. Between two calls of improve_clusters
// only a few medians change, so the next assignment rescans only the nodes
// those can win or lose.
struct LastAssignment {
    bool valid = false;
    std::vector<int> medians;      // per cluster: its median then
    std::vector<char> was_median;  // per node
    std::vector<float> nearest;    // per node: the distance to its median
    std::vector<int> cluster;      // per node: its cluster
};

// What the sort of a relaxation left for later, past its first p entries
// (see order_relaxation_fully).
struct DeferredSort {
    // Ranges of node and beta, each to be sorted on its own.
    std::vector<std::pair<int, int>> ranges;
    // Or the whole sort, from the nodes in their own order: only the first
    // p entries were picked out, and the reduced costs they took the place
    // of are kept here; past them node and beta are still in node order.
    bool whole = false;
    std::vector<float> displaced;
};

// The solver's state; every operation receives it.
struct State {
    int n = 0;
    int p = 0;
    float t = 0;
    float bound = 0;
    float best_lb = 0;
    float best_ub = 0;
    int subg_zero = 0;

    DistMatrix dist;
    std::vector<float> beta;
    std::vector<float> sv_beta;
    std::vector<int> node;
    DeferredSort deferred_sort;  // of the last relaxation
    DeferredSort sv_deferred_sort;
    std::vector<int> best;
    std::vector<int> sv_node;
    std::vector<int> subg;
    std::vector<float> lambda;
    // Per client, the least float not below t * lambda[j]: a distance d
    // gains exactly when d is below it. Scratch of relax and of the counts
    // of serving medians.
    std::vector<float> threshold;
    std::vector<Cluster> vc;
    CandidateLists candidates;  // built by the first relax
    ClusterSums cluster_sums;   // set up by the first assignment
    LastAssignment last_assignment;

    std::FILE* out = stdout;  // where the status line and the report go
};

// A condition that ends the run: its message is printed as it stands and
// the process exits with status 1.
struct Fatal {
    std::string message;
};

// A message with up to two int arguments, printf-style.
std::string format_message(const char* format, int a, int b = 0);

// Checks the size, allocates every array and reads the upper triangle from in.
void load_problem(State& s, TokenReader& in);
void release_problem(State& s);

// True when every distance is a whole number, and so every sum of them.
bool all_distances_whole(const DistMatrix& dist, int n);
// The largest distance when every distance is a whole number, else -1.
float largest_whole_distance(const DistMatrix& dist, int n);

// Allocates every array for n nodes and p medians (1 <= p <= n), zero-filled.
void allocate_problem(State& s);

}  // namespace pmedian
