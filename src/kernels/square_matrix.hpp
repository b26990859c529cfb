// A square matrix in one zero-filled block, the layout of the distances
// and of their renumbered copies.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>

namespace pmedian {

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
    int side() const { return cells_ != nullptr ? int(n_) : 0; }
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

}  // namespace pmedian
