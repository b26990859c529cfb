#include "certify/swap_search.hpp"

#include <algorithm>
#include <limits>
#include <numeric>
#include <optional>

namespace pmedian {

namespace {

constexpr double unreachable = std::numeric_limits<double>::infinity();
constexpr int block = 8;

// How a node is served: its nearest median (a position in medians) at d1,
// its second-nearest at d2.
struct Served {
    int first = 0;
    double d1 = unreachable;
    double d2 = unreachable;
};

// What a node served as `served` gives a candidate nearer to it than its
// second-nearest median, at distance d: what the node would gain if the
// candidate entered, and the part of its removal loss that the candidate
// would keep for its median.
struct Share {
    double gain;
    double kept;
};

Share share_of(const Served& served, double d) {
    if (d < served.d1) return {served.d1 - d, served.d2 - served.d1};
    return {0.0, served.d2 - d};
}

// A gain must exceed this share of the cost to count, so that the search
// ends, never raises the cost and is not misled by the rounding of sums.
constexpr double least_counted_gain = 1e-9;

// Each node's nearest and second-nearest medians, as positions in medians.
class NearestMedians {
public:
    // position_of: per node, its position in medians, or -1.
    NearestMedians(const DistMatrix& dist, const CandidateLists& lists, int n, const std::vector<int>& medians,
                   const std::vector<int>& position_of, const Tuning& tuning)
        : dist_(dist),
          lists_(lists),
          medians_(medians),
          position_of_(position_of),
          first_(n),
          second_(n),
          d1_(n),
          d2_(n),
          walk_lists_(walk_pays(n, int(medians.size()), tuning)) {
        std::vector<int> every(static_cast<std::size_t>(n));
        std::iota(every.begin(), every.end(), 0);
        recompute(every);
    }

    // A node's list meets its two nearest medians after about 2n / p
    // entries, against the p of a scan; with 16 medians or more they are
    // almost always among the list's n / 8 or more entries.
    static bool walk_pays(int n, int p, const Tuning& tuning) {
        return p >= tuning.least_swap_walk_medians && p * p >= 2 * n;
    }

    Served served(int i) const { return {first_[i], d1_[i], d2_[i]}; }
    double d1(int i) const { return d1_[i]; }
    const float* second_distances() const { return d2_.data(); }

    // Median position k now holds a node at distance d from node i. A node
    // whose nearest or second-nearest median was the one replaced is only
    // noted in stale, to be found afresh with the others by recompute;
    // returns whether it was.
    bool replaced(int i, int k, float d, std::vector<int>& stale) {
        if (first_[i] == k || second_[i] == k) {
            stale.push_back(i);
            return true;
        }
        offer(i, k, d);
        return false;
    }

    // The two nearest medians of the given nodes (ascending), from scratch.
    // The list may meet medians at equal distances in another order than
    // the scan; the distances, and so every sum, are the same. The scan
    // reads the medians' rows, each forward, rather than a row per node at
    // scattered medians (the matrix is symmetric).
    void recompute(const std::vector<int>& nodes) {
        scan_.clear();
        for (int i : nodes) {
            if (!walk_lists_ || !walk_list(i)) scan_.push_back(i);
        }
        for (int i : scan_) {
            first_[i] = second_[i] = -1;
            d1_[i] = d2_[i] = unreachable;
        }
        for (int k = 0; k < int(medians_.size()); ++k) {
            const float* row = dist_[medians_[k]];
            for (int i : scan_) offer(i, k, row[i]);
        }
    }

private:
    // Median position k, at distance d, against node i's two nearest.
    void offer(int i, int k, float d) {
        if (d < d1_[i]) {
            second_[i] = first_[i];
            d2_[i] = d1_[i];
            first_[i] = k;
            d1_[i] = d;
        } else if (d < d2_[i]) {
            second_[i] = k;
            d2_[i] = d;
        }
    }

    // Node i's two nearest medians from its list, if the list holds two.
    bool walk_list(int i) {
        first_[i] = second_[i] = -1;
        d1_[i] = d2_[i] = unreachable;
        const CandidateLists::Entry* list = lists_.row(i);
        for (int k = 0; k < lists_.width; ++k) {
            const int position = position_of_[list[k].node];
            if (position < 0) continue;
            offer(i, position, list[k].dist);
            if (second_[i] >= 0) return true;
        }
        return false;
    }

