#include "kernels/block_sums.hpp"

#include <bit>
#include <cstddef>
#include <cstring>

#include "kernels/tuning.hpp"
#include "kernels/vector_clones.hpp"

// The vector helpers below are inlined into the kernels, so that their
// 32-byte arguments never cross a call: no ABI is at stake.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace pmedian {

namespace {

// A block of cells, and eight 32-bit sums (GCC's vector types: one source
// for the AVX2 clone and the baseline one, which splits each in halves).
using Cells = std::uint16_t __attribute__((vector_size(32)));
using Lanes = std::uint32_t __attribute__((vector_size(32)));
static_assert(sizeof(Cells) == block_width * sizeof(std::uint16_t));

[[gnu::always_inline]] inline Cells load_cells(const std::uint16_t* at) {
    Cells cells;
    std::memcpy(&cells, at, sizeof cells);
    return cells;
}

// The even cells of a block and the odd ones, widened: each 32-bit lane
// holds two cells. Sums are exact in any order, so they are kept so,
// without putting the cells back in order.
[[gnu::always_inline]] inline Lanes even_cells(const Cells& cells) { return std::bit_cast<Lanes>(cells) & 0xFFFFu; }
[[gnu::always_inline]] inline Lanes odd_cells(const Cells& cells) { return std::bit_cast<Lanes>(cells) >> 16; }

[[gnu::always_inline]] inline Lanes load_lanes(const int* at) {
    Lanes lanes;
    std::memcpy(&lanes, at, sizeof lanes);
    return lanes;
}
[[gnu::always_inline]] inline void store_lanes(const Lanes& lanes, int* at) { std::memcpy(at, &lanes, sizeof lanes); }

[[gnu::always_inline]] inline int lane_sum(const Lanes& lanes) {
    std::uint32_t sum = 0;
    for (int l = 0; l < 8; ++l) sum += lanes[l];
    return int(sum);
}

// Column sums, a block at a time, in ColumnSums' order: the even cells'
// eight sums, then the odd cells'.
[[gnu::always_inline]] inline void add_to_column(const Cells& cells, int* column) {
    store_lanes(load_lanes(column) + even_cells(cells), column);
    store_lanes(load_lanes(column + block_width / 2) + odd_cells(cells), column + block_width / 2);
}

// Asks for a row's cells in the runs (see block_rows_ahead).
void prefetch_runs(const std::uint16_t* row, const Run* runs, int run_count) {
    constexpr int cells_a_line = 64 / sizeof(std::uint16_t);
    for (int k = 0; k < run_count; ++k) {
        for (int a = runs[k].begin; a < runs[k].end; a += cells_a_line) __builtin_prefetch(row + a);
        __builtin_prefetch(row + runs[k].end - 1);
    }
}

void clear_runs(int* column, const Run* runs, int run_count) {
    for (int k = 0; k < run_count; ++k) {
        std::memset(column + runs[k].begin, 0, sizeof(int) * std::size_t(runs[k].end - runs[k].begin));
    }
}

// The kernels, each compiled for AVX2 where the processor has it.

[[gnu::noinline]] VECTOR_CLONES void sum_masked(const std::uint16_t* const* rows, int count, const std::uint16_t* mask,
                                                const Run* runs, int run_count, int* sums) {
    for (int r = 0; r < count; ++r) {
        if (r + block_rows_ahead < count) prefetch_runs(rows[r + block_rows_ahead], runs, run_count);
        const std::uint16_t* row = rows[r];
        Lanes sum = {};
        for (int k = 0; k < run_count; ++k) {
            for (int a = runs[k].begin; a < runs[k].end; a += block_width) {
                const Cells cells = load_cells(row + a) & load_cells(mask + a);
                sum += even_cells(cells) + odd_cells(cells);
            }
        }
        sums[r] = lane_sum(sum);
    }
}

// Row r adds its cells past its own number to its sum and to the column,
// which by then holds the cells of the rows before in its own number.
[[gnu::noinline]] VECTOR_CLONES void sum_pairs_masked(const std::uint16_t* const* rows, const int* numbers, int count,
                                                      const std::uint16_t* mask, const Run* runs, int run_count,
                                                      int* column, int* sums) {
    clear_runs(column, runs, run_count);
    const Cells offsets = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15};
    int first = 0;  // the run that holds row r's own number
    for (int r = 0; r < count; ++r) {
        const int own = numbers[r];
        while (runs[first].end <= own) ++first;
        if (r + block_rows_ahead < count) prefetch_runs(rows[r + block_rows_ahead], runs + first, run_count - first);
        const std::uint16_t* row = rows[r];
        // The own block: only the cells past the own number.
        const int own_block = block_start(own);
        const Cells past_own = std::bit_cast<Cells>(offsets + std::uint16_t(own_block) > std::uint16_t(own));
        Cells cells = load_cells(row + own_block) & load_cells(mask + own_block) & past_own;
        Lanes sum = even_cells(cells) + odd_cells(cells);
        add_to_column(cells, column + own_block);
        for (int k = first; k < run_count; ++k) {
            for (int a = k == first ? own_block + block_width : runs[k].begin; a < runs[k].end; a += block_width) {
                cells = load_cells(row + a) & load_cells(mask + a);
                sum += even_cells(cells) + odd_cells(cells);
                add_to_column(cells, column + a);
            }
        }
        sums[r] = lane_sum(sum) + column[column_slot(own)];
    }
}

