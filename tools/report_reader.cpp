#include "report_reader.hpp"

#include <cstdio>

#include "instance_sources.hpp"

namespace pmedian::tools {

namespace {

bool starts_with(const std::string& line, const char* prefix) { return line.rfind(prefix, 0) == 0; }

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(' ');
    const auto last = text.find_last_not_of(" \r");
    return first == std::string::npos ? "" : text.substr(first, last - first + 1);
}

}  // namespace

SolutionReport read_report(std::istream& in) {
    SolutionReport report;
    std::vector<std::pair<int, int>> assigned;
    bool sized = false;
    bool complete = false;
    std::string last_message;
    for (std::string line; std::getline(in, line);) {
        int a = 0;
        int b = 0;
        char rest[2];
        if (std::sscanf(line.c_str(), "Problema com %d nos e %d medianas...%1s", &a, &b, rest) == 2) {
            report.n = a;
            report.p = b;
            sized = true;
        } else if (starts_with(line, "Status: ")) {
            report.status = trimmed(line.substr(8));
        } else if (std::sscanf(line.c_str(), "No %d -> Mediana %d  Custo =", &a, &b) == 2) {
            assigned.push_back({a, b});
        } else if (starts_with(line, "Custo da solucao =")) {
            report.total = trimmed(line.substr(18));
            complete = true;
        } else if (!trimmed(line).empty() && line.find("----") == std::string::npos) {
            last_message = trimmed(line);
        }
    }
    if (!sized || !complete || report.status.empty()) {
        throw InputError("the report holds no solution" +
                         (last_message.empty() ? std::string() : " (pmedian said: " + last_message + ")"));
    }
    if (report.n < 1 || report.p < 1 || report.p > report.n || int(assigned.size()) != report.n - report.p) {
        throw InputError("the report lists " + std::to_string(assigned.size()) +
                         " nodes, not n - p = " + std::to_string(report.n - report.p));
    }
    // Every node not listed is a median, even one that serves nobody.
    report.median_of.assign(report.n, -1);
    for (auto [node, median] : assigned) {
        if (node < 0 || node >= report.n || median < 0 || median >= report.n || report.median_of[node] != -1) {
            throw InputError("the report lists node " + std::to_string(node) + " wrongly");
        }
        report.median_of[node] = median;
    }
    for (int v = 0; v < report.n; ++v) {
        if (report.median_of[v] == -1) report.median_of[v] = v;
    }
    for (auto [node, median] : assigned) {
        if (report.median_of[median] != median) {
            throw InputError("the report assigns node " + std::to_string(node) + " to " + std::to_string(median) +
                             ", which is not a median");
        }
    }
    return report;
}

}  // namespace pmedian::tools
