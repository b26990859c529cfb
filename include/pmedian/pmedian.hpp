// pmedian: choose p sites for clients so that the weighted sum of each
// client's distance to its nearest open site is least, with a proof of
// optimality (or the best solution and a proven lower bound when the time
// runs out).
//
//     pmedian::Problem problem = pmedian::Problem::from_points(xy.data(), n, 2);
//     problem.set_weights(population);
//     pmedian::Result result = pmedian::solve(problem, 10);
//
// Link with pmedian::pmedian (find_package(pmedian)).
#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#define PMEDIAN_API __attribute__((visibility("default")))

namespace pmedian {

// How points are apart.
enum class Distance {
    euclidean,  // as the nearest float
    floor,      // rounded down to a whole number
    nint,       // rounded to the nearest whole number
    haversine,  // great-circle kilometres between (latitude, longitude) in degrees
};

struct ProblemData;
struct Options;
struct Result;

// A problem built in memory: clients, candidate sites, distances, weights
// and sites fixed open. Bad data throws std::invalid_argument with the
// message the command line prints. A Problem is solved by one call at a
// time; copies share their data.
class PMEDIAN_API Problem {
public:
    // n points of `dimension` coordinates each, row by row: every point a
    // client and a candidate site.
    static Problem from_points(const double* coordinates, int n, int dimension,
                               Distance distance = Distance::euclidean);
    // distances[i * sites + j]: from client i to site j. A square matrix that
    // is symmetric and zero on the diagonal is one set of nodes, each a
    // client and a site; any other holds clients and sites apart.
    static Problem from_matrix(const double* distances, int clients, int sites);

    // Per client, a weight of at least 0 (default 1).
    void set_weights(const std::vector<double>& weights);
    // The candidate sites, as indices of points or of the matrix's columns
    // (default: all).
    void set_sites(const std::vector<int>& sites);
    // Sites open in every solution; they count among the p.
    void set_fixed(const std::vector<int>& fixed);

    int clients() const;
    int sites() const;

private:
    friend Result solve(const Problem& problem, int p, const Options& options);
    std::shared_ptr<ProblemData> data_;
};

struct Progress {
    double seconds = 0;
    long nodes = 0;  // of the exact search
    double lower_bound = 0;
    double cost = 0;
};

struct Options {
    double time_limit = -1;      // seconds; none when negative
    double relative_gap = 1e-6;  // proves a cost within this share of the bound (costs not whole)
    double absolute_gap = 0;     // or within this much
    // Called once a second from the first second on, from the solving
    // threads, one call at a time.
    std::function<void(const Progress&)> progress;
    // Set it (from any thread) to end the search with the best so far.
    const std::atomic<bool>* stop = nullptr;
    // A solution to start from: p sites, the fixed ones among them; the
    // search improves on it. Empty: none.
    std::vector<int> start;
};

enum class Status {
    optimal,     // proven
    time_limit,  // the time ran out first
    stopped,     // the stop flag was set
    exhausted,   // the search ended without a proof: a gap of 0 on costs that are not whole numbers
};

// "optimal", "time limit", "stopped" or "search exhausted".
PMEDIAN_API const char* status_name(Status status);

struct Result {
    std::vector<int> medians;     // the open sites, ascending
    std::vector<int> assignment;  // per client, the site serving it
    double cost = 0;              // weighted
    double lower_bound = 0;       // verified
    double gap = 0;               // cost - lower_bound
    Status status = Status::time_limit;
    long nodes = 0;      // of the exact search
    int iterations = 0;  // of the Lagrangean loop (the plain problem only)
    double seconds = 0;
};

// Opens p sites; throws std::invalid_argument when p does not fit.
PMEDIAN_API Result solve(const Problem& problem, int p, const Options& options = {});

// What pmedian prints, as data: its Lagrangean/surrogate heuristic on the
// upper triangle of a symmetric n x n matrix (row by row).
struct HeuristicResult {
    bool optimal = false;         // "Solucao otima": within 1.0 of its own bound
    std::vector<int> medians;     // ascending
    std::vector<int> assignment;  // per node, its median (a median is its own)
    double total = 0;             // "Custo da solucao", to hundredths
    std::string report;           // the status line, the node lines and the total, as pmedian prints them
};
PMEDIAN_API HeuristicResult heuristic(const double* distances, int n, int p);

}  // namespace pmedian