    const DistMatrix& dist_;
    const CandidateLists& lists_;
    const std::vector<int>& medians_;
    const std::vector<int>& position_of_;
    std::vector<int> first_, second_;
    std::vector<float> d1_, d2_;  // distances are floats
    bool walk_lists_;
    std::vector<int> scan_;  // scratch of recompute
};

// Per median position and candidate, what the median's nodes would keep of
// their removal loss if the candidate entered: p rows of n. With many
// medians a candidate keeps something at only a few, those of the nodes
// near it, so each row also lists the candidates where it may be above 0,
// and the least over the medians reads only those; with few medians the
// listing costs more than reading every row whole.
class KeptTable {
public:
    KeptTable(int n, int p, const Tuning& tuning)
        : n_(n),
          p_(p),
          listing_(p > tuning.most_unlisted_swap_medians),
          values_(std::size_t(n) * std::size_t(p), 0.0),
          listed_(listing_ ? std::size_t(n) * std::size_t(p) : 0, 0),
          positive_(std::size_t(p)) {}

    // One median's row, to add to.
    class Row {
    public:
        Row(double* values, char* listed, std::vector<int>* positive)
            : values_(values), listed_(listed), positive_(positive) {}
        // Adds a share of at least 0.
        void give(int c, double share) {
            const double before = values_[c];
            values_[c] = before + share;
            // A value above 0 is listed already.
            if (positive_ != nullptr && !(before > 0) && !listed_[c]) {
                listed_[c] = 1;
                positive_->push_back(c);
            }
        }
        // Takes back a share of at least 0: a value not listed stays at or
        // below 0, where it leaves its removal loss as it is.
        void take(int c, double share) { values_[c] -= share; }
        void add(int c, double delta) {
            if (delta > 0) {
                give(c, delta);
            } else {
                take(c, -delta);
            }
        }

    private:
        double* values_;
        char* listed_;
        std::vector<int>* positive_;  // null while not listing
    };

    Row row(int k) {
        if (!listing_) return {values_.data() + offset(k), nullptr, nullptr};
        return {values_.data() + offset(k), listed_.data() + offset(k), &positive_[k]};
    }

    // Per candidate, over the medians, the least removal loss less what the
    // candidate keeps.
    void least_removal_less_kept(const std::vector<double>& removal, std::vector<double>& least) {
        if (listing_) {
            least_from_lists(removal, least);
        } else {
            least_from_rows(removal, least);
        }
    }

private:
    std::size_t offset(int k) const { return std::size_t(k) * std::size_t(n_); }

    // Where a candidate keeps nothing (or, by rounding, less) that is at
    // least the loss itself, never below the least loss: so the least loss,
    // lowered where a listed candidate keeps something. Candidates found
    // keeping nothing leave their row's list.
    void least_from_lists(const std::vector<double>& removal, std::vector<double>& least) {
        std::fill(least.begin(), least.end(), *std::min_element(removal.begin(), removal.end()));
        for (int k = 0; k < p_; ++k) {
            const double loss = removal[k];
            const double* values = values_.data() + offset(k);
            char* listed = listed_.data() + offset(k);
            std::vector<int>& positive = positive_[k];
            std::size_t still = 0;
            for (const int c : positive) {
                if (!(values[c] > 0)) {
                    listed[c] = 0;
                    continue;
                }
                positive[still++] = c;
                const double left = loss - values[c];
                least[c] = left < least[c] ? left : least[c];
            }
            positive.resize(still);
        }
    }

    // Every row whole, a few candidates at a time so that their minima stay
    // in registers.
    void least_from_rows(const std::vector<double>& removal, std::vector<double>& least) {
        constexpr int lanes = 8;
        int c0 = 0;
        for (; c0 + lanes <= n_; c0 += lanes) {
            double part[lanes];
            for (int l = 0; l < lanes; ++l) part[l] = unreachable;
            for (int k = 0; k < p_; ++k) {
                const double loss = removal[k];
                const double* values = values_.data() + offset(k) + c0;
                for (int l = 0; l < lanes; ++l) {
                    const double left = loss - values[l];
                    part[l] = left < part[l] ? left : part[l];
                }
            }
            for (int l = 0; l < lanes; ++l) least[c0 + l] = part[l];
        }
        for (; c0 < n_; ++c0) {
            double part = unreachable;
            for (int k = 0; k < p_; ++k) part = std::min(part, removal[k] - values_[offset(k) + c0]);
            least[c0] = part;
        }
    }

