#include "certify/exact_search.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <limits>
#include <memory>
#include <mutex>
#include <set>
#include <thread>
#include <utility>

#include "certify/radius_master.hpp"

namespace pmedian {

bool ProofRule::closes(double bound, double cost) const {
    if (whole_costs) return std::ceil(bound) >= cost;
    return cost - bound <= std::max(absolute, relative * std::fabs(cost));
}

double ProofRule::reported(double bound) const { return whole_costs ? std::ceil(bound) : bound; }

double ProofRule::improving(double cost) const {
    return whole_costs ? cost - 1 : cost - std::max(absolute, relative * std::fabs(cost));
}

double ProofRule::unbeaten(double cost) const { return whole_costs ? cost : improving(cost); }

namespace {

constexpr double none = std::numeric_limits<double>::infinity();

// Branching weighs this many of the most fractional sites, each branch by
// this many dual simplex iterations.
constexpr int strong_candidates = 5;
constexpr int strong_iterations = 20;

// Below the root, a round of cuts that closes less than this share of the
// gap left ends a node's rounds.
constexpr double stall_share = 0.2;

// Once the open nodes hold this many bytes (their fixings and their
// parents' multipliers), the search goes depth first, where they stop
// growing.
constexpr std::size_t most_open_bytes = std::size_t(256) << 20;

// The tree is searched by this many threads at most, each with an LP
// master of its own, sharing the open nodes and the incumbent.
constexpr unsigned most_search_threads = 4;

// A node of the search: the fixings on top of the root's, and a bound
// already known for it.
struct Node {
    double bound;
    std::vector<std::pair<int, signed char>> fixings;
    // The parent's multipliers: with this node's fixings they may close it
    // without an LP of its own.
    std::shared_ptr<const std::vector<double>> lambda;
};

class Search {
public:
    Search(const Network& net, const CandidateLists& lists, const ProofRule& rule, Incumbent& incumbent,
           const ExactSearchStops& stops)
        : net_(net),
          lists_(lists),
          n_(net.n),
          p_(net.p),
          rule_(rule),
          incumbent_(incumbent),
          stops_(stops),
          root_fixed_(net.sites.empty() ? Fixings(std::size_t(net.n), -1) : net.sites) {}

    ExactSearchResult run(const std::vector<double>& multipliers) {
        RadiusMaster first(net_, lists_);
        if (!multipliers.empty()) first.add_cuts_at(multipliers);
        add_open({-none, {}, nullptr});
        // The root alone: what it fixes holds for every node below, and the
        // sites it closes leave the cuts. Then every thread takes open
        // nodes; a helper's LP starts from cuts at the root LP's multipliers.
        work(first, true);
        first.close_for_good(root_fixed_);
        const std::shared_ptr<const std::vector<double>> start = open_.empty() ? nullptr : open_.back().lambda;
        const unsigned threads = std::clamp(std::thread::hardware_concurrency(), 1u, most_search_threads);
        std::vector<std::thread> helpers;
        for (unsigned k = 1; k < threads && !open_.empty(); ++k) {
            helpers.emplace_back([this, start] {
                RadiusMaster master(net_, lists_);
                master.close_for_good(root_fixed_);
                if (start) master.add_cuts_at(*start);
                work(master, false);
            });
        }
        work(first, false);
        for (std::thread& helper : helpers) helper.join();
        ExactSearchResult result;
        result.nodes = nodes_;
        result.lower_bound = lower_bound();
        result.exhausted = open_.empty();
        return result;
    }

private:
    struct Outcome {
        double bound = none;  // as visit returns it
        std::vector<Node> children;
    };

