// Sums over the 16-bit copy of the matrix a block of sixteen numbers at a
// time. In the near order a cluster's nodes fill a few runs of blocks
// nearly whole (on 3000 random points with 30 medians, about five runs
// with 1.2 cells for each node), so whole blocks go through vector
// registers, masked, instead of node by node through scattered reads.
#pragma once

#include <cstdint>
#include <vector>

namespace pmedian {

inline constexpr int block_width = 16;

// Blocks [begin, end) of block_width numbers that hold some of a
// cluster's nodes; the last may reach past the last number.
struct Run {
    int begin;
    int end;
};

// One cluster's numbers, runs and mask over n numbers, reused from cluster
// to cluster: mask[a] is all ones where a is one of the cluster's numbers.
class BlockMask {
public:
    explicit BlockMask(int n);
    // Marks the numbers of the given nodes, which are in ascending
    // numbers, and finds their runs.
    void mark(const int* nodes, const int* nodes_end, const int* number);
    // Unmarks the numbers last marked.
    void clear();
    const std::vector<int>& numbers() const { return numbers_; }
    const Run* runs() const { return runs_.data(); }
    int run_count() const { return run_count_; }
    const std::uint16_t* mask() const { return mask_.data(); }

private:
    std::vector<int> numbers_;
    std::vector<std::uint16_t> mask_;
    std::vector<Run> runs_;  // room for the most there can be
    int run_count_ = 0;
};

// Where number a's column sum is kept: in the order the vector lanes leave
// the sums in, a block's even numbers, then its odd ones.
// Numbers are never negative: taken apart by their bits, without the sign's
// corrections of % and /.
inline int column_slot(int a) {
    const auto bits = unsigned(a);
    const unsigned in_block = bits & (block_width - 1);
    return int((bits - in_block) + (in_block & 1) * (block_width / 2) + (in_block >> 1));
}
// The first number of a's block.
inline int block_start(int a) { return int(unsigned(a) & ~unsigned(block_width - 1)); }

// Per number in a cluster's runs, a sum over rows.
class ColumnSums {
public:
    explicit ColumnSums(int n);
    int at(int a) const { return cells_[column_slot(a)]; }
    int* data() { return cells_.data(); }

private:
    std::vector<int> cells_;
};

// The sums below read whole blocks of each row: where the last block
// reaches past the last number, past the row's end (see SquareMatrix's
// slack).

// sums[r] = the sum of rows[r] over the marked numbers, for each of the
// count rows. Every sum is a whole number below 2^31.
void masked_row_sums(const std::uint16_t* const* rows, int count, const BlockMask& cluster, int* sums);

// The same for the cluster's own nodes, where rows[r] is the row of its
// r-th number, in a symmetric matrix with zeros on its diagonal: each pair
// is read once. column is scratch.
void own_row_sums(const std::uint16_t* const* rows, const BlockMask& cluster, ColumnSums& column, int* sums);

// column at a = the sum of rows[r][a] over the count rows, for every
// number a in the cluster's runs. The rows are not asked for ahead: they are
// few, and are best asked for while another cluster's are added up, by
// prefetch_rows_in_runs.
void prefetch_rows_in_runs(const std::uint16_t* const* rows, int count, const BlockMask& cluster);
void add_rows_in_runs(const std::uint16_t* const* rows, int count, const BlockMask& cluster, ColumnSums& column);

}  // namespace pmedian