    int n_, p_;
    bool listing_;
    std::vector<double> values_;
    std::vector<char> listed_;                // p rows of n: whether in positive, while listing
    std::vector<std::vector<int>> positive_;  // per row: candidates where the value may be above 0
};

// For every node as a candidate: what it gains on entering (gain) and, per
// median, what that median's nodes keep of their removal loss (kept), brought
// up to date node by node as exchanges change how nodes are served. These
// sums are in another order than the exact weighing of a candidate, so they
// only point to the candidate most likely to improve and tell when none can;
// an exchange is still decided by the exact weighing.
class ExchangeScreen {
public:
    ExchangeScreen(const DistMatrix& dist, const CandidateLists& lists, int n, int p, const Tuning& tuning)
        : dist_(dist), lists_(lists), n_(n), gain_(std::size_t(n), 0.0), kept_(n, p, tuning), least_(std::size_t(n)) {}

    // Node i, served as `was`, is now served as `now`: takes back what it
    // gave every candidate and gives what it gives now. A node not counted
    // yet was served at d2 = -infinity, which gives nothing.
    void change(int i, const Served& was, const Served& now) {
        // A node's change touches the rows of at most two medians.
        KeptTable::Row kept_was = kept_.row(was.first);
        KeptTable::Row kept_now = kept_.row(now.first);
        // Only candidates nearer than d2 receive anything; the list holds
        // them all unless d2 reaches past its end.
        const double reach = std::max(was.d2, now.d2);
        const CandidateLists::Entry* list = lists_.row(i);
        if (lists_.falls_short(i, reach, n_)) {
            const float* row = dist_[i];  // the matrix is symmetric
            for (int c = 0; c < n_; ++c) {
                const double d = row[c];
                if (d < was.d2) {
                    const Share share = share_of(was, d);
                    gain_[c] -= share.gain;
                    kept_was.take(c, share.kept);
                }
                if (d < now.d2) {
                    const Share share = share_of(now, d);
                    gain_[c] += share.gain;
                    kept_now.give(c, share.kept);
                }
            }
            return;
        }
        if (was.first == now.first && change_in_place(list, was, now, kept_now)) return;
        // The list ascends, so each share's case holds over one stretch of
        // it: what was given is taken back first, then what is given now.
        const int width = lists_.width;
        int k = 0;
        for (; k < width && list[k].dist < was.d1; ++k) {
            gain_[list[k].node] -= was.d1 - double(list[k].dist);
            kept_was.take(list[k].node, was.d2 - was.d1);
        }
        for (; k < width && list[k].dist < was.d2; ++k) kept_was.take(list[k].node, was.d2 - double(list[k].dist));
        k = 0;
        for (; k < width && list[k].dist < now.d1; ++k) {
            const int c = list[k].node;
            gain_[c] += now.d1 - double(list[k].dist);
            kept_now.give(c, now.d2 - now.d1);
        }
        for (; k < width && list[k].dist < now.d2; ++k) kept_now.give(list[k].node, now.d2 - double(list[k].dist));
    }

    // The non-median whose best exchange lowers the cost most by these sums,
    // and that lowering (negative when it does).
    std::pair<int, double> most_promising(const std::vector<double>& removal, const std::vector<int>& position_of) {
        kept_.least_removal_less_kept(removal, least_);
        const double* least = least_.data();
        int chosen = -1;
        double change = unreachable;
        for (int c = 0; c < n_; ++c) {
            if (position_of[c] < 0 && least[c] - gain_[c] < change) {
                change = least[c] - gain_[c];
                chosen = c;
            }
        }
        return {chosen, change};
    }

private:
    // A node kept by its nearest median whose second-nearest alone changed,
    // or whose nearest alone moved: what it gives changes only over the
    // start of its list, by one difference a stretch, so one walk does.
    // False for any other change.
    bool change_in_place(const CandidateLists::Entry* list, const Served& was, const Served& now,
                         KeptTable::Row& kept) {
        const int width = lists_.width;
        int k = 0;
        if (was.d1 == now.d1) {
            // Nearer than both second-nearest: the kept share moves by the
            // change of d2; between them, one side gives.
            const double lower = std::min(was.d2, now.d2);
            const double shift = now.d2 - was.d2;
            for (; k < width && list[k].dist < lower; ++k) kept.add(list[k].node, shift);
            if (now.d2 > was.d2) {
                for (; k < width && list[k].dist < now.d2; ++k) kept.give(list[k].node, now.d2 - double(list[k].dist));
            } else {
                for (; k < width && list[k].dist < was.d2; ++k) kept.take(list[k].node, was.d2 - double(list[k].dist));
            }
            return true;
        }
        if (was.d2 != now.d2) return false;
        // Beyond both nearest distances nothing changes.
        const double lower = std::min(was.d1, now.d1);
        const double gain_shift = now.d1 - was.d1;
        for (; k < width && list[k].dist < lower; ++k) {
            gain_[list[k].node] += gain_shift;
            kept.add(list[k].node, -gain_shift);
        }
        if (now.d1 > was.d1) {
            for (; k < width && list[k].dist < now.d1; ++k) {
                const double d = list[k].dist;
                gain_[list[k].node] += now.d1 - d;
                kept.take(list[k].node, now.d1 - d);
            }
        } else {
            for (; k < width && list[k].dist < was.d1; ++k) {
                const double d = list[k].dist;
                gain_[list[k].node] -= was.d1 - d;
                kept.give(list[k].node, was.d1 - d);
            }
        }
        return true;
    }