    // Takes nodes and solves them until the search ends: the incumbent
    // proven, the time out, or no node left open or being solved; with
    // only_one, after one node. A thread goes on with a child of the node
    // it solved, whose LP starts from its parent's basis; when a dive ends
    // it takes the open node of least bound, so that the bound reported
    // rises while the incumbent may still improve.
    void work(RadiusMaster& master, bool only_one) {
        std::optional<Node> next;  // counted among the nodes being solved
        std::multiset<double>::iterator solving;
        for (;;) {
            Node node;
            {
                std::unique_lock<std::mutex> lock(mutex_);
                if (!next) changed_.wait(lock, [&] { return stopping_ || !open_.empty() || in_progress_.empty(); });
                if (!stopping_ && (rule_.closes(least_bound(), incumbent_.cost) || out_of_time())) stopping_ = true;
                if (stopping_ || (!next && open_.empty())) {
                    if (next) {
                        // Unsolved: its bound stays among the open ones.
                        in_progress_.erase(solving);
                        add_open(std::move(*next));
                    }
                    changed_.notify_all();
                    return;
                }
                if (next) {
                    node = std::move(*next);
                    next.reset();
                } else {
                    node = take_least_open();
                    solving = in_progress_.insert(node.bound);
                }
                ++nodes_;
            }
            Outcome outcome = visit(node, master);
            {
                std::lock_guard<std::mutex> lock(mutex_);
                if (outcome.bound < none) settled_ = std::min(settled_, outcome.bound);
                in_progress_.erase(solving);
                if (!only_one && !outcome.children.empty()) {
                    next = std::move(outcome.children.back());
                    outcome.children.pop_back();
                    solving = in_progress_.insert(next->bound);
                }
                for (Node& child : outcome.children) add_open(std::move(child));
                if (stops_.progress) stops_.progress(nodes_, lower_bound(), incumbent_.cost);
            }
            changed_.notify_all();
            if (only_one) return;
        }
    }

    // Removes and returns the open node of least bound, of equals the one
    // opened last; the one opened last alone once the open nodes hold more
    // than most_open_bytes, so that they stop growing. With the lock held.
    Node take_least_open() {
        std::size_t least = open_.size() - 1;
        for (std::size_t k = least; k-- > 0 && open_bytes_ <= most_open_bytes;) {
            if (open_[k].bound < open_[least].bound) least = k;
        }
        Node node = std::move(open_[least]);
        open_.erase(open_.begin() + std::ptrdiff_t(least));
        open_bytes_ -= bytes_of(node);
        return node;
    }

    // With the lock held.
    void add_open(Node&& node) {
        open_bytes_ += bytes_of(node);
        open_.push_back(std::move(node));
    }

    // What an open node holds, its parent's multipliers shared by two.
    std::size_t bytes_of(const Node& node) const {
        return sizeof(Node) + node.fixings.capacity() * sizeof(node.fixings[0]) +
               (node.lambda ? node.lambda->size() * sizeof(double) / 2 : 0);
    }

    // The least bound over the nodes settled, open and being solved, never
    // above the incumbent's cost. With the lock held.
    double lower_bound() const { return std::min(least_bound(), incumbent_.cost); }

    double least_bound() const {
        double bound = settled_;
        for (const Node& node : open_) bound = std::min(bound, node.bound);
        if (!in_progress_.empty()) bound = std::min(bound, *in_progress_.begin());
        return bound;
    }

    double incumbent_cost() const {
        std::lock_guard<std::mutex> lock(mutex_);
        return incumbent_.cost;
    }

    // Solves a node: the verified bound with which it was closed, or +inf
    // when it was branched on (its children carry it on) or allows no
    // solution.
    Outcome visit(const Node& node, RadiusMaster& master) {
        Fixings fixed = root_fixed_;
        for (const auto& [site, state] : node.fixings) fixed[site] = state;
        int open = 0;
        int free = 0;
        for (int j = 0; j < n_; ++j) {
            open += fixed[j] == 1;
            free += fixed[j] == -1;
        }
        if (open > p_ || open + free < p_) return {};
        if (node.lambda) {
            const double inherited = lagrangean_bound(net_, *node.lambda, fixed, &lists_).value;
            if (rule_.closes(std::max(node.bound, inherited), incumbent_cost())) {
                return {std::max(node.bound, inherited), {}};
            }
        }

        master.set_fixed(fixed);
        limit_lp_time(master);
        // Below the root, rounds stop once they no longer close much of the
        // gap: branching then costs less than more rounds. There the master
        // starts near its parent's optimum, and cuts at its own point close
        // the gap in fewer rounds than cuts toward the incumbent, whose slow
        // first rounds would end the node early.
        double last_value = -none;
        const bool root = node.fixings.empty();
        const RadiusMaster::Solution lp =
            master.solve(root ? core() : std::vector<double>{}, [&](double value, int round) {
                const bool stalled =
                    !root && round >= 2 && value - last_value < stall_share * (incumbent_cost() - value);
                last_value = value;
                return stalled || out_of_time() || stopping_;
            });
        LagrangeanBound verified = lagrangean_bound(net_, lp.lambda, fixed, &lists_);
        const double bound = std::max(node.bound, verified.value);
        if (!out_of_time()) improve_from(lp.y, fixed);
        const double cost = incumbent_cost();
        if (rule_.closes(bound, cost)) return {bound, {}};

        // Sites that no solution better than the incumbent can open, or
        // close, given this node's fixings.
        std::vector<std::pair<int, signed char>> fixings = node.fixings;
        fix_by_reduced_costs(verified, cost, fixed, fixings);
        if (!fix_by_pairs(lp.lambda, verified.value, cost, fixed, fixings)) return {rule_.unbeaten(cost), {}};
        if (root) {
            // Before any other thread starts.
            for (const auto& [site, state] : fixings) root_fixed_[site] = state;
            fixings.clear();
        }

        const int site = branching_site(master, lp.y, fixed, lp.value);
        if (site < 0) return {bound, {}};  // every site is fixed: the bound is the node's one solution's
        const auto lambda = std::make_shared<const std::vector<double>>(lp.lambda);
        Outcome outcome;
        for (const int state : {1, 0}) {
            Node child{bound, fixings, lambda};
            child.fixings.push_back({site, static_cast<signed char>(state)});
            outcome.children.push_back(std::move(child));
        }
        return outcome;
    }

