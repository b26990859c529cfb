#include "inputs/solution_reader.hpp"

#include <cstdio>
#include <fstream>
#include <nlohmann/json.hpp>
#include <sstream>

#include "certify/instance.hpp"
#include "problem.hpp"

namespace pmedian {

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
        } else if (starts_with(line, "Limite inferior =")) {
            report.lower_bound = trimmed(line.substr(17));
        } else if (starts_with(line, "Custo da solucao =")) {
            report.total = trimmed(line.substr(18));
            complete = true;
        } else if (!trimmed(line).empty() && line.find("----") == std::string::npos) {
            last_message = trimmed(line);
        }
    }
    if (!sized || !complete || report.status.empty()) {
        throw Fatal{"the report holds no solution" +
                    (last_message.empty() ? std::string() : " (pmedian said: " + last_message + ")")};
    }
    if (report.n < 1 || report.p < 1 || report.p > report.n || int(assigned.size()) != report.n - report.p) {
        throw Fatal{"the report lists " + std::to_string(assigned.size()) +
                    " nodes, not n - p = " + std::to_string(report.n - report.p)};
    }
    // Every node not listed is a median, even one that serves nobody.
    report.median_of.assign(report.n, -1);
    for (auto [node, median] : assigned) {
        if (node < 0 || node >= report.n || median < 0 || median >= report.n || report.median_of[node] != -1) {
            throw Fatal{"the report lists node " + std::to_string(node) + " wrongly"};
        }
        report.median_of[node] = median;
    }
    for (int v = 0; v < report.n; ++v) {
        if (report.median_of[v] == -1) report.median_of[v] = v;
    }
    for (auto [node, median] : assigned) {
        if (report.median_of[median] != median) {
            throw Fatal{"the report assigns node " + std::to_string(node) + " to " + std::to_string(median) +
                        ", which is not a median"};
        }
    }
    return report;
}

namespace {

// A number as the caption shows it: up to six significant digits.
std::string shown(double x) {
    char text[64];
    std::snprintf(text, sizeof text, "%.6g", x);
    return text;
}

SolutionReport read_json(const std::string& text) {
    nlohmann::json json;
    try {
        json = nlohmann::json::parse(text);
    } catch (const nlohmann::json::exception& error) {
        throw Fatal{std::string("the JSON cannot be read: ") + error.what()};
    }
    SolutionReport report;
    try {
        report.n = json.at("n").get<int>();
        report.p = json.at("p").get<int>();
        report.median_of = json.at("median_of").get<std::vector<int>>();
        report.status = json.at("status").get<std::string>() == "optimal" ? "proven optimal" : "feasible";
        report.total = shown(json.at("cost").get<double>());
        report.lower_bound = shown(json.at("lower_bound").get<double>());
        char gap[64];
        std::snprintf(gap, sizeof gap, "%.3f %%", 100 * json.at("relative_gap").get<double>());
        report.gap = gap;
    } catch (const nlohmann::json::exception& error) {
        throw Fatal{std::string("the JSON is not pmedian-certify's: ") + error.what()};
    }
    if (int(report.median_of.size()) != report.n) throw Fatal{"the JSON's median_of does not list n nodes"};
    for (const int m : report.median_of) {
        if (m < 0 || m >= report.n || report.median_of[m] != m) {
            throw Fatal{"the JSON's median_of names " + std::to_string(m) + ", which is not a median"};
        }
    }
    return report;
}

}  // namespace

SolutionReport read_solution(std::istream& in) {
    // A solution of the largest instance takes a few megabytes; a file far
    // longer is not one, and is not read to its end.
    constexpr std::size_t longest = std::size_t(1) << 28;
    std::string text;
    char chunk[1 << 16];
    while (in.read(chunk, sizeof chunk) || in.gcount() > 0) {
        text.append(chunk, std::size_t(in.gcount()));
        if (text.size() > longest) throw Fatal{"the solution file is longer than 256 MB: not a solution"};
    }
    const auto first = text.find_first_not_of(" \t\r\n");
    if (first != std::string::npos && text[first] == '{') return read_json(text);
    std::istringstream report(text);
    return read_report(report);
}

std::vector<int> read_start(const std::string& name, const Instance& instance) {
    std::ifstream in(name, std::ios::binary);
    if (!in) throw Fatal{"cannot read '" + name + "'"};
    try {
        const SolutionReport solution = read_solution(in);
        if (solution.n != instance.n) {
            throw Fatal{format_message("the solution is of %d nodes, the instance of %d", solution.n, instance.n)};
        }
        std::vector<int> medians;
        for (int v = 0; v < solution.n; ++v) {
            if (solution.median_of[v] == v) medians.push_back(v);
        }
        check_start(instance, medians);
        return medians;
    } catch (const Fatal& fatal) {
        throw Fatal{name + ": " + fatal.message};
    }
}

}  // namespace pmedian
