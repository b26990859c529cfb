// The installed library's face: problems from points and from matrices,
// with weights, candidate sites and fixed sites, solved to the optimum
// that enumeration finds from the raw data; its errors; its stops.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <cmath>
#include <limits>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "pmedian/pmedian.hpp"

namespace {

// The least weighted cost over every set of p allowed sites holding the
// fixed ones; distance(i, j) from client i to site j.
template <typename Distance>
double enumerate(int clients, int sites, int p, const std::vector<double>& weights, const std::vector<char>& allowed,
                 const std::vector<char>& fixed, Distance distance) {
    double best = std::numeric_limits<double>::infinity();
    std::vector<int> chosen;
    const auto choose = [&](auto&& self, int from) -> void {
        if (int(chosen.size()) == p) {
            for (int j = from; j < sites; ++j) {
                if (fixed[j]) return;
            }
            double cost = 0;
            for (int i = 0; i < clients; ++i) {
                double nearest = std::numeric_limits<double>::infinity();
                for (const int j : chosen) nearest = std::min(nearest, distance(i, j));
                cost += weights[i] * nearest;
            }
            best = std::min(best, cost);
            return;
        }
        for (int j = from; j < sites; ++j) {
            if (allowed[j]) {
                chosen.push_back(j);
                self(self, j + 1);
                chosen.pop_back();
            }
            if (fixed[j]) return;
        }
    };
    choose(choose, 0);
    return best;
}

// Random weights (some 0), a random subset of sites, at most one fixed; p
// drawn to fit.
struct Draw {
    std::vector<double> weights;
    std::vector<int> site_list;
    std::vector<int> fixed_list;
    std::vector<char> allowed, fixed;
    int p = 1;
};

Draw draw(int clients, int sites, bool whole, std::mt19937& rng) {
    Draw d;
    for (int i = 0; i < clients; ++i)
        d.weights.push_back(rng() % 4 == 0 ? 0.0 : whole ? double(1 + rng() % 9) : (1 + rng() % 1000) / 13.0);
    d.allowed.assign(std::size_t(sites), 0);
    d.fixed.assign(std::size_t(sites), 0);
    for (int j = 0; j < sites; ++j) {
        if (rng() % 4 != 0 || j == 0) {
            d.site_list.push_back(j);
            d.allowed[j] = 1;
        }
    }
    if (rng() % 2 == 0) {
        const int j = d.site_list[rng() % d.site_list.size()];
        d.fixed_list.push_back(j);
        d.fixed[j] = 1;
    }
    d.p = 1 + int(rng() % d.site_list.size());
    return d;
}

TEST(Library, PointsWithWeightsSitesAndFixedSitesSolveToTheEnumeratedOptimum) {
    std::mt19937 rng(41);
    for (int trial = 0; trial < 60; ++trial) {
        const int n = 2 + trial % 11;
        const bool whole = trial % 2 == 0;
        std::vector<double> xy;
        for (int k = 0; k < 2 * n; ++k) xy.push_back(double(rng() % 50) / (whole ? 1.0 : 7.0));
        const Draw d = draw(n, n, whole, rng);
        SCOPED_TRACE("trial " + std::to_string(trial));
        pmedian::Problem problem = pmedian::Problem::from_points(
            xy.data(), n, 2, whole ? pmedian::Distance::floor : pmedian::Distance::euclidean);
        problem.set_weights(d.weights);
        problem.set_sites(d.site_list);
        problem.set_fixed(d.fixed_list);
        const pmedian::Result r = pmedian::solve(problem, d.p);
        const double best = enumerate(n, n, d.p, d.weights, d.allowed, d.fixed, [&](int i, int j) {
            const double e = std::hypot(xy[2 * i] - xy[2 * j], xy[2 * i + 1] - xy[2 * j + 1]);
            return whole ? std::floor(e) : e;
        });
        EXPECT_EQ(r.status, pmedian::Status::optimal);
        ASSERT_EQ(int(r.medians.size()), d.p);
        for (const int m : r.medians) EXPECT_TRUE(d.allowed[m]);
        for (const int f : d.fixed_list) EXPECT_TRUE(std::count(r.medians.begin(), r.medians.end(), f));
        if (whole) {
            EXPECT_EQ(r.cost, best);
        } else {
            // Distances are floats: within their rounding of the exact optimum.
            EXPECT_NEAR(r.cost, best, 1e-6 * (1 + best));
        }
        EXPECT_LE(r.lower_bound, r.cost);
    }
}

TEST(Library, RectangularMatricesSolveToTheEnumeratedOptimum) {
    std::mt19937 rng(43);
    for (int trial = 0; trial < 60; ++trial) {
        const int clients = 1 + trial % 9;
        const int sites = 1 + (trial * 7) % 8;
        std::vector<double> matrix;
        for (int k = 0; k < clients * sites; ++k) matrix.push_back(double(rng() % 100));
        const Draw d = draw(clients, sites, true, rng);
        SCOPED_TRACE("trial " + std::to_string(trial));
        pmedian::Problem problem = pmedian::Problem::from_matrix(matrix.data(), clients, sites);
        problem.set_weights(d.weights);
        problem.set_sites(d.site_list);
        problem.set_fixed(d.fixed_list);
        const pmedian::Result r = pmedian::solve(problem, d.p);
        const double best = enumerate(clients, sites, d.p, d.weights, d.allowed, d.fixed,
                                      [&](int i, int j) { return matrix[std::size_t(i * sites + j)]; });
        EXPECT_EQ(r.status, pmedian::Status::optimal);
        EXPECT_EQ(r.cost, best);
        ASSERT_EQ(int(r.assignment.size()), clients);
        for (int i = 0; i < clients; ++i) {
            EXPECT_TRUE(std::count(r.medians.begin(), r.medians.end(), r.assignment[i])) << "client " << i;
        }
    }
}

TEST(Library, BadDataIsAnInvalidArgumentWithTheCommandLinesMessage) {
    const std::vector<double> xy = {0, 0, 1, 1, 2, 2};
    pmedian::Problem problem = pmedian::Problem::from_points(xy.data(), 3, 2);
    const auto message = [](auto call) {
        try {
            call();
        } catch (const std::invalid_argument& error) {
            return std::string(error.what());
        }
        return std::string();
    };
    EXPECT_EQ(message([&] { pmedian::solve(problem, 4); }),
              "p = 4, but there are 3 candidate sites (needs 1 <= p <= sites)");
    EXPECT_EQ(message([&] { problem.set_weights({1, 2}); }), "2 weights for 3 clients");
    EXPECT_EQ(message([&] { problem.set_sites({0, 3}); }), "site 3 is not from 0 to 2");
    problem.set_sites({0, 1});
    problem.set_fixed({2});
    EXPECT_EQ(message([&] { pmedian::solve(problem, 1); }), "fixed site 2 is not a candidate site");
    const std::vector<double> bad = {0, -1, 1, 0};
    EXPECT_EQ(message([&] { pmedian::Problem::from_matrix(bad.data(), 2, 2); }),
              "the distance from client 0 to site 1 must lie in [0, 9.99e10)");
    const std::vector<double> far = {91, 0};
    EXPECT_EQ(message([&] { pmedian::Problem::from_points(far.data(), 1, 2, pmedian::Distance::haversine); }),
              "a latitude must lie in [-90, 90]");
    problem.set_sites({0, 1, 2});
    pmedian::Options bad_start;
    bad_start.start = {0, 7};
    EXPECT_EQ(message([&] { pmedian::solve(problem, 2, bad_start); }), "start site 7 is not from 0 to 2");
    bad_start.start = {0, 1};
    EXPECT_EQ(message([&] { pmedian::solve(problem, 2, bad_start); }),
              "the start leaves node 2 closed, which is fixed open");
}

// A start is kept when there is no time to improve on it, and its sites
// are the problem's (past the clients of a clients x sites matrix).
TEST(Library, AStartIsWhereTheSearchBegins) {
    std::mt19937 rng(53);
    std::vector<double> distances;
    for (int k = 0; k < 60 * 40; ++k) distances.push_back(double(rng() % 1000));
    const pmedian::Problem problem = pmedian::Problem::from_matrix(distances.data(), 60, 40);
    const pmedian::Result best = pmedian::solve(problem, 6);
    ASSERT_EQ(best.status, pmedian::Status::optimal);
    pmedian::Options no_time;
    no_time.time_limit = 0;
    no_time.start = best.medians;
    const pmedian::Result kept = pmedian::solve(problem, 6, no_time);
    EXPECT_EQ(kept.cost, best.cost);
    EXPECT_EQ(kept.medians, best.medians);
    pmedian::Options from_poor;
    from_poor.start = {0, 1, 2, 3, 4, 5};
    EXPECT_EQ(pmedian::solve(problem, 6, from_poor).cost, best.cost);
}

TEST(Library, AStopFlagOrATimeLimitEndsTheSearchWithASolution) {
    std::mt19937 rng(47);
    std::vector<double> xy;
    for (int k = 0; k < 400; ++k) xy.push_back(double(rng() % 10000) / 10);
    const pmedian::Problem problem = pmedian::Problem::from_points(xy.data(), 200, 2);
    const std::atomic<bool> stop{true};
    pmedian::Options stopped;
    stopped.stop = &stop;
    const pmedian::Result a = pmedian::solve(problem, 10, stopped);
    EXPECT_EQ(a.status, pmedian::Status::stopped);
    EXPECT_EQ(a.medians.size(), 10u);
    // Progress comes once a second, from the first second on.
    int calls = 0;
    double last = 0;
    pmedian::Options watched;
    watched.time_limit = 2.5;
    watched.progress = [&](const pmedian::Progress& at) {  // called on the solving threads, one at a time
        ++calls;
        EXPECT_GE(at.seconds, 1.0);
        EXPECT_GE(at.seconds, last + (calls > 1 ? 1.0 : 0.0));
        EXPECT_LE(at.lower_bound, at.cost);
        last = at.seconds;
    };
    std::vector<double> many;
    for (int k = 0; k < 3000; ++k) many.push_back(double(rng() % 100000) / 10);
    const pmedian::Result watched_result =
        pmedian::solve(pmedian::Problem::from_points(many.data(), 1500, 2), 20, watched);
    EXPECT_LE(calls, int(watched_result.seconds) + 1);
    pmedian::Options timed;
    timed.time_limit = 0;
    EXPECT_EQ(pmedian::solve(problem, 10, timed).status, pmedian::Status::time_limit);
    EXPECT_STREQ(pmedian::status_name(pmedian::Status::time_limit), "time limit");
}

}  // namespace
