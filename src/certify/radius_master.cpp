#include "certify/radius_master.hpp"

#include <algorithm>
#include <cmath>
#include <limits>

namespace pmedian {

namespace {

// Open mass below this counts as none: the LP's zeros come with noise.
constexpr double no_mass = 1e-12;

// A cut counts as violated when it passes the master's value by this
// share of its radius (and at least by this much).
constexpr double least_violation = 1e-7;

// Cuts are dropped once they outnumber the clients this many times over,
// those with slack first.
constexpr double most_cuts_per_client = 1.3;

}  // namespace

RadiusMaster::RadiusMaster(const Network& net, const CandidateLists& lists)
    : net_(net), lists_(lists), n_(net.n), p_(net.p) {
    const int n = n_;
    lp_.setLogLevel(0);
    // The rows are scaled already (distances over the largest); scaling
    // them again at every solve cost more than it gave.
    lp_.scaling(0);
    // The LP sees distances over the largest, and theta_i over it too, and
    // weights over the largest, so that its tolerances mean the same at
    // every magnitude of the data.
    float largest = 0;
    for (int i = 0; i < n; ++i) largest = std::max(largest, lists.row(i)[lists.width - 1].dist);
    for (int i = 0; i < n && lists.width < n; ++i) {
        for (int j = 0; j < n; ++j) largest = std::max(largest, net.row(i)[j]);
    }
    scale_ = largest > 0 ? double(largest) : 1.0;
    double heaviest = 0;
    for (int i = 0; i < n; ++i) heaviest = std::max(heaviest, net.weight_of(i));
    weight_scale_ = heaviest > 0 ? heaviest : 1.0;
    const int columns = 2 * n;
    std::vector<double> column_lower(columns, 0.0);
    std::vector<double> column_upper(columns, 1.0);
    std::vector<double> objective(columns, 0.0);
    for (int i = 0; i < n; ++i) {
        column_upper[n + i] = COIN_DBL_MAX;
        objective[n + i] = net.weight_of(i) / weight_scale_;
    }
    // One row: sum y = p.
    std::vector<CoinBigIndex> start(columns + 1, 0);
    std::vector<int> index;
    std::vector<double> value;
    for (int j = 0; j < columns; ++j) {
        if (j < n) {
            index.push_back(0);
            value.push_back(1.0);
        }
        start[j + 1] = CoinBigIndex(index.size());
    }
    const double row_bound = p_;
    lp_.loadProblem(columns, 1, start.data(), index.data(), value.data(), column_lower.data(), column_upper.data(),
                    objective.data(), &row_bound, &row_bound);
    set_fixed(net.sites);
    close_for_good(net.sites);
}

void RadiusMaster::set_fixed(const std::vector<signed char>& fixed) {
    for (int j = 0; j < n_ && !fixed.empty(); ++j) {
        lp_.setColumnBounds(j, fixed[j] == 1 ? 1.0 : 0.0, fixed[j] == 0 ? 0.0 : 1.0);
    }
}

void RadiusMaster::close_for_good(const std::vector<signed char>& fixed) {
    closed_.assign(std::size_t(n_), 0);
    for (int j = 0; j < n_ && !fixed.empty(); ++j) closed_[j] = fixed[j] == 0;
}

double RadiusMaster::best_radius(int i, const double* y) const {
    // The radius at which the open mass of the sites nearer than it first
    // reaches 1: beyond it the cut's slope in R, 1 - that mass, turns
    // negative. Along the list where it reaches that far, else over the
    // row's open sites, sorted.
    const CandidateLists::Entry* list = lists_.row(i);
    double mass = 0;
    for (int k = 0; k < lists_.width; ++k) {
        mass += y[list[k].node] > no_mass ? y[list[k].node] : 0.0;
        if (mass >= 1 - no_mass) return list[k].dist;
    }
    mass_.clear();
    const float* row = net_.row(i);
    for (int j = 0; j < n_; ++j) {
        if (y[j] > no_mass) mass_.push_back({row[j], y[j]});
    }
    if (mass_.empty()) return 0;
    std::sort(mass_.begin(), mass_.end());
    mass = 0;
    for (const auto& [d, open] : mass_) {
        mass += open;
        if (mass >= 1 - no_mass) return d;
    }
    return mass_.back().first;
}

double RadiusMaster::cut_value(int i, double radius, const double* y) const {
    double below = 0;
    for_each_nearer(i, radius, [&](int j, double d) { below += (radius - d) * y[j]; });
    return radius - below;
}

void RadiusMaster::add_cut(int i, double radius) {
    // theta_i + sum over sites nearer than the radius of (R - d) y_j >= R.
    for_each_nearer(i, radius, [&](int j, double d) {
        if (closed_[j]) return;
        columns_.push_back(j);
        elements_.push_back((radius - d) / scale_);
    });
    columns_.push_back(n_ + i);
    elements_.push_back(1.0);
    starts_.push_back(int(columns_.size()));
    lower_.push_back(radius / scale_);
    upper_.push_back(COIN_DBL_MAX);
    pending_.push_back({i, radius});
}

void RadiusMaster::add_cuts_at(const std::vector<double>& multiplier) {
    start_rows();
    for (int i = 0; i < n_; ++i) {
        const double w = net_.weight_of(i);
        if (w == 0) continue;
        const double reach = multiplier[i] / w;
        // The least distance at or beyond the reach (a cut's slope changes
        // only at distances), along the list or else the row.
        double at = -1;
        for_each_nearer(i, std::numeric_limits<double>::infinity(), [&](int, double d) {
            if (d >= reach && (at < 0 || d < at)) at = d;
        });
        if (at > 0) add_cut(i, at);
    }
    add_pending_rows();
}

void RadiusMaster::start_rows() {
    starts_.assign(1, 0);
    columns_.clear();
    elements_.clear();
    lower_.clear();
    upper_.clear();
    pending_.clear();
}

void RadiusMaster::add_pending_rows() {
    lp_.addRows(int(lower_.size()), lower_.data(), upper_.data(), starts_.data(), columns_.data(), elements_.data());
    cuts_.insert(cuts_.end(), pending_.begin(), pending_.end());
    start_rows();
}

std::vector<std::pair<double, double>> RadiusMaster::branch_values(const std::vector<int>& sites, int iterations) {
    const int columns = lp_.getNumCols();
    const int rows = lp_.getNumRows();
    const std::vector<unsigned char> status(lp_.statusArray(), lp_.statusArray() + columns + rows);
    const std::vector<double> column(lp_.primalColumnSolution(), lp_.primalColumnSolution() + columns);
    const std::vector<double> row(lp_.primalRowSolution(), lp_.primalRowSolution() + rows);
    const std::vector<double> dual(lp_.dualRowSolution(), lp_.dualRowSolution() + rows);
    const int limit = lp_.maximumIterations();
    lp_.setMaximumIterations(iterations);
    std::vector<std::pair<double, double>> values;
    for (const int j : sites) {
        const double lower = lp_.getColLower()[j];
        const double upper = lp_.getColUpper()[j];
        double branch[2];
        for (int open = 0; open < 2; ++open) {
            lp_.setColumnBounds(j, open ? 1.0 : lower, open ? upper : 0.0);
            lp_.dual();
            branch[open] = lp_.isProvenPrimalInfeasible() ? std::numeric_limits<double>::infinity()
                                                          : lp_.objectiveValue() * scale_ * weight_scale_;
            lp_.setColumnBounds(j, lower, upper);
            lp_.copyinStatus(status.data());
            std::copy(column.begin(), column.end(), lp_.primalColumnSolution());
            std::copy(row.begin(), row.end(), lp_.primalRowSolution());
            std::copy(dual.begin(), dual.end(), lp_.dualRowSolution());
        }
        values.push_back({branch[0], branch[1]});
    }
    lp_.setMaximumIterations(limit);
    return values;
}

void RadiusMaster::drop_slack_cuts() {
    if (double(cuts_.size()) <= most_cuts_per_client * n_) return;
    const double* activity = lp_.primalRowSolution();
    std::vector<int> slack;
    std::vector<Cut> kept;
    for (std::size_t k = 0; k < cuts_.size(); ++k) {
        const int row = int(k) + 1;
        const double lower = cuts_[k].radius / scale_;
        if (activity[row] > lower + least_violation * (1 + lower)) {
            slack.push_back(row);
        } else {
            kept.push_back(cuts_[k]);
        }
    }
    lp_.deleteRows(int(slack.size()), slack.data());
    cuts_ = std::move(kept);
}

RadiusMaster::Solution RadiusMaster::solve(const std::vector<double>& core,
                                           const std::function<bool(double value, int round)>& stop) {
    Solution solution;
    std::vector<double> point(n_);
    std::vector<double> inner = core;
    for (;;) {
        ++solution.rounds;
        lp_.dual();
        if (!lp_.isProvenOptimal()) lp_.primal();
        const double* column = lp_.primalColumnSolution();
        const double* y = column;
        const double* theta = column + n_;
        // Cuts violated at the master's point, sought first between it and
        // the inner point, where they are deeper.
        const auto separate = [&](const double* at) {
            int added = 0;
            for (int i = 0; i < n_; ++i) {
                // A client of no weight is left to its theta of 0.
                if (net_.weight_of(i) == 0) continue;
                const double radius = best_radius(i, at);
                if (cut_value(i, radius, y) / scale_ > theta[i] + least_violation * (1 + radius / scale_)) {
                    add_cut(i, radius);
                    ++added;
                }
            }
            return added;
        };
        start_rows();
        int added = 0;
        if (!inner.empty()) {
            for (int j = 0; j < n_; ++j) point[j] = 0.5 * y[j] + 0.5 * inner[j];
            added = separate(point.data());
            inner = point;
        }
        if (added == 0) added = separate(y);
        const double value = lp_.objectiveValue() * scale_ * weight_scale_;
        if (added == 0 || stop(value, solution.rounds)) {
            solution.value = value;
            solution.y.assign(y, y + n_);
            solution.lambda.assign(n_, 0.0);
            const double* dual = lp_.dualRowSolution();
            for (std::size_t k = 0; k < cuts_.size(); ++k) {
                solution.lambda[cuts_[k].client] += std::max(0.0, dual[k + 1]) * weight_scale_ * cuts_[k].radius;
            }
            return solution;
        }
        drop_slack_cuts();
        add_pending_rows();
    }
}

}  // namespace pmedian
