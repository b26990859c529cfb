#include "certify/certify.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <set>

#include "certify/exact_search.hpp"
#include "certify/swap_search.hpp"
#include "certify/trace.hpp"
#include "certify/trusted_bound.hpp"
#include "certify/weighted_swap_search.hpp"
#include "kernels/candidate_lists.hpp"
#include "kernels/whole_distances.hpp"
#include "subgradient.hpp"

namespace pmedian {

namespace {

// Iterations of the loop without progress before the exact search takes
// over; progress is a fall of the best cost or a rise of the verified bound
// by this share of the gap.
constexpr int loop_patience = 30;
constexpr double loop_progress_share = 0.05;

// The loop's solutions are searched by swaps only when they cost less than
// this many times the best.
constexpr double swap_share = 1.02;

// The loop's bound is verified again once it has risen by this share of the gap.
constexpr double verify_share = 0.01;

// The candidate lists take at most this many bytes: on the largest
// instances the widths the searches like would add a quarter to the
// matrix's memory, and a walk past a short list reads the row instead.
constexpr std::size_t most_list_bytes = std::size_t(64) << 20;

// Above this many nodes the exact search's LP cannot finish in the time a
// user gives: with a time limit, the loop runs to its end instead, its
// bound rising all the while.
constexpr int most_nodes_for_the_search_in_time = 8000;

int most_list_width(int n) {
    return int(std::max<std::size_t>(64, most_list_bytes / (sizeof(CandidateLists::Entry) * std::size_t(n))));
}

// Whether every weight is a whole number (so, with whole distances, every cost).
bool all_weights_whole(const std::vector<double>& weight) {
    return std::all_of(weight.begin(), weight.end(), [](double w) { return w == std::floor(w) && w < 0x1p53; });
}

class Certifier {
public:
    Certifier(Instance& instance, const CertifyOptions& options) : instance_(instance), options_(options) {}

    CertifiedSolution run() {
        rule_.whole_costs = all_distances_whole(instance_.dist, instance_.n) && all_weights_whole(instance_.weight);
        rule_.absolute = options_.absolute_gap;
        rule_.relative = options_.relative_gap;
        if (!options_.start.empty()) check_start(instance_, options_.start);
        if (options_.trace != nullptr) std::fprintf(options_.trace, "%s\n", trace_header);
        if (instance_.plain()) {
            run_loop_then_search();
        } else {
            run_search();
        }
        CertifiedSolution result;
        result.medians = best_medians_;
        result.cost = best_cost_;
        result.lower_bound = lower_bound();
        result.iterations = iterations_;
        result.nodes = nodes_;
        result.optimal = proven();
        result.ending = result.optimal ? Ending::proven
                        : exhausted_   ? Ending::exhausted
                        : stopped()    ? Ending::stopped
                                       : Ending::time_limit;
        result.median_of = serving_medians(best_medians_);
        return result;
    }

private:
    // The plain problem: the loop of the solver, each solution it builds
    // improved by the swap search, then the exact search. The distances
    // move into the loop's state and back.
    void run_loop_then_search() {
        State s;
        s.n = instance_.n;
        s.p = instance_.p;
        s.dist = std::move(instance_.dist);
        struct GiveBack {
            Instance& instance;
            State& s;
            ~GiveBack() { instance.dist = std::move(s.dist); }
        } give_back{instance_, s};
        allocate_problem(s);
        network_ = Network{&s.dist, s.n, s.p, {}, {}};
        LoopHooks hooks;
        hooks.improve_solution = [this](State& s, float built) {
            // A solution far above the best is not worth a swap search of
            // its own: the search rarely turns one into a better best.
            const float cost = double(built) > swap_share * best_cost_ ? built : improve(s);
            verify_bound(s);
            return cost;
        };
        hooks.should_stop = [this] { return proven() || out_of_time() || stalled() || next_iteration_overruns(); };
        hooks.after_iteration = [this](const State& s, int iteration, float pi) { observe(s, iteration, pi); };
        build_candidate_lists(s, swap_list_width(s.n, s.p), most_list_width(s.n));
        if (!options_.start.empty()) {
            // The loop's solutions must beat the start, improved by swaps.
            best_medians_ = options_.start;
            SwapStops stops;
            stops.out_of_time = [this] { return out_of_time(); };
            best_cost_ = swap_search(s.dist, s.caches.candidates, s.n, best_medians_, stops, s.tuning);
            std::sort(best_medians_.begin(), best_medians_.end());
        }
        start_search(s);
        subgradient_search(s, hooks);
        if (proven() || out_of_time() || search_too_large_in_time()) return;
        search(s.caches.candidates, best_multipliers_, [&](std::vector<int>& medians) {
            SwapStops stops;
            stops.out_of_time = [this] { return out_of_time(); };
            return swap_search(s.dist, s.caches.candidates, s.n, medians, stops, s.tuning);
        });
    }

