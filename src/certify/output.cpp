#include "certify/output.hpp"

#include <cmath>
#include <cstdint>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "report.hpp"

namespace pmedian {

namespace {

using Json = nlohmann::ordered_json;

// A number as JSON: whole ones as integers, so that a cost of 5128 reads
// 5128 and not 5128.0; others as the shortest text that reads back the same.
Json number(double x) {
    if (x == std::floor(x) && std::fabs(x) < 0x1p53) return std::int64_t(x);
    return x;
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

// The name of a node in the outputs: its id, or its number.
std::string name_of(const Instance& instance, int v) {
    return instance.ids.empty() ? std::to_string(v) : instance.ids[v];
}

}  // namespace

const char* ending_name(Ending ending) {
    switch (ending) {
        case Ending::proven:
            return "proven";
        case Ending::exhausted:
            return "search exhausted";
        case Ending::stopped:
            return "stopped";
        case Ending::time_limit:
            break;
    }
    return "time limit";
}

void print_json(const Instance& instance, const CertifiedSolution& r, double seconds) {
    // Per median, the weight of the clients it serves.
    const Network net = instance.network();
    std::vector<int> position_of(std::size_t(instance.n), -1);
    for (std::size_t k = 0; k < r.medians.size(); ++k) position_of[r.medians[k]] = int(k);
    std::vector<double> load(r.medians.size(), 0.0);
    for (int v = 0; v < instance.n; ++v) load[position_of[r.median_of[v]]] += net.weight_of(v);
    Json json;
    json["n"] = instance.n;
    json["p"] = instance.p;
    json["medians"] = r.medians;
    if (!instance.ids.empty()) {
        Json ids = Json::array();
        for (const int m : r.medians) ids.push_back(instance.ids[m]);
        json["median_ids"] = ids;
    }
    json["median_of"] = r.median_of;
    Json loads = Json::array();
    for (const double l : load) loads.push_back(number(l));
    json["load"] = loads;
    json["cost"] = number(r.cost);
    json["lower_bound"] = number(r.lower_bound);
    json["gap"] = number(r.cost - r.lower_bound);
    json["relative_gap"] = number(relative_gap(r));
    json["status"] = r.optimal ? "optimal" : "feasible";
    json["ending"] = ending_name(r.ending);
    json["iterations"] = r.iterations;
    json["nodes"] = r.nodes;
    json["seconds"] = number(std::round(seconds * 1000) / 1000);
    std::printf("%s\n", json.dump().c_str());
}

void print_report(const Instance& instance, const CertifiedSolution& r) {
    print_banner(stdout);
    print_size(stdout, instance.n, instance.p);
    print_status(stdout, r.optimal);
    // A line per client that no median of its own serves.
    const Network net = instance.network();
    double total = 0;
    for (int v = 0; v < instance.n; ++v) {
        if (net.weight_of(v) == 0 || r.median_of[v] == v) continue;
        const double cost = net.weight_of(v) * double(instance.dist[v][r.median_of[v]]);
        print_node_line(stdout, v, r.median_of[v], cost);
        total += cost;
    }
    print_total(stdout, total);
    std::printf("\nLimite inferior = %s\n", bound_text(r.lower_bound).c_str());
}

void write_assignment(std::FILE* out, const Instance& instance, const CertifiedSolution& r) {
    std::fprintf(out, "client,site,distance,weight\n");
    const Network net = instance.network();
    for (int v = 0; v < instance.n; ++v) {
        const double w = net.weight_of(v);
        if (w == 0) continue;
        const int m = r.median_of[v];
        std::fprintf(out, "%s,%s,%s,%s\n", name_of(instance, v).c_str(), name_of(instance, m).c_str(),
                     shortest_text(instance.dist[v][m]).c_str(), shortest_text(w).c_str());
    }
}

}  // namespace pmedian
