// The trace of the certifying loop: a CSV line per iteration, written by
// pmedian-certify --trace and drawn by pmedian-plot --trace.
#pragma once

namespace pmedian {

inline constexpr const char* trace_header = "iteration,lower_bound,upper_bound,step_factor,t";

}  // namespace pmedian
