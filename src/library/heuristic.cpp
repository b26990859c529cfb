// pmedian's heuristic for callers of the library: the report it prints,
// captured and read back as data.
#include <cstdio>
#include <cstdlib>
#include <memory>
#include <sstream>
#include <stdexcept>

#include "inputs/solution_reader.hpp"
#include "pmedian/pmedian.hpp"
#include "problem.hpp"
#include "report.hpp"
#include "subgradient.hpp"

namespace pmedian {

HeuristicResult heuristic(const double* distances, int n, int p) {
    if (n < 1 || p < 1 || p > n) {
        throw std::invalid_argument(format_message("Tamanho invalido: n = %d e p = %d (exige 1 <= p <= n)", n, p));
    }
    State s;
    s.n = n;
    s.p = p;
    try {
        allocate_problem(s);
    } catch (const Fatal&) {
        throw std::bad_alloc();
    }
    // The upper triangle, as pmedian reads it, checked as its reader checks
    // each distance.
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            const double d = distances[std::size_t(i) * std::size_t(n) + std::size_t(j)];
            if (!(d >= 0 && float(d) < INF_DIST)) {
                throw std::invalid_argument(format_message("Distancia fora do intervalo entre os nos %d e %d", i, j));
            }
            s.dist[i][j] = float(d);
        }
    }
    mirror_upper_triangle(s.dist, n);

    char* text = nullptr;
    std::size_t size = 0;
    std::FILE* out = open_memstream(&text, &size);
    if (out == nullptr) throw std::bad_alloc();
    s.out = out;
    print_size(out, n, p);
    solve(s);
    std::fclose(out);
    const std::unique_ptr<char, decltype(&std::free)> report_text(text, &std::free);

    const std::string printed(text, size);
    HeuristicResult result;
    std::istringstream in(printed);
    const SolutionReport report = read_report(in);
    result.optimal = report.status == "Solucao otima";
    result.assignment = report.median_of;
    for (int v = 0; v < n; ++v) {
        if (report.median_of[v] == v) result.medians.push_back(v);
    }
    result.total = std::strtod(report.total.c_str(), nullptr);
    result.report = printed.substr(printed.find("Status:"));
    return result;
}

}  // namespace pmedian