    const DistMatrix& dist_;
    const CandidateLists& lists_;
    int n_;
    std::vector<double> gain_;
    KeptTable kept_;
    std::vector<double> least_;  // scratch of most_promising, per candidate
};

bool changed(const Served& was, const Served& now) {
    return was.first != now.first || was.d1 != now.d1 || was.d2 != now.d2;
}

bool improves(double change, double cost) { return change < -least_counted_gain * (1.0 + cost); }

struct Exchange {
    int entering = -1;
    int leaving = -1;  // a position in medians
    double change = unreachable;
};

// The state of a search with p >= 2: the medians, how each node is served,
// and what removing each median alone would cost.
class ExchangeSearch {
public:
    ExchangeSearch(const DistMatrix& dist, const CandidateLists& lists, int n, std::vector<int>& medians,
                   const Tuning& tuning)
        : dist_(dist),
          n_(n),
          p_(int(medians.size())),
          medians_(medians),
          position_of_(positions(n, medians)),
          nearest_(dist, lists, n, medians, position_of_, tuning),
          removal_(std::size_t(p_)),
          kept_(std::size_t(p_), 0.0) {
        total_cost();
        total_removal();
        // The screen's table holds n x p doubles: only while that is no
        // larger than the matrix.
        if (2 * p_ <= n) {
            screen_.emplace(dist, lists, n, p_, tuning);
            const Served none{0, -unreachable, -unreachable};
            for (int i = 0; i < n; ++i) screen_->change(i, none, nearest_.served(i));
        }
    }

    double cost() const { return cost_; }

    // The exchange that lowers the cost most, or none (entering -1) when no
    // exchange lowers it beyond the rounding of the sums.
    Exchange best() {
        if (screen_) {
            const auto [promising, estimate] = screen_->most_promising(removal_, position_of_);
            // Half the least gain that counts: far above the rounding of
            // either sum.
            if (!(estimate < -0.5 * least_counted_gain * (1.0 + cost_))) return {};
            if (const Exchange exchange = weigh(promising); improves(exchange.change, cost_)) return exchange;
        }
        // The sums could not tell: weigh every candidate.
        Exchange chosen;
        for (int c = 0; c < n_; ++c) {
            if (position_of_[c] >= 0) continue;
            if (const Exchange exchange = weigh(c); exchange.change < chosen.change) chosen = exchange;
        }
        return improves(chosen.change, cost_) ? chosen : Exchange{};
    }

    void apply(const Exchange& exchange) {
        const int entering = exchange.entering, leaving = exchange.leaving;
        position_of_[medians_[leaving]] = -1;
        position_of_[entering] = leaving;
        medians_[leaving] = entering;
        const float* row = dist_[entering];  // the matrix is symmetric
        stale_.clear();
        touched_.clear();
        for (int i = 0; i < n_; ++i) {
            const Served was = nearest_.served(i);
            const bool stale = nearest_.replaced(i, leaving, row[i], stale_);
            if (screen_ && (stale || changed(was, nearest_.served(i)))) touched_.push_back({i, was});
        }
        nearest_.recompute(stale_);
        // In ascending nodes, as the screen's sums have always been taken.
        for (const auto& [i, was] : touched_) {
            if (const Served now = nearest_.served(i); changed(was, now)) screen_->change(i, was, now);
        }
        total_cost();
        total_removal();
    }

private:
    static std::vector<int> positions(int n, const std::vector<int>& medians) {
        std::vector<int> position_of(std::size_t(n), -1);
        for (int k = 0; k < int(medians.size()); ++k) position_of[medians[k]] = k;
        return position_of;
    }

    void total_cost() {
        cost_ = 0;
        for (int i = 0; i < n_; ++i) cost_ += nearest_.d1(i);
    }

