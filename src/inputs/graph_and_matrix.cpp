#include "inputs/graph_and_matrix.hpp"

#include <algorithm>
#include <atomic>
#include <cctype>
#include <climits>
#include <cmath>
#include <functional>
#include <limits>
#include <thread>

#include "data_file.hpp"
#include "inputs/field_reader.hpp"
#include "inputs/points_table.hpp"
#include "problem.hpp"

namespace pmedian {

namespace {

bool is_number(const std::string& text) {
    double value = 0;
    return parse_number(text, value);
}

bool is_weight_name(std::string text) {
    for (char& c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    return text == "weight";
}

// A whole number in [least, most] from field k; fails naming `what`.
long long whole_field(const FieldReader& in, std::size_t k, long long least, long long most, const char* what) {
    const double value = in.number(k, what);
    if (value != std::floor(value) || value < double(least) || value > double(most)) {
        in.fail(k, std::string("'") + in.field(k) + "' is not " + what);
    }
    return (long long)value;
}

// The edges leaving each node, one array for all: those of node v are
// [first[v], first[v + 1]).
struct Adjacency {
    std::vector<std::size_t> first;
    std::vector<std::pair<int, double>> edges;
};

// Dijkstra from source: row[v] is the least sum, in double and in path
// order, of the costs along a path to v (+inf when none).
void paths_from(int source, const Adjacency& graph, std::vector<double>& row,
                std::vector<std::pair<double, int>>& heap) {
    using Entry = std::pair<double, int>;
    std::fill(row.begin(), row.end(), std::numeric_limits<double>::infinity());
    heap.clear();
    row[source] = 0;
    heap.push_back({0, source});
    while (!heap.empty()) {
        std::pop_heap(heap.begin(), heap.end(), std::greater<Entry>());
        const auto [d, v] = heap.back();
        heap.pop_back();
        if (d > row[v]) continue;
        for (std::size_t e = graph.first[v]; e < graph.first[v + 1]; ++e) {
            const auto [w, cost] = graph.edges[e];
            if (d + cost < row[w]) {
                row[w] = d + cost;
                heap.push_back({row[w], w});
                std::push_heap(heap.begin(), heap.end(), std::greater<Entry>());
            }
        }
    }
}

// The same when every cost is a whole number of at most most_bucketed_cost
// (as on the OR-Library): nodes wait in a ring of buckets, one a distance,
// so that taking the nearest costs nothing. Sums of such costs are exact in
// double, so the rows are those of the heap.
constexpr double most_bucketed_cost = 256;

void paths_from_by_buckets(int source, const Adjacency& graph, int most_cost, std::vector<double>& row,
                           std::vector<std::vector<int>>& buckets) {
    std::fill(row.begin(), row.end(), std::numeric_limits<double>::infinity());
    buckets.resize(std::size_t(most_cost) + 1);
    const std::size_t ring = buckets.size();
    row[source] = 0;
    buckets[0].push_back(source);
    std::size_t waiting = 1;
    for (std::size_t distance = 0; waiting > 0; ++distance) {
        std::vector<int>& bucket = buckets[distance % ring];
        // A cost of 0 adds to the bucket being emptied.
        for (std::size_t k = 0; k < bucket.size(); ++k) {
            const int v = bucket[k];
            --waiting;
            if (row[v] != double(distance)) continue;
            for (std::size_t e = graph.first[v]; e < graph.first[v + 1]; ++e) {
                const auto [w, cost] = graph.edges[e];
                const double reached = double(distance) + cost;
                if (reached < row[w]) {
                    row[w] = reached;
                    buckets[std::size_t(reached) % ring].push_back(w);
                    ++waiting;
                }
            }
        }
        bucket.clear();
    }
}

// The paths from one source at a time, for one thread: by the ring of
// buckets when bucketed_cost (the largest edge cost) is at least 0, else by
// the heap.
class PathFinder {
public:
    PathFinder(const Adjacency& graph, int n, int bucketed_cost)
        : graph_(graph), bucketed_cost_(bucketed_cost), row_(static_cast<std::size_t>(n)) {}

    const std::vector<double>& from(int source) {
        if (bucketed_cost_ >= 0) {
            paths_from_by_buckets(source, graph_, bucketed_cost_, row_, buckets_);
        } else {
            paths_from(source, graph_, row_, heap_);
        }
        return row_;
    }

private:
    const Adjacency& graph_;
    int bucketed_cost_;
    std::vector<double> row_;
    std::vector<std::pair<double, int>> heap_;
    std::vector<std::vector<int>> buckets_;
};

// All-pairs shortest paths by Dijkstra from every node, into dist. The
// first source tells whether the graph is connected; the others are shared
// among the cores, each row written by one of them (on the OR-Library the
// paths took longer than the exact search of most instances).
void shortest_paths(const std::vector<std::vector<std::pair<int, double>>>& adjacent, Instance& instance) {
    const int n = instance.n;
    Adjacency graph;
    graph.first.push_back(0);
    for (const auto& edges : adjacent) {
        graph.edges.insert(graph.edges.end(), edges.begin(), edges.end());
        graph.first.push_back(graph.edges.size());
    }
    double most_cost = 0;
    bool whole_costs = true;
    for (const auto& [w, cost] : graph.edges) {
        most_cost = std::max(most_cost, cost);
        whole_costs = whole_costs && cost == std::floor(cost);
    }
    const int bucketed_cost = whole_costs && most_cost <= most_bucketed_cost ? int(most_cost) : -1;
    std::atomic<bool> too_long{false};
    const auto store = [&](int source, const std::vector<double>& row) {
        for (int v = 0; v < n; ++v) {
            if (!(row[v] < double(INF_DIST))) too_long = true;
            instance.dist[source][v] = float(row[v]);
        }
    };
    PathFinder first(graph, n, bucketed_cost);
    const std::vector<double>& row = first.from(0);
    for (int v = 0; v < n; ++v) {
        if (row[v] == std::numeric_limits<double>::infinity()) {
            throw Fatal{"the graph is not connected: node " + std::to_string(v + 1) + " cannot be reached from node 1"};
        }
    }
    store(0, row);
    std::atomic<int> next_source{1};
    const auto work = [&] {
        PathFinder finder(graph, n, bucketed_cost);
        for (int source = next_source++; source < n && !too_long; source = next_source++) {
            store(source, finder.from(source));
        }
    };
    // Below a few hundred nodes a thread costs more than it saves.
    constexpr int least_nodes_per_thread = 200;
    const int threads =
        std::clamp(std::min(int(std::thread::hardware_concurrency()), n / least_nodes_per_thread), 1, 8);
    std::vector<std::thread> helpers;
    for (int k = 1; k < threads; ++k) helpers.emplace_back(work);
    work();
    for (std::thread& helper : helpers) helper.join();
    if (too_long) throw Fatal{"a shortest path is longer than 9.99e10"};
}

}  // namespace

Instance read_orlib_instance(std::FILE* file, const std::string& name, int p) {
    FieldReader in(file, name, ' ');
    if (!in.next_line() || in.size() < 3) in.fail(in.size(), "expected the header 'n edges p'");
    Instance instance;
    instance.n = int(whole_field(in, 0, 1, (long long)most_points, "a number of nodes"));
    const long long edges = whole_field(in, 1, 0, LLONG_MAX / 2, "a number of edges");
    instance.p = int(whole_field(in, 2, 1, instance.n, "a p from 1 to n"));
    if (p > 0) instance.p = p;
    // The last cost of a repeated edge counts: one cost per pair.
    std::vector<std::vector<std::pair<int, double>>> adjacent(static_cast<std::size_t>(instance.n));
    const auto set_cost = [&](int a, int b, double cost) {
        for (auto& [w, c] : adjacent[a]) {
            if (w == b) {
                c = cost;
                return;
            }
        }
        adjacent[a].push_back({b, cost});
    };
    for (long long e = 0; e < edges; ++e) {
        if (!in.next_line()) {
            in.fail_file("the file ends after " + std::to_string(e) + " of " + std::to_string(edges) + " edges");
        }
        if (in.size() < 3) in.fail(in.size(), "expected an edge 'i j cost'");
        const int a = int(whole_field(in, 0, 1, instance.n, "a node from 1 to n")) - 1;
        const int b = int(whole_field(in, 1, 1, instance.n, "a node from 1 to n")) - 1;
        const double cost = in.number(2, "an edge cost");
        if (cost < 0) in.fail(2, "an edge cost must be at least 0");
        if (a == b) continue;  // a loop never shortens a path
        set_cost(a, b, cost);
        set_cost(b, a, cost);
    }
    if (!instance.dist.allocate(instance.n)) throw Fatal{name + ": not enough memory for the distances"};
    shortest_paths(adjacent, instance);
    return instance;
}

Instance read_matrix_instance(std::FILE* file, const std::string& name, int p) {
    FieldReader in(file, name);
    if (!in.next_line()) in.fail_file("the matrix is empty");
    // A header row: any field that is not a number.
    std::vector<std::string> header;
    long weight_column = -1;
    bool has_header = false;
    for (std::size_t k = 0; k < in.size(); ++k) has_header = has_header || !is_number(in.field(k));
    if (has_header) {
        for (std::size_t k = 0; k < in.size(); ++k) {
            header.push_back(in.field(k));
            if (is_weight_name(in.field(k))) weight_column = long(k);
        }
        if (!in.next_line()) in.fail_file("no rows after the header");
    }
    // An id column: the first row's first field is not a number.
    const bool has_ids = !is_number(in.field(0));
    std::vector<float> values;
    std::vector<double> weights;
    std::vector<std::string> client_ids;
    std::size_t width = 0;  // fields a row
    int clients = 0;
    int site_count = 0;
    do {
        const std::size_t fields = in.size();
        const std::size_t expected = has_header ? header.size() : width;
        if (expected != 0 && fields != expected) {
            in.fail(std::min(fields, expected), "this row has " + std::to_string(fields) + " fields, " +
                                                    (has_header ? "the header " : "the first row ") +
                                                    std::to_string(expected));
        }
        int row_values = 0;
        for (std::size_t k = 0; k < fields; ++k) {
            if (has_ids && k == 0) {
                client_ids.push_back(in.field(0));
            } else if (long(k) == weight_column) {
                const double w = in.number(k, "a weight");
                if (w < 0) in.fail(k, "a weight must be at least 0");
                weights.push_back(w);
            } else {
                const double d = in.number(k, "a distance");
                if (d < 0 || !(d < double(INF_DIST))) in.fail(k, "a distance must lie in [0, 9.99e10)");
                values.push_back(float(d));
                ++row_values;
            }
        }
        if (row_values == 0) in.fail(0, "a row without distances");
        width = fields;
        site_count = row_values;
        if (++clients + site_count > int(most_points)) {
            in.fail(0, "more than " + std::to_string(most_points) + " clients and sites");
        }
    } while (in.next_line());
    std::vector<std::string> site_ids;
    for (std::size_t k = 0; k < header.size(); ++k) {
        if (!(has_ids && k == 0) && long(k) != weight_column) site_ids.push_back(header[k]);
    }
    return instance_from_matrix(
        clients, site_count,
        [&](int i, float* row) {
            const auto start = values.begin() + std::ptrdiff_t(i) * site_count;
            std::copy(start, start + site_count, row);
        },
        std::move(weights), std::move(client_ids), std::move(site_ids), p);
}

Instance instance_from_matrix(int clients, int site_count, const std::function<void(int, float*)>& fill_row,
                              std::vector<double> weights, std::vector<std::string> client_ids,
                              std::vector<std::string> site_ids, int p) {
    if (clients < 1 || site_count < 1 || clients + site_count > int(most_points)) {
        throw Fatal{"a matrix needs from 1 to " + std::to_string(most_points) + " clients and sites"};
    }
    Instance instance;
    instance.p = p;
    // Square: filled in place, and kept if it is symmetric and zero on the
    // diagonal, n nodes each a client and a site.
    DistMatrix square;
    if (clients == site_count) {
        if (!square.allocate(clients)) throw Fatal{"not enough memory for the distances"};
        bool shared = true;
        for (int i = 0; i < clients; ++i) fill_row(i, square[i]);
        for (int i = 0; i < clients && shared; ++i) {
            shared = square[i][i] == 0;
            for (int j = i + 1; j < clients && shared; ++j) shared = square[i][j] == square[j][i];
        }
        if (shared) {
            instance.n = clients;
            instance.dist = std::move(square);
            instance.weight = std::move(weights);
            instance.ids = client_ids.empty() ? std::move(site_ids) : std::move(client_ids);
            return instance;
        }
    }
    // Clients 0 .. m-1 and sites m .. m+k-1: the pairs of two clients or two
    // sites never count, and hold the largest distance, so as not to change
    // the scale of the others.
    const int n = clients + site_count;
    instance.n = n;
    if (!instance.dist.allocate(n))
        throw Fatal{"not enough memory for the distances of " + std::to_string(n) + " nodes"};
    std::vector<float> buffer(static_cast<std::size_t>(site_count));
    float largest = 0;
    for (int i = 0; i < clients; ++i) {
        float* row = square.side() > 0 ? square[i] : buffer.data();
        if (square.side() == 0) fill_row(i, row);
        for (int j = 0; j < site_count; ++j) {
            instance.dist[i][clients + j] = instance.dist[clients + j][i] = row[j];
            largest = std::max(largest, row[j]);
        }
    }
    square.release();
    for (int a = 0; a < n; ++a) {
        const bool client = a < clients;
        float* row = instance.dist[a];
        for (int b = client ? 0 : clients; b < (client ? clients : n); ++b) row[b] = a == b ? 0.0f : largest;
    }
    instance.weight.assign(std::size_t(n), 0.0);
    for (int i = 0; i < clients; ++i) instance.weight[i] = weights.empty() ? 1.0 : weights[i];
    instance.sites.assign(std::size_t(n), -1);
    std::fill(instance.sites.begin(), instance.sites.begin() + clients, 0);
    for (int i = 0; i < clients; ++i) instance.ids.push_back(client_ids.empty() ? std::to_string(i) : client_ids[i]);
    for (int j = 0; j < site_count; ++j) instance.ids.push_back(site_ids.empty() ? std::to_string(j) : site_ids[j]);
    return instance;
}

void read_weights(std::FILE* file, const std::string& name, Instance& instance) {
    FieldReader in(file, name);
    std::size_t column = 0;
    bool first = true;
    std::vector<double> weights;
    while (in.next_line()) {
        if (first && !is_number(in.field(0))) {
            // A header: the column named weight, else the only one.
            column = in.size();
            for (std::size_t k = 0; k < in.size(); ++k) {
                if (is_weight_name(in.field(k))) column = k;
            }
            if (column == in.size()) {
                if (in.size() != 1) in.fail(0, "no column named weight");
                column = 0;
            }
            first = false;
            continue;
        }
        first = false;
        if (in.size() <= column) in.fail(in.size(), "no weight on this line");
        const double w = in.number(column, "a weight");
        if (w < 0) in.fail(column, "a weight must be at least 0");
        weights.push_back(w);
        if (weights.size() > most_points) in.fail(column, "more weights than " + std::to_string(most_points));
    }
    int clients = 0;
    const bool sites_apart = !instance.sites.empty();
    for (int v = 0; v < instance.n; ++v) clients += !sites_apart || instance.sites[v] == 0;
    if (int(weights.size()) != clients) {
        in.fail_file(std::to_string(weights.size()) + " weights for " + std::to_string(clients) + " clients");
    }
    if (!sites_apart) {
        instance.weight = weights;
    } else {
        for (int v = 0, k = 0; v < instance.n; ++v) {
            if (instance.sites[v] == 0) instance.weight[v] = weights[k++];
        }
    }
}

}  // namespace pmedian
