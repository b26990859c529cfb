#include "clusters.hpp"

#include <algorithm>
#include <array>
#include <cmath>
#include <type_traits>
#include <utility>
#include <vector>

#include "block_sums.hpp"
#include "near_order.hpp"
#include "vector_clones.hpp"

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
    return group_by_cluster(s.p, s.cluster_sums.near.node_at, cluster_of);
}

// The clusters after the moves from those before (`old`): each keeps the
// nodes that stayed, in their order, and takes its joiners (`joining`, in
// ascending numbers) in by number; one that none joined or left is copied.
// Far less than sorting every node again.
SortedClusters regroup(const State& s, const SortedClusters& old, const SortedClusters& joining,
                       const SortedClusters& leaving, const std::vector<int>& new_cluster) {
    const int* number = s.cluster_sums.near.index.data();
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
    ClusterSums& cluster_sums = s.cluster_sums;
    const NearOrder& near = cluster_sums.near;
    std::vector<int> numbers;
    std::vector<float> mask;
    std::vector<Sum> sums;
    for (int c = 0; c < s.p; ++c) {
        numbers.clear();
        clusters.for_each(c, [&](int x) { numbers.push_back(near.index[x]); });
        const bool dense = numbers.size() * 2 > std::size_t(s.n);
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
    ClusterSums& cluster_sums = s.cluster_sums;
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
    ClusterSums& sums = s.cluster_sums;
    const int* number = sums.near.index.data();
    using Row = std::remove_cv_t<std::remove_pointer_t<decltype(rows[0])>>;
    std::vector<Member> members;
    std::vector<const Row*> movers_rows;
    std::vector<double> mover_sums;
    // The movers of cluster c in `movers`, four at a time: with eight, the
    // rows and partial sums no longer fit in registers, and the spills cost
    // more than the passes saved (measured: 3000 nodes, 30 medians, 3 %).
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
    ClusterSums& sums = s.cluster_sums;
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
    ClusterSums& sums = s.cluster_sums;
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
        sum_every_cluster_afresh<Sum>(s, rows, s.cluster_sums.sorted);
    } else {
        apply_moves(s, moved, new_cluster,
                    [&](const ClusterChanges& changes) { move_node_by_node<Sum>(s, rows, changes); });
    }
}

// Whether the 16-bit copy is summed a block at a time: with clusters of
// fewer than this many nodes on average, the blocks hold too few of them
// (measured on 3000 nodes: 100 a cluster, 12 % faster; 50, a tie; 30,
// 3.5 % slower; 10, 4 % slower).
constexpr int least_block_cluster = 64;
bool sums_in_blocks(int n, int p) { return n / p >= least_block_cluster; }