    bool out_of_time() const { return stops_.out_of_time && stops_.out_of_time(); }

    // An LP never runs past the deadline: stopped there, its duals still
    // give a verified bound.
    void limit_lp_time(RadiusMaster& master) const {
        const std::optional<double> left = stops_.seconds_left ? stops_.seconds_left() : std::nullopt;
        master.limit_seconds(left ? std::max(0.0, *left) : -1.0);
    }

    // The incumbent's sites, with a little of every site that may open: a
    // point inside the hull of solutions near the best known one.
    std::vector<double> core() const {
        int open = 0;
        int free = 0;
        for (int j = 0; j < n_; ++j) {
            open += root_fixed_[j] == 1;
            free += root_fixed_[j] == -1;
        }
        const double spread = free > 0 ? double(p_ - open) / free : 0.0;
        std::vector<int> medians;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            medians = incumbent_.medians;
        }
        const double own = medians.empty() ? 0.0 : 0.9;
        std::vector<double> point(std::size_t(n_), 0.0);
        for (int j = 0; j < n_; ++j) {
            point[j] = root_fixed_[j] == 1 ? 1.0 : root_fixed_[j] == 0 ? 0.0 : (1 - own) * spread;
        }
        for (const int m : medians) {
            if (root_fixed_[m] == -1) point[m] += own;
        }
        return point;
    }

    // The swap search from the p sites the LP opens most (the fixed open
    // ones first).
    void improve_from(const std::vector<double>& y, const Fixings& fixed) {
        std::vector<int> order(static_cast<std::size_t>(n_));
        for (int j = 0; j < n_; ++j) order[j] = j;
        const auto weight = [&](int j) { return fixed[j] == 1 ? 2.0 : fixed[j] == 0 ? -1.0 : y[j]; };
        std::partial_sort(order.begin(), order.begin() + p_, order.end(),
                          [&](int a, int b) { return weight(a) > weight(b); });
        std::vector<int> medians(order.begin(), order.begin() + p_);
        std::sort(medians.begin(), medians.end());
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (std::binary_search(tried_.begin(), tried_.end(), medians)) return;
            tried_.insert(std::upper_bound(tried_.begin(), tried_.end(), medians), medians);
        }
        const double cost = stops_.improve(medians);
        std::sort(medians.begin(), medians.end());
        std::lock_guard<std::mutex> lock(mutex_);
        if (incumbent_.medians.empty() || cost < incumbent_.cost) {
            incumbent_.medians = medians;
            incumbent_.cost = cost;
        }
    }

    // Client-site pairs that no solution better than the incumbent can use:
    // a solution of cost C allowed here serves client i within
    // lambda_i + C - bound (its cost is at least the bound plus what serving
    // i beyond lambda_i adds). A client left a single free site within reach
    // fixes it open; one left none means no better solution lies here, and
    // false. Only clients whose lists hold every site within reach count.
    bool fix_by_pairs(const std::vector<double>& lambda, double bound, double cost, Fixings& fixed,
                      std::vector<std::pair<int, signed char>>& fixings) const {
        const double better = rule_.improving(cost);
        for (int i = 0; i < n_; ++i) {
            const double w = net_.weight_of(i);
            if (w == 0) continue;
            const double margin = 1e-9 * (std::fabs(lambda[i]) + std::fabs(better) + std::fabs(bound) + 1);
            const double reach = (lambda[i] + (better - bound) + margin) / w;
            if (lists_.falls_short(i, reach, n_)) continue;
            const CandidateLists::Entry* list = lists_.row(i);
            int free_sites = 0;
            int only = -1;
            bool served = false;
            for (int k = 0; k < lists_.width && double(list[k].dist) <= reach; ++k) {
                const int j = list[k].node;
                if (fixed[j] == 1) {
                    served = true;
                    break;
                }
                if (fixed[j] == -1) {
                    ++free_sites;
                    only = j;
                }
            }
            if (served || free_sites > 1) continue;
            if (free_sites == 0) return false;
            fixed[only] = 1;
            fixings.push_back({only, 1});
        }
        return true;
    }