    // Weights or restricted sites: the start or else the greedy solution,
    // improved by exchanges, then the exact search from the LP alone.
    void run_search() {
        network_ = instance_.network();
        const auto out = [this] { return out_of_time(); };
        best_medians_ = options_.start.empty() ? greedy_medians(network_, out) : options_.start;
        best_cost_ = weighted_swap_search(network_, best_medians_, out);
        std::sort(best_medians_.begin(), best_medians_.end());
        report_progress(best_cost_);
        if (proven() || out_of_time()) return;
        CandidateLists lists;
        const int width =
            std::min({instance_.n, 4 * swap_list_width(instance_.n, instance_.p), most_list_width(instance_.n)});
        build_candidate_lists(lists, instance_.dist, instance_.n, width);
        search(lists, {}, [&](std::vector<int>& medians) { return weighted_swap_search(network_, medians, out); });
    }

    void search(const CandidateLists& lists, const std::vector<double>& multipliers,
                const std::function<double(std::vector<int>&)>& improve) {
        Incumbent incumbent{best_medians_, best_cost_};
        ExactSearchStops stops;
        stops.out_of_time = [this] { return out_of_time(); };
        stops.seconds_left = [this]() -> std::optional<double> {
            if (!options_.deadline) return std::nullopt;
            return std::chrono::duration<double>(*options_.deadline - std::chrono::steady_clock::now()).count();
        };
        stops.improve = improve;
        stops.progress = [this](long nodes, double lower_bound, double cost) {
            nodes_ = nodes;
            verified_bound_ = std::max(verified_bound_, lower_bound);
            report_progress(cost);
        };
        const ExactSearchResult result = exact_search(network_, lists, rule_, incumbent, multipliers, stops);
        best_medians_ = incumbent.medians;
        best_cost_ = incumbent.cost;
        verified_bound_ = std::max(verified_bound_, result.lower_bound);
        nodes_ = result.nodes;
        exhausted_ = result.exhausted;
    }

private:
    // The best verified bound, at least 0 (no distance is negative), never
    // above the best cost, and rounded up when every cost is a whole number.
    double lower_bound() const { return std::min(best_cost_, rule_.reported(std::max(0.0, verified_bound_))); }
    bool proven() const { return rule_.closes(std::max(0.0, verified_bound_), best_cost_); }

    // The loop's bound has just risen, at the multipliers of s: it is
    // taken again in double, so that the rounding of its float sums cannot
    // overstate it; only once the loop's own bound says it has risen by a
    // share of the gap, since each verification reads every list.
    void verify_bound(const State& s) {
        if (!best_multipliers_.empty() &&
            !(double(s.bound) > verified_bound_ + verify_share * (best_cost_ - verified_bound_))) {
            return;
        }
        // One that would end past the deadline is left out: on the largest
        // instances, whose clients reach past their lists, one reads rows
        // for half a second.
        const auto begin = std::chrono::steady_clock::now();
        if (options_.deadline && begin + last_verification_ > *options_.deadline) return;
        std::vector<double> multipliers(static_cast<std::size_t>(s.n));
        for (int j = 0; j < s.n; ++j) multipliers[j] = double(s.t) * double(s.lambda[j]);
        const double bound = lagrangean_bound(network_, multipliers, {}, &s.caches.candidates).value;
        last_verification_ = std::chrono::steady_clock::now() - begin;
        if (bound > verified_bound_ || best_multipliers_.empty()) {
            verified_bound_ = std::max(verified_bound_, bound);
            best_multipliers_ = std::move(multipliers);
        }
    }

    // cost: the best so far, which the exact search holds while it runs.
    void report_progress(double cost) const {
        if (!options_.progress) return;
        const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start_).count();
        options_.progress(seconds, nodes_, std::min(cost, lower_bound()), cost);
    }

    bool out_of_time() const {
        return (options_.deadline && std::chrono::steady_clock::now() >= *options_.deadline) || stopped();
    }
    bool stopped() const { return options_.stop && options_.stop(); }

    // Whether another iteration of the loop, as long as the last, would end
    // past the deadline: on the largest instances one takes a fair part of
    // a second, and the answer is due at the deadline.
    bool next_iteration_overruns() const {
        return options_.deadline && std::chrono::steady_clock::now() + last_iteration_ > *options_.deadline;
    }

