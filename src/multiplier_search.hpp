// One-dimensional search of the surrogate multiplier t for fixed lambda.
#pragma once

#include "problem.hpp"

namespace pmedian {

// Searches t from t_start with steps of start_step, leaves the relaxation of
// the best t evaluated in place (bound, node, beta and their saved copies)
// and returns that t; t_start receives every improving t.
float search_t(State& s, float& t_start, const float& start_step);

}  // namespace pmedian
