#include "certify/output.hpp"

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

}  // namespace

void print_json(const State& s, const CertifiedSolution& r, double seconds) {
    std::printf(
        "{\"n\":%d,\"p\":%d,\"medians\":%s,\"median_of\":%s,\"cost\":%s,"
        "\"lower_bound\":%s,\"gap\":%s,"
        "\"status\":\"%s\",\"iterations\":%d,\"seconds\":%.3f}\n",
        s.n, s.p, json_list(r.medians).c_str(), json_list(r.median_of).c_str(), shortest_text(r.cost).c_str(),
        shortest_text(r.lower_bound).c_str(), shortest_text(r.cost - double(r.lower_bound)).c_str(),
        r.optimal ? "optimal" : "feasible", r.iterations, seconds);
}

void print_report(State& s, const CertifiedSolution& r) {
    print_banner(stdout);
    print_size(stdout, s.n, s.p);
    print_status(stdout, r.optimal);
    medians_first(r.medians, s.best);
    double total = 0;
    print_node_lines(s, [&](float d) { total += d; });
    print_total(stdout, total);
    std::printf("\nLimite inferior = %s\n", format_two_decimals(r.lower_bound, 11).c_str());
}

}  // namespace pmedian