    // Fixes each free site whose opening (closing) alone lifts the bound to
    // where it proves the incumbent.
    void fix_by_reduced_costs(const LagrangeanBound& verified, double cost, Fixings& fixed,
                              std::vector<std::pair<int, signed char>>& fixings) const {
        // The reduced costs enter once more with their rounding.
        const double slack = 4 * verified.rounding;
        for (int j = 0; j < n_; ++j) {
            if (fixed[j] != -1) continue;
            const double reduced = verified.reduced[j];
            if (!verified.opened[j] && verified.last_opened > -none) {
                const double if_open = verified.value + reduced - verified.last_opened - slack;
                if (rule_.closes(if_open, cost) && if_open > verified.value) {
                    fixed[j] = 0;
                    fixings.push_back({j, 0});
                }
            } else if (verified.opened[j] && verified.next_free < none) {
                const double if_closed = verified.value - reduced + verified.next_free - slack;
                if (rule_.closes(if_closed, cost) && if_closed > verified.value) {
                    fixed[j] = 1;
                    fixings.push_back({j, 1});
                }
            }
        }
    }

    // The free site to branch on, or -1 when none is free: of the most
    // fractional ones, the one whose two branches raise the LP most
    // together, as a few dual simplex iterations estimate them.
    int branching_site(RadiusMaster& master, const std::vector<double>& y, const Fixings& fixed, double value) const {
        std::vector<int> candidates;
        for (int j = 0; j < n_; ++j) {
            if (fixed[j] == -1) candidates.push_back(j);
        }
        if (candidates.empty()) return -1;
        const auto distance = [&](int j) { return std::fabs(y[j] - 0.5); };
        const std::size_t tried = std::min(candidates.size(), std::size_t(strong_candidates));
        std::partial_sort(candidates.begin(), candidates.begin() + tried, candidates.end(),
                          [&](int a, int b) { return distance(a) < distance(b); });
        candidates.resize(tried);
        // Past the deadline the estimates would only delay the answer.
        if (tried == 1 || distance(candidates[0]) > 0.5 - 1e-6 || out_of_time()) return candidates[0];
        limit_lp_time(master);
        const auto values = master.branch_values(candidates, strong_iterations);
        int best = candidates[0];
        double best_score = -1;
        for (std::size_t k = 0; k < tried; ++k) {
            const double down = std::min(std::max(0.0, values[k].first - value), 1e300);
            const double up = std::min(std::max(0.0, values[k].second - value), 1e300);
            const double score = std::max(down, 1e-9 * (1 + value)) * std::max(up, 1e-9 * (1 + value));
            if (score > best_score) {
                best_score = score;
                best = candidates[k];
            }
        }
        return best;
    }

    const Network& net_;
    const CandidateLists& lists_;
    int n_;
    int p_;
    const ProofRule& rule_;
    Incumbent& incumbent_;
    const ExactSearchStops& stops_;
    Fixings root_fixed_;  // written by the root alone
    // The rest is shared by the threads, under the mutex: the incumbent,
    // and the open nodes, in the order they were opened.
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<Node> open_;
    std::size_t open_bytes_ = 0;         // held by the open nodes
    std::multiset<double> in_progress_;  // the bounds of the nodes being solved
    double settled_ = none;              // the least bound of the nodes closed so far
    long nodes_ = 0;
    std::atomic<bool> stopping_{false};
    std::vector<std::vector<int>> tried_;  // swap search starts, sorted
};

}  // namespace

ExactSearchResult exact_search(const Network& net, const CandidateLists& lists, const ProofRule& rule,
                               Incumbent& incumbent, const std::vector<double>& multipliers,
                               const ExactSearchStops& stops) {
    Search search(net, lists, rule, incumbent, stops);
    return search.run(multipliers);
}

}  // namespace pmedian
