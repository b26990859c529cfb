// Thresholds that force each fast path on small instances, and the count
// that shows it ran.
#pragma once

#include <functional>
#include <vector>

#include "problem.hpp"

namespace pmedian::testing {

struct ForcedPath {
    const char* name;
    std::function<void(Tuning&)> force;
    long PathsTaken::*ran;
};

// Every fast path this processor can run.
std::vector<ForcedPath> forced_paths();

}  // namespace pmedian::testing
