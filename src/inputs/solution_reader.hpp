// Reads a solution back: the saved standard output of pmedian or
// pmedian-certify, or pmedian-certify's JSON.
#pragma once

#include <istream>
#include <string>
#include <vector>

namespace pmedian {

struct SolutionReport {
    int n = 0;
    int p = 0;
    std::string status;          // "Solucao otima" or "Solucao nao otima"
    std::string total;           // as printed, e.g. "29.00"
    std::string lower_bound;     // as printed; empty when not given
    std::string gap;             // relative, as a percentage; empty when not given
    std::vector<int> median_of;  // for each node its median; a median is its own
};

// Throws Fatal when the text is not a complete pmedian report.
SolutionReport read_report(std::istream& in);

// Either kind: JSON when its first character that is not white space is '{'.
SolutionReport read_solution(std::istream& in);

struct Instance;

// The medians of the solution in the named file (either kind), checked as
// a start for the instance; a Fatal naming the file otherwise.
std::vector<int> read_start(const std::string& name, const Instance& instance);

}  // namespace pmedian