// Brings the per-node sums up to date with the clusters just assigned:
// nodes that stayed gain the arrivals and lose the departures of their
// cluster; nodes that moved are summed afresh.
void update_cluster_sums(State& s) {
    ClusterSums& sums = s.cluster_sums;
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
    const bool afresh = moved.size() * 4 > std::size_t(s.n);
    if (afresh) sums.sorted = sort_clusters(s, new_cluster);
    const bool exact = sums.mode == ClusterSums::Mode::exact;
    sums.near.with_rows([&](const auto& rows) {
        // The 16-bit copy is kept only when the sums are exact.
        if constexpr (std::is_same_v<std::remove_cvref_t<decltype(rows)>, SquareMatrix<std::uint16_t>>) {
            if (!sums_in_blocks(s.n, s.p)) {
                sum_node_by_node<int>(s, rows, afresh, moved, new_cluster);
            } else if (afresh) {
                sum_every_cluster_in_blocks(s, rows, sums.sorted);
            } else {
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
}

// Nearest median of node v over every cluster, the first of equal ones;
// read in v's own row, the matrix being symmetric.
void scan_all(const State& s, int v, float& nearest, int& cluster) {
    nearest = INF_DIST;
    cluster = 0;
    const float* row = s.dist[v];
    for (int c = 0; c < s.p; ++c) {
        const float d = row[s.sv_node[c]];
        if (d < nearest) {
            nearest = d;
            cluster = c;
        }
    }
}

// Node v's nearest median from its list of nearest nodes, when the list
// settles it: the first median met, and of the medians at that same
// distance the lowest cluster, provided the distance is below the list's
// last, so that no node beyond the list ties. Far fewer reads than its row.
bool nearest_in_list(const State& s, int v, const std::vector<int>& cluster_of_median, float& nearest, int& cluster) {
    const CandidateLists& lists = s.candidates;
    const CandidateLists::Entry* list = lists.row(v);
    const int width = lists.width;
    int k = 0;
    while (k < width && cluster_of_median[list[k].node] < 0) ++k;
    if (k == width || !(list[k].dist < lists.farthest[v])) return false;
    nearest = list[k].dist;
    cluster = cluster_of_median[list[k].node];
    for (++k; k < width && list[k].dist == nearest; ++k) {
        const int c = cluster_of_median[list[k].node];
        if (c >= 0 && c < cluster) cluster = c;
    }
    return true;
}

// The rows of the medians of clusters c .. c + count - 1 offered to every
// node, one after the other, in one pass: branch-free, so it vectorises
// (kept out of line, where the compiler keeps the pointers apart), and each
// node's nearest and cluster are read and written once for them all. A
// strict comparison keeps the first of equal distances.
template <int count>
[[gnu::noinline]] VECTOR_CLONES void offer_rows(const std::array<const float*, count>& rows, int c,
                                                float* __restrict nearest, int* __restrict cluster, int n) {
    for (int v = 0; v < n; ++v) {
        float kept = nearest[v];
        int kept_cluster = cluster[v];
        for (int k = 0; k < count; ++k) {
            const float d = rows[k][v];
            kept_cluster = d < kept ? c + k : kept_cluster;
            kept = d < kept ? d : kept;
        }
        nearest[v] = kept;
        cluster[v] = kept_cluster;
    }
}

// Median c's row offered to every node after other clusters' rows, in any
// order: an equal distance goes to the lower cluster.
[[gnu::noinline]] VECTOR_CLONES void offer_row_in_any_order(const float* __restrict row, int c,
                                                            float* __restrict nearest, int* __restrict cluster, int n) {
    for (int v = 0; v < n; ++v) {
        const float d = row[v];
        const float kept = nearest[v];
        const int kept_cluster = cluster[v];
        const int nearer = (d < kept) | ((d == kept) & (c < kept_cluster));
        nearest[v] = d < kept ? d : kept;
        cluster[v] = kept_cluster + (c - kept_cluster) * nearer;
    }
}

// The nearest median of every node, median by median: rows of the matrix
// read from end to end (a median's own entry is never used), four at a
// time. Ascending clusters with a strict comparison keep the first of
// equal distances, as a client-by-client scan does.
void nearest_from_scratch(State& s) {
    LastAssignment& last = s.last_assignment;
    std::fill(last.nearest.begin(), last.nearest.end(), INF_DIST);
    std::fill(last.cluster.begin(), last.cluster.end(), 0);
    const auto row = [&s](int c) { return s.dist[s.sv_node[c]]; };
    int c = 0;
    for (; c + 4 <= s.p; c += 4) {
        offer_rows<4>({row(c), row(c + 1), row(c + 2), row(c + 3)}, c, last.nearest.data(), last.cluster.data(), s.n);
    }
    for (; c < s.p; ++c) offer_rows<1>({row(c)}, c, last.nearest.data(), last.cluster.data(), s.n);
}

// The same result from the last assignment when only the medians of
// `changed` differ: a node keeps the first nearest of the clusters that
// stayed, so it needs comparing only with the changed ones (the first of
// equal distances is the lowest cluster, in any order of comparison),
// unless its own cluster changed or it was a median.
void nearest_after_changes(State& s, const std::vector<int>& changed) {
    LastAssignment& last = s.last_assignment;
    std::vector<char> is_changed(std::size_t(s.p), 0);
    for (int c : changed) is_changed[c] = 1;
    std::vector<int> rescan;
    for (int a = s.p; a < s.n; ++a) {
        const int v = s.sv_node[a];
        if (last.was_median[v] || is_changed[last.cluster[v]]) rescan.push_back(v);
    }
    for (int c : changed) {
        offer_row_in_any_order(s.dist[s.sv_node[c]], c, last.nearest.data(), last.cluster.data(), s.n);
    }
    std::vector<int> cluster_of_median(std::size_t(s.n), -1);
    for (int c = 0; c < s.p; ++c) cluster_of_median[s.sv_node[c]] = c;
    constexpr std::size_t ahead = CandidateLists::walks_ahead;
    for (std::size_t r = 0; r < rescan.size(); ++r) {
        if (r + ahead < rescan.size()) s.candidates.prefetch(rescan[r + ahead]);
        const int v = rescan[r];
        if (!nearest_in_list(s, v, cluster_of_median, last.nearest[v], last.cluster[v])) {
            scan_all(s, v, last.nearest[v], last.cluster[v]);
        }
    }
}

// Whether nearest_after_changes costs less than nearest_from_scratch, which
// offers p rows. The rescan offers a row per changed median and walks the
// lists of the nodes of its cluster, about n / p of them, each some n / p
// entries to its first median; an entry walked costs about 13 row entries
// offered, which go eight at a time without a branch (measured: with 3000
// nodes and 30 medians a single change is cheaper from scratch, by 5 % of
// the run; the OR-Library gains 1 % over rescanning below p / 4 changes).
bool rescan_pays(int n, int p, std::size_t changed) {
    const double cluster_size = double(n) / p;
    return double(changed) * (13 * cluster_size * cluster_size + n) < double(p) * n;
}

void find_nearest_medians(State& s) {
    LastAssignment& last = s.last_assignment;
    std::vector<int> changed;
    if (last.valid) {
        for (int c = 0; c < s.p; ++c) {
            if (s.sv_node[c] != last.medians[c]) changed.push_back(c);
        }
    }
    if (!last.valid || !rescan_pays(s.n, s.p, changed.size())) {
        nearest_from_scratch(s);
    } else if (!changed.empty()) {
        nearest_after_changes(s, changed);
    }
    if (last.valid) {
        for (int c = 0; c < s.p; ++c) last.was_median[last.medians[c]] = 0;
    }
    for (int c = 0; c < s.p; ++c) {
        last.medians[c] = s.sv_node[c];
        last.was_median[s.sv_node[c]] = 1;
    }
    last.valid = true;
}

// Whether every float sum of distances is exact, so that sums may be taken
// in any order: every distance a whole number, n times the largest below
// 2^24. Decided once, at the first assignment.
bool sums_are_exact(State& s) {
    ClusterSums& sums = s.cluster_sums;
    if (sums.mode == ClusterSums::Mode::unknown) {
        sums.largest = largest_whole_distance(s.dist, s.n);
        const bool exact = sums.largest >= 0 && double(s.n) * double(sums.largest) < 16777216.0;
        sums.mode = exact ? ClusterSums::Mode::exact : ClusterSums::Mode::inexact;
    }
    return sums.mode == ClusterSums::Mode::exact;
}

// The clusters' members in the order of the arrangement, with the costs
// and the total added in that order, each addition rounded to float.
float gather_in_order(State& s) {
    const int* arrangement = s.sv_node.data();
    const float* nearest_of = s.last_assignment.nearest.data();
    const int* cluster_of = s.last_assignment.cluster.data();
    float total = 0;
    for (int a = s.p; a < s.n; ++a) {
        const int v = arrangement[a];
        total = float(double(total) + double(nearest_of[v]));
        Cluster& cluster = s.vc[cluster_of[v]];
        cluster.members[cluster.size++] = v;
        cluster.cost = float(double(cluster.cost) + double(nearest_of[v]));
    }
    return total;
}

// The same with exact sums, added in ints: no chain of roundings from
// node to node. The arrangement lists most nodes cluster by cluster, so a
// run of nodes of one cluster is counted and added up in registers, not
// through the cluster's fields from node to node.
float gather_exact(State& s) {
    const int* arrangement = s.sv_node.data();
    const float* nearest_of = s.last_assignment.nearest.data();
    const int* cluster_of = s.last_assignment.cluster.data();
    std::vector<int> cost(std::size_t(s.p), 0);
    int total = 0;
    int run_cluster = 0;
    int size = s.vc[0].size;
    int run_cost = 0;
    int* members = s.vc[0].members.data();
    for (int a = s.p; a < s.n; ++a) {
        const int v = arrangement[a];
        const int d = int(nearest_of[v]);
        total += d;
        if (cluster_of[v] != run_cluster) {
            s.vc[run_cluster].size = size;
            cost[run_cluster] += run_cost;
            run_cluster = cluster_of[v];
            size = s.vc[run_cluster].size;
            run_cost = 0;
            members = s.vc[run_cluster].members.data();
        }
        members[size++] = v;
        run_cost += d;
    }
    s.vc[run_cluster].size = size;
    cost[run_cluster] += run_cost;
    for (int c = 0; c < s.p; ++c) s.vc[c].cost = float(cost[c]);
    return float(total);
}

}  // namespace

float assign_clients(State& s) {
    for (int c = 0; c < s.p; ++c) {
        s.vc[c].size = 0;
        s.vc[c].cost = 0;
        s.vc[c].median = s.sv_node[c];
    }
    find_nearest_medians(s);
    const float total = sums_are_exact(s) ? gather_exact(s) : gather_in_order(s);
    update_cluster_sums(s);
    return total;
}

namespace {

// A member's sum in the written order: its distances to the members in
// list order, then to the median, each addition rounded to float.
float sum_in_order(const State& s, const Cluster& cluster, int j) {
    const float* row = s.dist[cluster.members[j]];
    float sum = 0;
    for (int k = 0; k < cluster.size; ++k) sum += row[cluster.members[k]];
    return sum + row[cluster.median];
}

// One sweep over a cluster's members when sums must follow the written
// order. A float sum of m non-negative terms is at least the exact sum
// times 1 - m u / (1 - m u), u = 2^-24, and the exact sum is at least the
// kept one less its error: a member whose bound so found is above the
// cluster's cost cannot serve it more cheaply, and only the others are
// summed.
void sweep_in_order(const State& s, Cluster& cluster) {
    const ClusterSums& sums = s.cluster_sums;
    const double terms = cluster.size + 1.0;
    const double float_error = terms * 0x1p-24 / (1 - terms * 0x1p-24) + 1e-15;
    const double slack = float_error < 0.5 ? 1 - float_error : 0;
    for (int j = 0; j < cluster.size; ++j) {
        const int x = cluster.members[j];
        if ((sums.to_own_cluster[x] - sums.error[x]) * slack > double(cluster.cost)) continue;
        const float sum = sum_in_order(s, cluster, j);
        if (sum < cluster.cost) {
            cluster.cost = sum;
            std::swap(cluster.median, cluster.members[j]);
        }
    }
}

// The same sweep with the exact per-node sums kept for each cluster.
void sweep_exact(const State& s, Cluster& cluster) {
    for (int j = 0; j < cluster.size; ++j) {
        const float sum = float(s.cluster_sums.to_own_cluster[cluster.members[j]]);
        if (sum < cluster.cost) {
            cluster.cost = sum;
            std::swap(cluster.median, cluster.members[j]);
        }
    }
}

}  // namespace

float improve_clusters(State& s) {
    // An exchange keeps the cluster's set of nodes, so with exact sums each
    // member's sum is the one kept for it, in whatever order it was added.
    const bool exact = s.cluster_sums.mode == ClusterSums::Mode::exact;
    for (int c = 0; c < s.p; ++c) {
        if (exact) {
            sweep_exact(s, s.vc[c]);
        } else {
            sweep_in_order(s, s.vc[c]);
        }
    }
    int a = 0;
    for (int c = 0; c < s.p; ++c) s.sv_node[a++] = s.vc[c].median;
    for (int c = 0; c < s.p; ++c) {
        for (int j = 0; j < s.vc[c].size; ++j) s.sv_node[a++] = s.vc[c].members[j];
    }
    return assign_clients(s);
}

}  // namespace pmedian
