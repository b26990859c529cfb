// What pmedian-certify prints: pmedian's report with the lower bound, or
// one JSON object.
#pragma once

#include "certify/certify.hpp"
#include "problem.hpp"

namespace pmedian {

// "proven", "time limit" or "search exhausted".
const char* ending_name(Ending ending);

void print_json(const State& s, const CertifiedSolution& r, double seconds);

// pmedian's report of the solution (the arrangement best is overwritten),
// then the lower bound.
void print_report(State& s, const CertifiedSolution& r);

}  // namespace pmedian
