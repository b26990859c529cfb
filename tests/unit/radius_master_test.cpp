// The LP master of the radius formulation: its multipliers always give a
// verified bound below the optimum, stopped between rounds or not, and run
// to the end it reaches the LP bound, which the verified bound then equals.
#include "certify/radius_master.hpp"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "certify/swap_search.hpp"
#include "certify/trusted_bound.hpp"
#include "enumeration.hpp"
#include "kernels/candidate_lists.hpp"
#include "random_instance.hpp"

namespace pmedian {
namespace {

TEST(RadiusMaster, StoppedOrNotItsMultipliersBoundTheOptimum) {
    std::mt19937 rng(21);
    for (int trial = 0; trial < 40; ++trial) {
        const int n = 4 + trial % 9;
        const int p = 1 + trial % 3;
        SCOPED_TRACE("trial=" + std::to_string(trial));
        State s = testing::random_state(n, p, trial % 2 ? testing::Distances::whole : testing::Distances::tied, rng);
        build_candidate_lists(s);
        const double best = testing::enumerated_optimum(s);
        const Network net = testing::network_of(s);
        RadiusMaster master(net, s.caches.candidates);
        const std::vector<double> core(static_cast<std::size_t>(n), double(p) / n);
        const RadiusMaster::Solution first = master.solve(core, [](double, int round) { return round >= 1; });
        EXPECT_LE(lagrangean_bound(net, first.lambda).value, best);
        const RadiusMaster::Solution last = master.solve(core, [](double, int) { return false; });
        const double verified = lagrangean_bound(net, last.lambda).value;
        EXPECT_LE(verified, best);
        EXPECT_GE(last.value, first.value - 1e-9 * (1 + best));
        EXPECT_NEAR(verified, last.value, 1e-6 * (1 + best));
        // Fixing a site open and another closed never lifts the LP past the
        // best solution that allows.
        Fixings fixed(static_cast<std::size_t>(n), -1);
        fixed[0] = 1;
        fixed[n - 1] = 0;
        master.set_fixed(fixed);
        const RadiusMaster::Solution fixed_lp = master.solve(core, [](double, int) { return false; });
        EXPECT_LE(lagrangean_bound(net, fixed_lp.lambda, fixed).value, testing::enumerated_optimum(s, fixed));
        // Cuts that leave out the sites closed for good reach the same LP.
        if (p < n - 1) {
            Fixings closed(static_cast<std::size_t>(n), -1);
            closed[n - 1] = closed[n / 2] = 0;
            master.set_fixed(closed);
            const double full = master.solve(core, [](double, int) { return false; }).value;
            RadiusMaster without(net, s.caches.candidates);
            without.close_for_good(closed);
            without.set_fixed(closed);
            const RadiusMaster::Solution short_rows = without.solve(core, [](double, int) { return false; });
            EXPECT_NEAR(short_rows.value, full, 1e-6 * (1 + best));
            EXPECT_NEAR(lagrangean_bound(net, short_rows.lambda, closed).value, full, 1e-6 * (1 + best));
        }
    }
}

}  // namespace
}  // namespace pmedian
