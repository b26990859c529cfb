// What pmedian-certify prints: pmedian's report with the lower bound, or
// one JSON object; and the assignment as CSV.
#pragma once

#include <cstdio>

#include "certify/certify.hpp"
#include "certify/instance.hpp"

namespace pmedian {

// "proven", "time limit" or "search exhausted".
const char* ending_name(Ending ending);

void print_json(const Instance& instance, const CertifiedSolution& r, double seconds);

// pmedian's report of the solution: a line per client that is no median
// with its median and its cost (its distance times its weight), the total;
// then the lower bound.
void print_report(const Instance& instance, const CertifiedSolution& r);

// A line per client: client, site, distance, weight (ids where given,
// else node numbers from 0), after a header line.
void write_assignment(std::FILE* out, const Instance& instance, const CertifiedSolution& r);

}  // namespace pmedian