[[gnu::noinline]] VECTOR_CLONES void sum_columns(const std::uint16_t* const* rows, int count, const Run* runs,
                                                 int run_count, int* column) {
    clear_runs(column, runs, run_count);
    // Up to four rows a pass, so that each column sum is read and written
    // once for the four.
    for (int r = 0; r < count; r += 4) {
        const std::uint16_t* four[4];
        Cells keep[4];
        for (int l = 0; l < 4; ++l) {
            four[l] = rows[r + l < count ? r + l : r];
            keep[l] = r + l < count ? ~Cells{} : Cells{};
        }
        for (int k = 0; k < run_count; ++k) {
            for (int a = runs[k].begin; a < runs[k].end; a += block_width) {
                Lanes even = {};
                Lanes odd = {};
                for (int l = 0; l < 4; ++l) {
                    const Cells cells = load_cells(four[l] + a) & keep[l];
                    even += even_cells(cells);
                    odd += odd_cells(cells);
                }
                store_lanes(load_lanes(column + a) + even, column + a);
                store_lanes(load_lanes(column + a + block_width / 2) + odd, column + a + block_width / 2);
            }
        }
    }
}

// Room for whole blocks.
std::size_t padded(int n) { return std::size_t(n + block_width - 1) / block_width * block_width; }

}  // namespace

BlockMask::BlockMask(int n) : mask_(padded(n), 0), runs_(padded(n) / block_width) {}

void BlockMask::mark(const int* nodes, const int* nodes_end, const int* number) {
    numbers_.resize(std::size_t(nodes_end - nodes));
    int* out = numbers_.data();
    run_count_ = 0;
    int end = -1;  // of the last run
    for (const int* x = nodes; x != nodes_end; ++x) {
        const int a = number[*x];
        *out++ = a;
        mask_[a] = 0xFFFF;
        const int begin = block_start(a);
        if (begin >= end) {
            // A new run unless the block follows the last run's.
            if (begin > end) runs_[run_count_++].begin = begin;
            end = begin + block_width;
            runs_[run_count_ - 1].end = end;
        }
    }
}

void BlockMask::clear() {
    for (const int a : numbers_) mask_[a] = 0;
}

ColumnSums::ColumnSums(int n) : cells_(padded(n), 0) {}

void masked_row_sums(const std::uint16_t* const* rows, int count, const BlockMask& cluster, int* sums) {
    sum_masked(rows, count, cluster.mask(), cluster.runs(), cluster.run_count(), sums);
}

void own_row_sums(const std::uint16_t* const* rows, const BlockMask& cluster, ColumnSums& column, int* sums) {
    const std::vector<int>& numbers = cluster.numbers();
    sum_pairs_masked(rows, numbers.data(), int(numbers.size()), cluster.mask(), cluster.runs(), cluster.run_count(),
                     column.data(), sums);
}

void prefetch_rows_in_runs(const std::uint16_t* const* rows, int count, const BlockMask& cluster) {
    for (int r = 0; r < count; ++r) prefetch_runs(rows[r], cluster.runs(), cluster.run_count());
}

void add_rows_in_runs(const std::uint16_t* const* rows, int count, const BlockMask& cluster, ColumnSums& column) {
    sum_columns(rows, count, cluster.runs(), cluster.run_count(), column.data());
}

}  // namespace pmedian
