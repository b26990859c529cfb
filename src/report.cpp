#include "report.hpp"

#include <cmath>
#include <cstdio>

namespace pmedian {

std::string format_two_decimals(double x, int width) {
    // A double lies exactly halfway between two hundredths only when its
    // fraction is an odd number of eighths, and printf rounds that to even.
    // One step outward to the next double makes it round away from zero; the
    // next rounding boundary is far beyond that step.
    const double eighths = x * 8;
    if (std::isfinite(x) && eighths == std::floor(eighths) && std::fmod(eighths, 2) != 0) {
        x = std::nextafter(x, x > 0 ? HUGE_VAL : -HUGE_VAL);
    }
    char text[512];
    std::snprintf(text, sizeof text, "%*.2f", width, x);
    return text;
}

namespace {

constexpr const char* separator = "\n------------------------------------------";

}  // namespace

void print_banner(std::FILE* out) {
    std::fprintf(out, "Problema de P-Medianas\n");
    std::fprintf(out, "Heuristica Lagrangeana/Surrogate (Varnel & Oskarin)\n");
}

void print_size(std::FILE* out, int n, int p) {
    std::fprintf(out, "%s", separator);
    std::fprintf(out, "\nProblema com %5d nos e %5d medianas...\n", n, p);
    std::fprintf(out, "%s", separator);
}

void print_status(std::FILE* out, bool proven_optimal) {
    std::fprintf(out, "\nStatus: %s\n", proven_optimal ? "Solucao otima" : "Solucao nao otima");
}

void print_node_line(std::FILE* out, int node, int median, double cost) {
    std::fprintf(out, "\nNo %5d -> Mediana %5d  Custo = %s", node, median, format_two_decimals(cost, 11).c_str());
}

void print_node_lines(const State& s, const std::function<void(float)>& add) {
    for (int a = s.p; a < s.n; ++a) {
        const NearestMedian nearest = nearest_median(s.dist[s.best[a]], s.best.data(), s.p);
        print_node_line(s.out, s.best[a], s.best[nearest.position], nearest.distance);
        add(nearest.distance);
    }
}

void print_total(std::FILE* out, double total) {
    std::fprintf(out, "\nCusto da solucao = %s", format_two_decimals(total, 11).c_str());
}

void print_solution(State& s) {
    float total = 0;
    print_node_lines(s, [&](float d) { total = float(double(total) + double(d)); });
    print_total(s.out, total);
}

}  // namespace pmedian
