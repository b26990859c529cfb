#include "kernels/cluster_sums.hpp"

#include <algorithm>
#include <cassert>
#include <cmath>
#include <type_traits>
#include <utility>
#include <vector>

#include "kernels/block_sums.hpp"
#include "kernels/near_order.hpp"
#include "kernels/whole_distances.hpp"
#include "problem.hpp"

namespace pmedian {

namespace {

// The nodes of cluster c: its median, then its members.
template <typename Fn>
void for_each_in_cluster(const Cluster& cluster, Fn fn) {
    fn(cluster.median);
    for (int k = 0; k < cluster.size; ++k) fn(cluster.members[k]);
}

// What the cluster sums are added up in, node by node: when every sum of
// distances is exact, an int over the 16-bit copy and a float over floats
// add them exactly and more cheaply than a double; otherwise a double,
// which rounds, and whose rounding is bounded alongside.
template <typename Sum>
constexpr bool rounds = std::is_same_v<Sum, double>;

// Each node's sum of distances to the given nodes (ascending numbers of
// `rows`): any order will do, so each pair is read once, in the row of the
// first. Rows are taken four at a time, so that the later nodes' numbers
// and sums are gone through once for the four.
template <typename Matrix, typename Sum>
void pair_sums(const Matrix& rows, const std::vector<int>& numbers, std::vector<Sum>& sums) {
    constexpr std::size_t group = 4;
    const std::size_t size = numbers.size();
    sums.assign(size, 0);
    std::size_t a = 0;
    for (; a + group <= size; a += group) {
        decltype(rows[0]) row[group];
        for (std::size_t l = 0; l < group; ++l) row[l] = rows[numbers[a + l]];
        Sum own[group] = {};
        // The pairs within the group.
        for (std::size_t l = 0; l < group; ++l) {
            for (std::size_t m = l + 1; m < group; ++m) {
                const Sum d = row[l][numbers[a + m]];
                own[l] += d;
                own[m] += d;
            }
        }
        for (std::size_t b = a + group; b < size; ++b) {
            const int column = numbers[b];
            Sum d[group];
            for (std::size_t l = 0; l < group; ++l) {
                d[l] = row[l][column];
                own[l] += d[l];
            }
            sums[b] += (d[0] + d[1]) + (d[2] + d[3]);
        }
        for (std::size_t l = 0; l < group; ++l) sums[a + l] += own[l];
    }
    for (; a < size; ++a) {
        const auto* row = rows[numbers[a]];
        Sum own = 0;
        for (std::size_t b = a + 1; b < size; ++b) {
            const Sum d = row[numbers[b]];
            own += d;
            sums[b] += d;
        }
        sums[a] += own;
    }
}

// Sum of a row weighted by a 0/1 mask of the cluster's nodes: for large
// clusters a whole contiguous row is cheaper than scattered reads.
template <typename Cell>
double masked_sum(const Cell* row, const float* mask, int n) {
    constexpr int lanes = 16;
    double part[lanes] = {};
    int k = 0;
    for (; k + lanes <= n; k += lanes) {
        for (int lane = 0; lane < lanes; ++lane) part[lane] += double(row[k + lane] * mask[k + lane]);
    }
    for (; k < n; ++k) part[0] += double(row[k] * mask[k]);
    double sum = 0;
    for (double value : part) sum += value;
    return sum;
}

// A bound on the rounding of a double sum of `terms` non-negative terms.
double summation_error(double sum, std::size_t terms) { return sum * (double(terms) + 1) * 0x1p-53; }

// A bound on the rounding of one addition that gave `result`.
double rounding_of(double result) { return std::fabs(result) * 0x1p-53; }

// The given nodes grouped by cluster (cluster_of: per node, its cluster or
// -1 to leave it out), each group in the order of `nodes`.
SortedClusters group_by_cluster(int p, const std::vector<int>& nodes, const std::vector<int>& cluster_of) {
    SortedClusters grouped;
    grouped.start.assign(std::size_t(p) + 1, 0);
    for (int x : nodes) {
        if (cluster_of[x] >= 0) ++grouped.start[cluster_of[x] + 1];
    }
    for (int c = 0; c < p; ++c) grouped.start[c + 1] += grouped.start[c];
    grouped.nodes.resize(std::size_t(grouped.start[p]));
    std::vector<int> next(grouped.start.begin(), grouped.start.end() - 1);
    for (int x : nodes) {
        if (cluster_of[x] >= 0) grouped.nodes[next[cluster_of[x]]++] = x;
    }
    return grouped;
}

SortedClusters sort_clusters(const State& s, const std::vector<int>& cluster_of) {
    return group_by_cluster(s.p, s.caches.cluster_sums.near.node_at, cluster_of);
}

// The clusters after the moves from those before (`old`): each keeps the
// nodes that stayed, in their order, and takes its joiners (`joining`, in
// ascending numbers) in by number; one that none joined or left is copied.
// Far less than sorting every node again.
SortedClusters regroup(const State& s, const SortedClusters& old, const SortedClusters& joining,
                       const SortedClusters& leaving, const std::vector<int>& new_cluster) {
    const int* number = s.caches.cluster_sums.near.index.data();
    SortedClusters grouped;
    grouped.start.assign(std::size_t(s.p) + 1, 0);
    for (int c = 0; c < s.p; ++c) grouped.start[c + 1] = grouped.start[c] + s.vc[c].size + 1;
    grouped.nodes.resize(std::size_t(grouped.start[s.p]));
    for (int c = 0; c < s.p; ++c) {
        int* out = grouped.nodes.data() + grouped.start[c];
        const int* join = joining.nodes.data() + joining.start[c];
        const int* join_end = joining.nodes.data() + joining.start[c + 1];
        if (join == join_end && leaving.start[c] == leaving.start[c + 1]) {
            std::copy(old.nodes.data() + old.start[c], old.nodes.data() + old.start[c + 1], out);
            continue;
        }
        for (int k = old.start[c]; k < old.start[c + 1]; ++k) {
            const int x = old.nodes[k];
            if (new_cluster[x] != c) continue;
            while (join != join_end && number[*join] < number[x]) *out++ = *join++;
            *out++ = x;
        }
        out = std::copy(join, join_end, out);
    }
    return grouped;
}

// Every node's sum over its own cluster, cluster by cluster (`clusters`,
// in ascending numbers), read in the near order's numbers from rows.
template <typename Sum, typename Matrix>
void sum_every_cluster_afresh(State& s, const Matrix& rows, const SortedClusters& clusters) {
    ClusterSums& cluster_sums = s.caches.cluster_sums;
    const NearOrder& near = cluster_sums.near;
    std::vector<int> numbers;
    std::vector<float> mask;
    std::vector<Sum> sums;
    for (int c = 0; c < s.p; ++c) {
        numbers.clear();
        clusters.for_each(c, [&](int x) { numbers.push_back(near.index[x]); });
        const bool dense = numbers.size() * std::size_t(s.tuning.dense_share) > std::size_t(s.n);
        if (dense) {
            mask.assign(std::size_t(s.n), 0.0f);
            for (int a : numbers) mask[a] = 1.0f;
            sums.resize(numbers.size());
            for (std::size_t k = 0; k < numbers.size(); ++k) {
                sums[k] = Sum(masked_sum(rows[numbers[k]], mask.data(), s.n));
            }
        } else {
            pair_sums(rows, numbers, sums);
        }
        for (std::size_t k = 0; k < numbers.size(); ++k) {
            const int x = near.node_at[numbers[k]];
            cluster_sums.to_own_cluster[x] = sums[k];
            if constexpr (rounds<Sum>) cluster_sums.error[x] = summation_error(sums[k], numbers.size());
        }
    }
}

// sum_every_cluster_afresh over the 16-bit copy: each pair is still read
// once, but a block of sixteen cells at a time, masked, in vector
// registers, over the blocks that hold the cluster's nodes.
void sum_every_cluster_in_blocks(State& s, const SquareMatrix<std::uint16_t>& rows, const SortedClusters& clusters) {
    ClusterSums& cluster_sums = s.caches.cluster_sums;
    BlockMask cluster(s.n);
    std::vector<const std::uint16_t*> member_rows;
    std::vector<int> sums;
    ColumnSums column(s.n);
    for (int c = 0; c < s.p; ++c) {
        cluster.mark(clusters.begin(c), clusters.end(c), cluster_sums.near.index.data());
        member_rows.clear();
        for (const int a : cluster.numbers()) member_rows.push_back(rows[a]);
        sums.resize(member_rows.size());
        own_row_sums(member_rows.data(), cluster, column, sums.data());
        const int* node = clusters.begin(c);
        for (std::size_t k = 0; k < sums.size(); ++k) cluster_sums.to_own_cluster[node[k]] = sums[k];
        cluster.clear();
    }
}

// The clusters before and after an assignment, and the nodes that joined
// and left each, in ascending numbers.
struct ClusterChanges {
    SortedClusters before;
    SortedClusters joining;
    SortedClusters leaving;
    SortedClusters after;
    const std::vector<int>& new_cluster;  // per node
};

// A node of a cluster as the moves see it: its number in the near order,
// and whether it is in the cluster both before and after.
struct Member {
    int number;
    int node;
    bool stays;
};

// Up to `group` nodes that joined (sign +1) or left (sign -1) one cluster,
// against its members: each member's row entries are read for the whole
// group at once. A node that stays gains or loses each distance; the sums
// of the distances are the joiners' new sums.
template <int group, typename Sum, typename Row>
void move_group(const Row* const* movers_rows, const std::vector<Member>& members, double sign, ClusterSums& sums,
                double* mover_sums) {
    Sum part[group] = {};
    for (const Member& m : members) {
        Sum d[group];
        for (int l = 0; l < group; ++l) {
            d[l] = movers_rows[l][m.number];
            part[l] += d[l];
        }
        if (!m.stays) continue;
        double& own = sums.to_own_cluster[m.node];
        if constexpr (rounds<Sum>) {
            for (int l = 0; l < group; ++l) {
                own += sign * d[l];
                sums.error[m.node] += rounding_of(own);
            }
        } else {
            Sum all = 0;
            for (int l = 0; l < group; ++l) all += d[l];
            own += sign * double(all);
        }
    }
    for (int l = 0; l < group; ++l) mover_sums[l] = double(part[l]);
}

// move_group for `count` movers, fewer than group + 1.
template <int group, typename Sum, typename Row>
void move_fewer(std::size_t count, const Row* const* movers_rows, const std::vector<Member>& members, double sign,
                ClusterSums& sums, double* mover_sums) {
    if constexpr (group > 0) {
        if (count == group) {
            move_group<group, Sum>(movers_rows, members, sign, sums, mover_sums);
        } else {
            move_fewer<group - 1, Sum>(count, movers_rows, members, sign, sums, mover_sums);
        }
    }
}

// The nodes that moved read their own rows over the clusters they joined
// and left: that gives each its new sum, and what the nodes that stayed
// gain in the one and lose in the other. The movers of one cluster are
// taken a few at a time, so that its members are gone through once for
// them all. Exact sums need no bound on their rounding.
template <typename Sum, typename Matrix>
void move_node_by_node(State& s, const Matrix& rows, const ClusterChanges& changes) {
    ClusterSums& sums = s.caches.cluster_sums;
    const int* number = sums.near.index.data();
    using Row = std::remove_cv_t<std::remove_pointer_t<decltype(rows[0])>>;
    std::vector<Member> members;
    std::vector<const Row*> movers_rows;
    std::vector<double> mover_sums;
    // The movers of cluster c in `movers`, four at a time: with eight, the
    // rows and partial sums no longer fit in registers.
    constexpr std::size_t group = 4;
    auto move_all = [&](const SortedClusters& movers, int c, double sign) {
        movers_rows.clear();
        movers.for_each(c, [&](int y) { movers_rows.push_back(rows[number[y]]); });
        const std::size_t count = movers_rows.size();
        mover_sums.resize(count);
        std::size_t k = 0;
        for (; k + group <= count; k += group) {
            move_group<group, Sum>(movers_rows.data() + k, members, sign, sums, mover_sums.data() + k);
        }
        // The rest in one more pass over the members: most clusters have
        // only a few movers, and each pass reads and writes every member's
        // sum.
        move_fewer<group - 1, Sum>(count - k, movers_rows.data() + k, members, sign, sums, mover_sums.data() + k);
    };
    for (int c = 0; c < s.p; ++c) {
        if (changes.joining.start[c] < changes.joining.start[c + 1]) {
            members.clear();
            changes.after.for_each(c, [&](int x) { members.push_back({number[x], x, sums.cluster_of[x] == c}); });
            move_all(changes.joining, c, 1.0);
            std::size_t k = 0;
            changes.joining.for_each(c, [&](int y) {
                sums.to_own_cluster[y] = mover_sums[k];
                if constexpr (rounds<Sum>) sums.error[y] = summation_error(mover_sums[k], members.size());
                ++k;
            });
        }
        if (changes.leaving.start[c] < changes.leaving.start[c + 1]) {
            members.clear();
            changes.before.for_each(c, [&](int x) { members.push_back({number[x], x, changes.new_cluster[x] == c}); });
            move_all(changes.leaving, c, -1.0);
        }
    }
}

// One cluster's side of the moves over the 16-bit copy: its nodes marked
// and its movers' rows.
struct ClusterMovers {
    explicit ClusterMovers(int n) : cluster(n) {}
    int c = 0;
    BlockMask cluster;
    std::vector<const std::uint16_t*> rows;
};

// The same over the 16-bit copy, a cluster's blocks at a time: the movers'
// rows are added up block by block for what each node that stayed loses or
// gains, and summed over the cluster's blocks, masked, for the joiners' own
// sums. Every cluster's departures go first, then the arrivals, so that
// each may go to all its nodes without asking which stayed: a node that
// moved has its sum set last, by the cluster it joined. The next cluster's
// movers are marked and their rows asked for before one cluster's are added
// up, so that their reads overlap its work.
void move_in_blocks(State& s, const SquareMatrix<std::uint16_t>& rows, const ClusterChanges& changes) {
    ClusterSums& sums = s.caches.cluster_sums;
    const int* number = sums.near.index.data();
    ColumnSums column(s.n);
    ClusterMovers ahead[2] = {ClusterMovers(s.n), ClusterMovers(s.n)};
    std::vector<int> moving;
    std::vector<int> mover_sums;
    // Adds sign times the rows of each cluster's movers over its members to
    // each member's sum, then calls finish with the cluster still marked.
    const auto move = [&](const SortedClusters& members, const SortedClusters& movers, double sign, auto finish) {
        moving.clear();
        for (int c = 0; c < s.p; ++c) {
            if (movers.begin(c) != movers.end(c)) moving.push_back(c);
        }
        const auto prepare = [&](ClusterMovers& next, int c) {
            next.c = c;
            next.cluster.mark(members.begin(c), members.end(c), number);
            next.rows.clear();
            movers.for_each(c, [&](int y) { next.rows.push_back(rows[number[y]]); });
            prefetch_rows_in_runs(next.rows.data(), int(next.rows.size()), next.cluster);
        };
        if (!moving.empty()) prepare(ahead[0], moving[0]);
        for (std::size_t i = 0; i < moving.size(); ++i) {
            if (i + 1 < moving.size()) prepare(ahead[(i + 1) % 2], moving[i + 1]);
            ClusterMovers& these = ahead[i % 2];
            add_rows_in_runs(these.rows.data(), int(these.rows.size()), these.cluster, column);
            const int* node = members.begin(these.c);
            const std::vector<int>& numbers = these.cluster.numbers();
            for (std::size_t k = 0; k < numbers.size(); ++k) {
                sums.to_own_cluster[node[k]] += sign * column.at(numbers[k]);
            }
            finish(these);
            these.cluster.clear();
        }
    };
    move(changes.before, changes.leaving, -1.0, [](const ClusterMovers&) {});
    move(changes.after, changes.joining, 1.0, [&](const ClusterMovers& these) {
        mover_sums.resize(these.rows.size());
        masked_row_sums(these.rows.data(), int(these.rows.size()), these.cluster, mover_sums.data());
        std::size_t k = 0;
        changes.joining.for_each(these.c, [&](int y) { sums.to_own_cluster[y] = mover_sums[k++]; });
    });
}

// The sums brought up to date from the nodes that moved, in ascending
// numbers, by move(changes), instead of summed afresh.
template <typename Move>
void apply_moves(State& s, const std::vector<int>& moved, const std::vector<int>& new_cluster, Move move) {
    ClusterSums& sums = s.caches.cluster_sums;
    ClusterChanges changes{std::move(sums.sorted),
                           group_by_cluster(s.p, moved, new_cluster),
                           group_by_cluster(s.p, moved, sums.cluster_of),
                           {},
                           new_cluster};
    changes.after = regroup(s, changes.before, changes.joining, changes.leaving, new_cluster);
    move(changes);
    sums.sorted = std::move(changes.after);
}

// The sums afresh or by the moves, node by node, added up in Sum.
template <typename Sum, typename Matrix>
void sum_node_by_node(State& s, const Matrix& rows, bool afresh, const std::vector<int>& moved,
                      const std::vector<int>& new_cluster) {
    if (afresh) {
        ++s.taken.node_sums_afresh;
        sum_every_cluster_afresh<Sum>(s, rows, s.caches.cluster_sums.sorted);
    } else {
        ++s.taken.node_moves;
        apply_moves(s, moved, new_cluster,
                    [&](const ClusterChanges& changes) { move_node_by_node<Sum>(s, rows, changes); });
    }
}

// Whether the 16-bit copy is summed a block at a time.
bool sums_in_blocks(int n, int p, const Tuning& tuning) { return n / p >= tuning.least_block_cluster; }

// Every node's kept sum is its sum over its cluster taken afresh: equal
// when the sums are exact, else within the rounding bounded for each.
[[maybe_unused]] bool sums_agree_with_fresh_ones(const State& s) {
    const ClusterSums& sums = s.caches.cluster_sums;
    const bool exact = sums.mode == ClusterSums::Mode::exact;
    for (int c = 0; c < s.p; ++c) {
        const Cluster& cluster = s.vc[c];
        const auto check = [&](int x) {
            double fresh = 0;
            for_each_in_cluster(cluster, [&](int y) { fresh += double(s.dist[x][y]); });
            const double kept = sums.to_own_cluster[x];
            return exact ? kept == fresh
                         : std::fabs(kept - fresh) <=
                               sums.error[x] + summation_error(fresh, std::size_t(cluster.size) + 1);
        };
        bool agree = check(cluster.median);
        for (int k = 0; k < cluster.size; ++k) agree = agree && check(cluster.members[k]);
        if (!agree) return false;
    }
    return true;
}

}  // namespace

void update_cluster_sums(State& s) {
    ClusterSums& sums = s.caches.cluster_sums;
    if (sums.cluster_of.empty()) {
        sums.to_own_cluster.assign(std::size_t(s.n), 0);
        sums.error.assign(std::size_t(s.n), 0);
        sums.cluster_of.assign(std::size_t(s.n), -1);
        build_near_order(s, sums.mode == ClusterSums::Mode::exact && sums.largest < 65536.0f);
    }
    std::vector<int> new_cluster(std::size_t(s.n));
    for (int c = 0; c < s.p; ++c) for_each_in_cluster(s.vc[c], [&](int x) { new_cluster[x] = c; });
    // The nodes that moved in ascending numbers, as the clusters keep them:
    // picked out along the numbers without a branch, which whether a node
    // moved would mispredict, and with no sort.
    std::vector<int> moved(std::size_t(s.n));
    std::size_t moved_count = 0;
    for (const int x : sums.near.node_at) {
        moved[moved_count] = x;
        moved_count += std::size_t(new_cluster[x] != sums.cluster_of[x]);
    }
    moved.resize(moved_count);
    if (moved.empty()) return;
    const Tuning& tuning = s.tuning;
    PathsTaken& taken = s.taken;
    // The first assignment, with every node moved, is always summed afresh.
    const bool afresh = sums.sorted.start.empty() || moved.size() * std::size_t(tuning.afresh_share) > std::size_t(s.n);
    if (afresh) sums.sorted = sort_clusters(s, new_cluster);
    const bool exact = sums.mode == ClusterSums::Mode::exact;
    sums.near.with_rows([&](const auto& rows) {
        // The 16-bit copy is kept only when the sums are exact.
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(rows)>, SquareMatrix<std::uint16_t>>) {
            if (!sums_in_blocks(s.n, s.p, tuning)) {
                sum_node_by_node<int>(s, rows, afresh, moved, new_cluster);
            } else if (afresh) {
                ++taken.block_sums_afresh;
                sum_every_cluster_in_blocks(s, rows, sums.sorted);
            } else {
                ++taken.block_moves;
                apply_moves(s, moved, new_cluster,
                            [&](const ClusterChanges& changes) { move_in_blocks(s, rows, changes); });
            }
        } else if (exact) {
            sum_node_by_node<float>(s, rows, afresh, moved, new_cluster);
        } else {
            sum_node_by_node<double>(s, rows, afresh, moved, new_cluster);
        }
    });
    sums.cluster_of = std::move(new_cluster);
    assert(sums_agree_with_fresh_ones(s));
}

bool sums_are_exact(State& s) {
    ClusterSums& sums = s.caches.cluster_sums;
    if (sums.mode == ClusterSums::Mode::unknown) {
        sums.largest = largest_whole_distance(s.dist, s.n);
        const bool exact = sums.largest >= 0 && double(s.n) * double(sums.largest) < 16777216.0;
        sums.mode = exact ? ClusterSums::Mode::exact : ClusterSums::Mode::inexact;
    }
    return sums.mode == ClusterSums::Mode::exact;
}

}  // namespace pmedian
