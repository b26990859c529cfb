// Every threshold that chooses between the fast paths, and the fixed sizes
// the kernels are tuned to, each with the reason for its value. The
// measurements behind them are in docs/design.md. Tests lower the
// thresholds to reach each path on small instances, and read PathsTaken to
// see that it ran.
#pragma once

#include <cstddef>

namespace pmedian {

struct Tuning {
    // Relax walks its lists eight entries at a time (AVX2) once the walks
    // average this many entries: shorter walks cost more in vectors.
    std::size_t split_walk_length = 8;
    // The lists are copied into the eight-at-a-time layout only up to this
    // size: beyond, lists and copy outgrow the caches.
    std::size_t most_split_bytes = std::size_t(16) << 20;
    // An entry walked along a list costs about this many row entries
    // compared eight at a time: the serving medians are counted along the
    // lists when their walks are that much shorter than the medians' rows.
    std::size_t walk_per_row_entry = 16;
    // The cluster sums read a renumbered copy of the matrix from this side
    // up: below it the matrix stays in the caches; above the upper side a
    // second copy costs more memory than it saves time.
    int least_near_order_side = 1024;
    int largest_near_order_side = 16384;
    // The 16-bit copy is summed sixteen cells at a time when clusters hold
    // at least this many nodes on average; smaller ones fill too little of
    // each block.
    int least_block_cluster = 64;
    // An assignment rescans the nodes of changed clusters only where that
    // costs less than offering every median's row; a list entry walked costs
    // about this many row entries offered.
    double rescan_entry_cost = 13;
    // The cluster sums are taken afresh, not moved node by node, once more
    // than n / afresh_share nodes moved.
    int afresh_share = 4;
    // A cluster of more than n / dense_share nodes is summed over whole rows
    // with a mask rather than cell by cell.
    int dense_share = 2;
    // The swap search finds nearest medians along the lists from this many
    // medians (and p^2 >= 2n): a list then meets two medians early.
    int least_swap_walk_medians = 16;
    // The swap search lists the candidates each median's row gives anything
    // to beyond this many medians; with fewer, whole rows cost less.
    int most_unlisted_swap_medians = 32;

    // Up to this many medians are picked out of the reduced costs in one
    // pass when they are all different (the pass keeps them in registers).
    static constexpr int most_picked = 32;
    // Candidate lists (each client's nearest candidates) are never shorter:
    // below this many nodes a list is the whole row. A constant: read at run
    // time it cost the list building 5 % more instructions.
    static constexpr int shortest_list = 64;
    // Rows of whole numbers below 4n are sorted into lists by counting up to
    // this length; beyond, the counts outgrow the core's cache.
    static constexpr int longest_counted_row = 4096;
};

// Fixed sizes the kernels are written for.
// A strided sample of a row of this many distances guesses where its list ends.
inline constexpr int list_cut_sample = 256;
// Walks ask for the list this many clients ahead: lists lie a whole list apart,
// past what the hardware fetches ahead by itself.
inline constexpr int walks_ahead = 8;
// The partition scans blocks of up to this many entries without branches.
inline constexpr int widest_partition_block = 64;
// The near order's ranges are split down to this many nodes.
inline constexpr int smallest_near_range = 16;
// Walks ask for this many bytes at the start of a list of entries ahead of
// time: twelve cache lines hold the part of most lists a walk reads.
inline constexpr std::size_t list_prefetch_bytes = 12 * 64;
// Rows of whole numbers are sorted into lists by counting only while every
// value is below this many times the row's length (the counts' room).
inline constexpr int counted_range_per_node = 4;
// The 16-bit block sums ask for a row's cells this many rows before they
// add it up: they lie all over the matrix, too far apart for the hardware
// to fetch ahead.
inline constexpr int block_rows_ahead = 4;
// The reader's chunk: small enough to stay in a core's own cache between the
// read that fills it and the scan; a power of two, so that a chunk ends at
// every megabyte.
inline constexpr std::size_t reader_chunk_bytes = std::size_t(1) << 17;
// The matrix's pages are faulted in this far ahead of the reader, so that a
// file ending early has touched little more than it filled.
inline constexpr std::size_t reader_slab_bytes = std::size_t(4) << 20;
// The lower triangle is mirrored from the upper one in square tiles of this
// side: a column written node by node would touch a new cache line with
// every distance.
inline constexpr int mirror_tile = 32;

// How often each fast path ran: tests assert that the path they aim at was
// reached.
struct PathsTaken {
    long picked_medians = 0;         // relax picked its medians in one pass
    long partitioned = 0;            // relax partitioned towards its medians
    long split_walks = 0;            // relax walked the lists eight at a time
    long radix_orders = 0;           // a deferred sort was finished by a radix sort
    long counted_lists = 0;          // lists built by counting whole numbers
    long counts_along_lists = 0;     // serving medians counted along the lists
    long assignments_rescanned = 0;  // an assignment rescanned changed clusters
    long narrow_copy = 0;            // the cluster sums read the 16-bit copy
    long float_copy = 0;             // the cluster sums read a renumbered float copy
    long block_sums_afresh = 0;      // cluster sums afresh, sixteen cells at a time
    long block_moves = 0;            // cluster sums moved, sixteen cells at a time
    long node_sums_afresh = 0;       // cluster sums afresh, cell by cell
    long node_moves = 0;             // cluster sums moved, cell by cell
};

}  // namespace pmedian
