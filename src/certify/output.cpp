#include "certify/output.hpp"

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include "report.hpp"

namespace pmedian {

namespace {

std::string json_list(const std::vector<int>& values) {
    std::string text = "[";
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (k > 0) text += ',';
        text += std::to_string(values[k]);
    }
    return text + "]";
}

// The gap as a share of the cost; 0 when both are 0.
double relative_gap(const CertifiedSolution& r) { return r.cost > 0 ? (r.cost - r.lower_bound) / r.cost : 0.0; }

// A bound with two decimals, rounded down: what is printed stays a bound.
std::string bound_text(double bound) {
    double hundredths = std::floor(bound * 100);
    if (hundredths / 100 > bound) hundredths -= 1;
    char text[64];
    std::snprintf(text, sizeof text, "%11.2f", hundredths / 100);
    return text;
}

}  // namespace

const char* ending_name(Ending ending) {
    switch (ending) {
        case Ending::proven:
            return "proven";
        case Ending::exhausted:
            return "search exhausted";
        case Ending::time_limit:
            break;
    }
    return "time limit";
}

void print_json(const State& s, const CertifiedSolution& r, double seconds) {
    std::printf(
        "{\"n\":%d,\"p\":%d,\"medians\":%s,\"median_of\":%s,\"cost\":%s,"
        "\"lower_bound\":%s,\"gap\":%s,\"relative_gap\":%s,"
        "\"status\":\"%s\",\"ending\":\"%s\",\"iterations\":%d,\"nodes\":%ld,\"seconds\":%.3f}\n",
        s.n, s.p, json_list(r.medians).c_str(), json_list(r.median_of).c_str(), shortest_text(r.cost).c_str(),
        shortest_text(r.lower_bound).c_str(), shortest_text(r.cost - r.lower_bound).c_str(),
        shortest_text(relative_gap(r)).c_str(), r.optimal ? "optimal" : "feasible", ending_name(r.ending),
        r.iterations, r.nodes, seconds);
}

void print_report(State& s, const CertifiedSolution& r) {
    print_banner(stdout);
    print_size(stdout, s.n, s.p);
    print_status(stdout, r.optimal);
    medians_first(r.medians, s.best);
    double total = 0;
    print_node_lines(s, [&](float d) { total += d; });
    print_total(stdout, total);
    std::printf("\nLimite inferior = %s\n", bound_text(r.lower_bound).c_str());
}

}  // namespace pmedian
