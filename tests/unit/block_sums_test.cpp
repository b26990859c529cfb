#include "kernels/block_sums.hpp"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <string>
#include <vector>

#include "problem.hpp"

namespace pmedian {
namespace {

// A symmetric matrix of random cells, the largest a 16-bit cell holds
// among them, and random clusters of its numbers, on sides that are and
// are not whole blocks: the blocked sums must equal the sums cell by cell,
// the last row and last block included.
struct Case {
    int n;
    SquareMatrix<std::uint16_t> rows;
    std::vector<int> numbers;  // ascending
};

Case make_case(int n, double share, unsigned seed) {
    std::mt19937 rng(seed);
    Case c{n, {}, {}};
    EXPECT_TRUE(c.rows.allocate(n));
    for (int a = 0; a < n; ++a) {
        for (int b = a + 1; b < n; ++b) {
            const auto d = std::uint16_t(rng() % 4 == 0 ? 65535 : rng() % 2000);
            c.rows[a][b] = d;
            c.rows[b][a] = d;
        }
    }
    std::bernoulli_distribution in(share);
    for (int a = 0; a < n; ++a) {
        if (in(rng) || a == n - 1) c.numbers.push_back(a);
    }
    return c;
}

// Numbers standing for themselves.
std::vector<int> numbered(int n) {
    std::vector<int> identity(static_cast<std::size_t>(n));
    for (int a = 0; a < n; ++a) identity[a] = a;
    return identity;
}

std::int64_t plain_sum(const Case& c, int row) {
    std::int64_t sum = 0;
    for (int b : c.numbers) sum += c.rows[row][b];
    return sum;
}

TEST(BlockSums, MatchCellByCellSums) {
    for (int n : {1, 15, 16, 17, 100, 257}) {
        for (double share : {0.05, 0.5, 1.0}) {
            SCOPED_TRACE("n=" + std::to_string(n) + " share=" + std::to_string(share));
            const Case c = make_case(n, share, unsigned(n * 7) + unsigned(share * 100));
            BlockMask cluster(n);
            const std::vector<int> identity = numbered(n);
            cluster.mark(c.numbers.data(), c.numbers.data() + c.numbers.size(), identity.data());
            std::vector<const std::uint16_t*> own_rows;
            for (int a : c.numbers) own_rows.push_back(c.rows[a]);
            const std::vector<const std::uint16_t*> other_rows = {c.rows[0], c.rows[n / 2], c.rows[n - 1],
                                                                  c.rows[n / 3], c.rows[n - 1]};

            std::vector<int> sums(c.numbers.size());
            ColumnSums column(n);
            own_row_sums(own_rows.data(), cluster, column, sums.data());
            for (std::size_t k = 0; k < c.numbers.size(); ++k) EXPECT_EQ(sums[k], plain_sum(c, c.numbers[k]));

            std::vector<int> other_sums(other_rows.size());
            masked_row_sums(other_rows.data(), int(other_rows.size()), cluster, other_sums.data());
            for (std::size_t r = 0; r < other_rows.size(); ++r) {
                EXPECT_EQ(other_sums[r], plain_sum(c, int(other_rows[r] - c.rows[0]) / n));
            }

            // One to five rows: whole passes of four and the rest.
            for (int count = 1; count <= 5; ++count) {
                add_rows_in_runs(other_rows.data(), count, cluster, column);
                for (int a : c.numbers) {
                    int expected = 0;
                    for (int r = 0; r < count; ++r) expected += other_rows[r][a];
                    EXPECT_EQ(column.at(a), expected) << "count=" << count << " a=" << a;
                }
            }
            cluster.clear();
        }
    }
}

TEST(BlockSums, ClearedMaskLeavesTheNextClusterItsOwn) {
    const Case c = make_case(40, 0.5, 3);
    BlockMask cluster(40);
    const std::vector<int> identity = numbered(40);
    cluster.mark(c.numbers.data(), c.numbers.data() + c.numbers.size(), identity.data());
    cluster.clear();
    const std::vector<int> second = {3, 38};
    cluster.mark(second.data(), second.data() + 2, identity.data());
    EXPECT_EQ(cluster.run_count(), 2);
    const std::uint16_t* row = c.rows[5];
    int sum = 0;
    masked_row_sums(&row, 1, cluster, &sum);
    EXPECT_EQ(sum, c.rows[5][3] + c.rows[5][38]);
}

}  // namespace
}  // namespace pmedian
