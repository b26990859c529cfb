// A lower bound certify may stake a proof on: the relaxation's value taken
// again in double, rounded up to a whole number when every cost is one.
#pragma once

#include <vector>

#include "problem.hpp"

namespace pmedian {

// The value of the relaxation at multipliers t * lambda[j] (the sum of the
// multipliers and of the p least reduced costs), summed in double and less a
// bound on that summation's rounding, so never above the exact value.
double relaxation_value(const DistMatrix& dist, int n, int p, float t, const std::vector<float>& lambda);

}  // namespace pmedian
