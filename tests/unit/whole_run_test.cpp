// Whole runs with the fast kernels against the straightforward ones: the
// report must be the same byte for byte, with the default thresholds and
// with each fast path forced on small instances, where it must also run.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "forced_paths.hpp"
#include "random_instance.hpp"
#include "state_builder.hpp"
#include "subgradient.hpp"

namespace pmedian {
namespace {

using testing::Distances;
using Instance = testing::RandomInstance;

State make(const Instance& in) {
    std::mt19937 rng(in.seed);
    return testing::random_state(in, rng);
}

// Sizes around the list and block widths (64, 16), p from 1 to n.
std::vector<Instance> instances() {
    std::vector<Instance> all;
    unsigned seed = 1;
    for (Distances kind : {Distances::whole, Distances::fractional, Distances::tied, Distances::tied_fractional}) {
        for (int n : {1, 2, 3, 7, 16, 17, 40, 65, 90}) {
            for (int p : {1, 2, 3, n / 4, n / 2, n - 1, n}) {
                if (p >= 1 && p <= n) all.push_back({n, p, kind, seed++});
            }
        }
    }
    for (int n : {50, 120, 200}) {
        for (int p : {2, 5, 12}) {
            all.push_back({n, p, Distances::whole, seed++, true});
            all.push_back({n, p, Distances::fractional, seed++, true});
        }
    }
    return all;
}

// The status line and the report of a whole solve.
std::string report(const Instance& in, Kernels kernels, const Tuning& tuning, PathsTaken* taken = nullptr) {
    State s = make(in);
    s.kernels = kernels;
    s.tuning = tuning;
    const std::string text = testing::capture_output(s, [&] { solve(s); });
    if (taken != nullptr) *taken = s.taken;
    return text;
}

TEST(WholeRun, FastKernelsPrintWhatTheStraightforwardOnesPrint) {
    const std::vector<Instance> all = instances();
    ASSERT_GE(all.size(), 200u);
    for (const Instance& in : all) {
        ASSERT_EQ(report(in, Kernels::fast, {}), report(in, Kernels::straightforward, {})) << testing::label(in);
    }
}

TEST(WholeRun, EachForcedFastPathRunsAndPrintsWhatTheStraightforwardOnesPrint) {
    const std::vector<Instance> all = instances();
    for (const testing::ForcedPath& path : testing::forced_paths()) {
        SCOPED_TRACE(path.name);
        Tuning tuning;
        path.force(tuning);
        long ran = 0;
        for (std::size_t k = 0; k < all.size(); k += 3) {
            const Instance& in = all[k];
            PathsTaken taken;
            ASSERT_EQ(report(in, Kernels::fast, tuning, &taken), report(in, Kernels::straightforward, {}))
                << testing::label(in);
            ran += taken.*path.ran;
        }
        EXPECT_GT(ran, 0) << "the path never ran";
    }
}

}  // namespace
}  // namespace pmedian
