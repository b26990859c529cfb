// The LP relaxation of the p-median problem in its radius form, solved by
// cutting planes: for client i and any radius R,
//     theta_i >= R - sum_j max(0, R - d_ij) y_j
// holds for every y with sum y = p, 0 <= y <= 1 that opens a site within R
// of i or leaves i served beyond R. The master LP minimises
// sum w_i theta_i over those cuts; the cuts at a master point need no LP of
// their own.
#pragma once

#include <ClpSimplex.hpp>
#include <algorithm>
#include <functional>
#include <vector>

#include "certify/network.hpp"
#include "kernels/candidate_lists.hpp"

namespace pmedian {

class RadiusMaster {
public:
    // lists: each client's nearest sites in ascending distance (any width).
    RadiusMaster(const Network& net, const CandidateLists& lists);

    // Each LP solve from now on stops after this many seconds (none when
    // negative), leaving the point and duals it has reached. CLP reads 0 as
    // no limit, so no time left is the least it tells apart from none.
    void limit_seconds(double seconds) { lp_.setMaximumWallSeconds(seconds < 0 ? -1.0 : std::max(seconds, 1e-9)); }

    // Bounds of y_j for the next solve: -1 free, 0 closed, 1 open.
    void set_fixed(const std::vector<signed char>& fixed);

    // Sites closed in every solve from now on: cuts added later leave them
    // out, which keeps the rows short once most sites are closed.
    void close_for_good(const std::vector<signed char>& fixed);

    struct Solution {
        double value = 0;            // the master's value (not itself a verified bound)
        std::vector<double> y;       // the master's point
        std::vector<double> lambda;  // per client, multipliers read off the cuts' duals
        int rounds = 0;
    };

    // Adds cuts until none is violated at the master's point, or until stop,
    // asked after each round with the master's value, says so. `core`, when
    // not empty, is a point inside the hull of solutions: cuts are sought
    // between it and the master's point first, which needs far fewer rounds
    // than at the master's point alone.
    Solution solve(const std::vector<double>& core, const std::function<bool(double value, int round)>& stop);

    // Adds, for each client i, the cut of the least distance at or beyond
    // its reach multiplier[i] / w_i: near the LP's optimum when the
    // multipliers are good Lagrangean ones, which saves the first rounds.
    void add_cuts_at(const std::vector<double>& multiplier);

    // For each site, the master's value with it closed and with it opened,
    // the cuts as they are, each after at most `iterations` dual simplex
    // iterations from the last solve's basis (a lower bound on that LP).
    std::vector<std::pair<double, double>> branch_values(const std::vector<int>& sites, int iterations);

private:
    struct Cut {
        int client;
        double radius;
    };
    // The radius of client i's most violated cut at y.
    double best_radius(int i, const double* y) const;
    // R - sum max(0, R - d) y of client i's cut of the given radius.
    double cut_value(int i, double radius, const double* y) const;
    void add_cut(int i, double radius);
    // Calls fn(j, d_ij) for every site nearer to client i than the radius:
    // along its list when the list holds them all, else along its row.
    template <typename Fn>
    void for_each_nearer(int i, double radius, Fn fn) const {
        if (!lists_.falls_short(i, radius, n_)) {
            const CandidateLists::Entry* list = lists_.row(i);
            for (int k = 0; k < lists_.width && double(list[k].dist) < radius; ++k)
                fn(list[k].node, double(list[k].dist));
        } else {
            const float* row = net_.row(i);
            for (int j = 0; j < n_; ++j) {
                if (double(row[j]) < radius) fn(j, double(row[j]));
            }
        }
    }
    void drop_slack_cuts();
    // The rows add_cut gathers, and their cuts, until add_pending_rows.
    void start_rows();
    void add_pending_rows();

    const Network& net_;
    const CandidateLists& lists_;
    int n_;
    int p_;
    double scale_;         // the largest distance: the LP's unit
    double weight_scale_;  // the largest weight: the objective's unit
    ClpSimplex lp_;
    std::vector<char> closed_;  // per site, closed for good
    std::vector<Cut> cuts_;     // per row past the first
    std::vector<Cut> pending_;  // gathered, not yet rows
    // Scratch of the separation and the cuts.
    mutable std::vector<std::pair<float, double>> mass_;  // scratch of best_radius
    std::vector<int> columns_;
    std::vector<double> elements_;
    std::vector<int> starts_;
    std::vector<double> lower_;
    std::vector<double> upper_;
};

}  // namespace pmedian