    // Removing median k alone costs its nodes removal[k] more.
    void total_removal() {
        std::fill(removal_.begin(), removal_.end(), 0.0);
        for (int i = 0; i < n_; ++i) {
            const Served served = nearest_.served(i);
            removal_[served.first] += served.d2 - served.d1;
        }
    }

    // Candidate c against every median, exactly. It changes the removal
    // loss only for the nodes it is nearer to than their second-nearest
    // median, a few near it: their share is `kept`. Most blocks hold no
    // such node: a cheap test of a whole block skips them.
    Exchange weigh(int candidate) {
        const float* row = dist_[candidate];  // the matrix is symmetric
        double gain = 0;
        auto weigh_node = [&](int i, double d) {
            const Served served = nearest_.served(i);
            if (!(d < served.d2)) return;
            const Share share = share_of(served, d);
            gain += share.gain;
            kept_[served.first] += share.kept;
        };
        const float* second = nearest_.second_distances();
        int i = 0;
        for (; i + block <= n_; i += block) {
            bool near = false;
            for (int l = 0; l < block; ++l) near |= row[i + l] < second[i + l];
            if (!near) continue;
            for (int l = 0; l < block; ++l) weigh_node(i + l, row[i + l]);
        }
        for (; i < n_; ++i) weigh_node(i, row[i]);
        int leaving = 0;
        for (int k = 1; k < p_; ++k) {
            if (removal_[k] - kept_[k] < removal_[leaving] - kept_[leaving]) leaving = k;
        }
        const Exchange exchange{candidate, leaving, removal_[leaving] - kept_[leaving] - gain};
        std::fill(kept_.begin(), kept_.end(), 0.0);
        return exchange;
    }

    const DistMatrix& dist_;
    int n_, p_;
    std::vector<int>& medians_;
    std::vector<int> position_of_;  // per node: its position in medians, or -1
    NearestMedians nearest_;
    double cost_ = 0;
    std::vector<double> removal_;
    std::vector<double> kept_;  // scratch of weigh, per median
    std::optional<ExchangeScreen> screen_;
    // Scratch of apply: the nodes to find afresh, and every node whose
    // service may have changed, with how it was served before.
    std::vector<int> stale_;
    std::vector<std::pair<int, Served>> touched_;
};

// Whether the medians, in any order, are a known local optimum.
bool known(const SwapStops& stops, const std::vector<int>& medians) {
    if (!stops.known_local_optimum) return false;
    std::vector<int> ascending = medians;
    std::sort(ascending.begin(), ascending.end());
    return stops.known_local_optimum(ascending);
}

// With one median every node goes to it: the best exchange is the node
// whose distances sum least, and nothing improves on it.
double single_median_search(const DistMatrix& dist, int n, std::vector<int>& medians, const SwapStops& stops) {
    auto cost_of = [&](int median) {
        double cost = 0;
        for (int i = 0; i < n; ++i) cost += dist[median][i];
        return cost;
    };
    double cost = cost_of(medians[0]);
    int best = medians[0];
    double best_cost = cost;
    for (int candidate = 0; candidate < n; ++candidate) {
        if (stops.out_of_time && stops.out_of_time()) break;
        const double candidate_cost = cost_of(candidate);
        if (candidate_cost < best_cost) {
            best = candidate;
            best_cost = candidate_cost;
        }
    }
    if (improves(best_cost - cost, cost)) {
        medians[0] = best;
        cost = best_cost;
    }
    return cost;
}

}  // namespace

double assignment_cost(const DistMatrix& dist, int n, const std::vector<int>& medians) {
    double cost = 0;
    for (int i = 0; i < n; ++i) cost += double(nearest_median(dist[i], medians.data(), int(medians.size())).distance);
    return cost;
}

// At least n / 8 entries, where a node's two nearest medians almost always
// are (see walk_pays), and up to half a row: beyond that the lists would
// outgrow the matrix for little gain.
int swap_list_width(int n, int p) { return std::min(n / 2, std::max(n / 8, 2 * (n / std::max(p, 1)))); }

double swap_search(const DistMatrix& dist, const CandidateLists& lists, int n, std::vector<int>& medians,
                   const SwapStops& stops, const Tuning& tuning) {
    if (medians.size() == 1) return single_median_search(dist, n, medians, stops);
    ExchangeSearch search(dist, lists, n, medians, tuning);
    while (!(stops.out_of_time && stops.out_of_time())) {
        const Exchange exchange = search.best();
        if (exchange.entering < 0) break;
        search.apply(exchange);
        if (known(stops, medians)) break;
    }
    return search.cost();
}

}  // namespace pmedian
