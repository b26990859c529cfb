// The optimum of a tiny instance by trying every set of p medians.
#pragma once

#include "certify/trusted_bound.hpp"
#include "problem.hpp"

namespace pmedian::testing {

// The lowest cost over every set of p medians the fixings allow (every
// set when fixed is empty); +inf when they allow none.
double enumerated_optimum(const State& s, const Fixings& fixed = {});

}  // namespace pmedian::testing