    // The swap search from the medians in sv_node; the loop builds the same
    // median sets again and again, so each search is done once.
    float improve(State& s) {
        std::vector<int> medians(s.sv_node.begin(), s.sv_node.begin() + s.p);
        std::sort(medians.begin(), medians.end());
        Searched result;
        if (auto found = searched_.find(medians); found != searched_.end()) {
            result = found->second;
        } else {
            SwapStops stops;
            stops.out_of_time = [this] { return out_of_time(); };
            stops.known_local_optimum = [this](const std::vector<int>& at) { return local_optima_.count(at) > 0; };
            result.medians = medians;
            result.cost = swap_search(s.dist, s.caches.candidates, s.n, result.medians, stops, s.tuning);
            std::sort(result.medians.begin(), result.medians.end());
            // A search cut short by the clock is not what a full one gives.
            if (!out_of_time()) {
                searched_.emplace(medians, result);
                local_optima_.insert(result.medians);
            }
        }
        if (result.cost < best_cost_) {
            best_cost_ = result.cost;
            best_medians_ = result.medians;
        }
        medians_first(result.medians, s.sv_node);
        return float(result.cost);
    }

    // The loop hands over to the exact search once neither its bound nor
    // its best cost has moved for a while: the search's LP closes the rest
    // of the gap far sooner than the loop's last halvings of its step.
    bool stalled() const { return !search_too_large_in_time() && iterations_ - last_progress_ >= loop_patience; }

    // Whether the exact search could not finish in the time given: its
    // setup alone reads every row a few times.
    bool search_too_large_in_time() const {
        return options_.deadline && network_.n > most_nodes_for_the_search_in_time;
    }

    void observe(const State& s, int iteration, float pi) {
        const auto now = std::chrono::steady_clock::now();
        last_iteration_ = now - iteration_start_;
        iteration_start_ = now;
        if (verified_bound_ > progress_bound_ + loop_progress_share * (best_cost_ - progress_bound_) ||
            best_cost_ < progress_cost_) {
            progress_bound_ = verified_bound_;
            progress_cost_ = best_cost_;
            last_progress_ = iteration;
        }
        iterations_ = iteration;
        report_progress(best_cost_);
        if (options_.trace == nullptr) return;
        // No upper bound yet is an empty field rather than the sentinel.
        const std::string upper = s.best_ub < INF_DIST ? shortest_text(s.best_ub) : "";
        std::fprintf(options_.trace, "%d,%s,%s,%s,%s\n", iteration, shortest_text(lower_bound()).c_str(), upper.c_str(),
                     shortest_text(pi).c_str(), shortest_text(s.t).c_str());
    }

    std::vector<int> serving_medians(const std::vector<int>& medians) const {
        std::vector<int> median_of(std::size_t(instance_.n));
        for (int v = 0; v < instance_.n; ++v) {
            median_of[v] = medians[nearest_median(instance_.dist[v], medians.data(), int(medians.size())).position];
        }
        for (int m : medians) median_of[m] = m;
        return median_of;
    }

    struct Searched {
        std::vector<int> medians;
        double cost = 0;
    };

    Instance& instance_;
    const CertifyOptions& options_;
    Network network_;                                // the instance, wherever its distances are
    std::map<std::vector<int>, Searched> searched_;  // from start to end
    std::set<std::vector<int>> local_optima_;
    std::vector<int> best_medians_;
    double best_cost_ = std::numeric_limits<double>::infinity();
    int iterations_ = 0;
    long nodes_ = 0;
    bool exhausted_ = false;
    ProofRule rule_;
    double verified_bound_ = 0;
    // The loop's last progress: when, and the bound and cost then.
    int last_progress_ = 0;
    double progress_bound_ = 0;
    double progress_cost_ = std::numeric_limits<double>::infinity();
    std::vector<double> best_multipliers_;  // those of the best loop bound
    std::chrono::steady_clock::time_point start_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point iteration_start_ = start_;
    std::chrono::steady_clock::duration last_iteration_{};
    std::chrono::steady_clock::duration last_verification_{};
};

}  // namespace

CertifiedSolution certify(Instance& instance, const CertifyOptions& options) {
    return Certifier(instance, options).run();
}

void medians_first(const std::vector<int>& medians, std::vector<int>& arrangement) {
    std::vector<char> is_median(arrangement.size(), 0);
    std::size_t a = 0;
    for (int m : medians) {
        is_median[m] = 1;
        arrangement[a++] = m;
    }
    for (std::size_t v = 0; v < arrangement.size(); ++v) {
        if (!is_median[v]) arrangement[a++] = int(v);
    }
}

}  // namespace pmedian
