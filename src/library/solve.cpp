// The library's face: problems built in memory, solved by the certifying
// search, in the users' numbering of clients and sites.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <new>
#include <stdexcept>
#include <utility>

#include "certify/certify.hpp"
#include "certify/output.hpp"
#include "inputs/distances.hpp"
#include "inputs/graph_and_matrix.hpp"
#include "pmedian/pmedian.hpp"
#include "problem.hpp"

namespace pmedian {

struct ProblemData {
    Instance instance;
    int clients = 0;
    int sites = 0;
    int site_offset = 0;          // node of site 0: 0 when clients and sites are the same nodes
    std::vector<double> weights;  // per client; empty: 1 each
    std::vector<int> site_list;   // empty: every site
    std::vector<int> fixed_list;
};

namespace {

// How the search ended, as the library tells it.
constexpr std::pair<Ending, Status> statuses[] = {{Ending::proven, Status::optimal},
                                                  {Ending::time_limit, Status::time_limit},
                                                  {Ending::stopped, Status::stopped},
                                                  {Ending::exhausted, Status::exhausted}};

Status status_of(Ending ending) {
    for (const auto& [from, status] : statuses) {
        if (from == ending) return status;
    }
    return Status::time_limit;
}

// Runs a builder, turning bad data into std::invalid_argument.
template <typename Build>
auto checked(Build build) {
    try {
        return build();
    } catch (const Fatal& fatal) {
        throw std::invalid_argument(fatal.message);
    }
}

void check_indices(const std::vector<int>& indices, int count, const char* what) {
    for (const int k : indices) {
        if (k < 0 || k >= count) {
            throw std::invalid_argument(std::string(what) + " " + std::to_string(k) + " is not from 0 to " +
                                        std::to_string(count - 1));
        }
    }
}

// The instance's weights and sites as the problem's lists set them.
void apply_lists(ProblemData& data) {
    Instance& instance = data.instance;
    const int n = instance.n;
    instance.weight.assign(std::size_t(n), 0.0);
    for (int i = 0; i < data.clients; ++i) instance.weight[i] = data.weights.empty() ? 1.0 : data.weights[i];
    instance.sites.assign(std::size_t(n), 0);
    const auto node = [&](int site) { return data.site_offset + site; };
    if (data.site_list.empty()) {
        for (int j = 0; j < data.sites; ++j) instance.sites[node(j)] = -1;
    } else {
        for (const int j : data.site_list) instance.sites[node(j)] = -1;
    }
    for (const int j : data.fixed_list) {
        if (instance.sites[node(j)] == 0) {
            throw std::invalid_argument("fixed site " + std::to_string(j) + " is not a candidate site");
        }
        instance.sites[node(j)] = 1;
    }
}

}  // namespace

Problem Problem::from_points(const double* coordinates, int n, int dimension, Distance distance) {
    if (n < 1 || n > int(most_points)) {
        throw std::invalid_argument("n must be from 1 to " + std::to_string(most_points));
    }
    if (dimension < 1 || (distance == Distance::haversine && dimension != 2)) {
        throw std::invalid_argument(distance == Distance::haversine
                                        ? "haversine needs two coordinates: latitude, longitude"
                                        : "a point needs at least one coordinate");
    }
    PointsTable table;
    table.n = n;
    table.dimension = dimension;
    table.geographic = distance == Distance::haversine;
    table.coords.assign(coordinates, coordinates + std::size_t(n) * std::size_t(dimension));
    for (std::size_t k = 0; k < table.coords.size(); ++k) {
        const double x = table.coords[k];
        if (!std::isfinite(x)) throw std::invalid_argument("coordinate " + std::to_string(k) + " is not finite");
        const char* out_of_range = table.geographic ? geographic_range_error(int(k % 2), x) : nullptr;
        if (out_of_range != nullptr) throw std::invalid_argument(out_of_range);
    }
    const DistanceKind kind = distance == Distance::floor       ? DistanceKind::floor
                              : distance == Distance::nint      ? DistanceKind::nint
                              : distance == Distance::haversine ? DistanceKind::haversine
                                                                : DistanceKind::euclidean;
    Problem problem;
    problem.data_ = std::make_shared<ProblemData>();
    problem.data_->instance = checked([&] { return instance_from_points(std::move(table), 1, kind); });
    problem.data_->clients = problem.data_->sites = n;
    return problem;
}

Problem Problem::from_matrix(const double* distances, int clients, int sites) {
    Problem problem;
    problem.data_ = std::make_shared<ProblemData>();
    ProblemData& data = *problem.data_;
    data.instance = checked([&] {
        return instance_from_matrix(
            clients, sites,
            [&](int i, float* row) {
                const double* given = distances + std::size_t(i) * std::size_t(sites);
                for (int j = 0; j < sites; ++j) {
                    if (!(given[j] >= 0 && given[j] < double(INF_DIST))) {
                        throw Fatal{"the distance from client " + std::to_string(i) + " to site " + std::to_string(j) +
                                    " must lie in [0, 9.99e10)"};
                    }
                    row[j] = float(given[j]);
                }
            },
            {}, {}, {}, 1);
    });
    data.instance.ids.clear();
    data.clients = clients;
    data.sites = sites;
    data.site_offset = data.instance.n == clients ? 0 : clients;
    return problem;
}

void Problem::set_weights(const std::vector<double>& weights) {
    if (int(weights.size()) != data_->clients) {
        throw std::invalid_argument(std::to_string(weights.size()) + " weights for " + std::to_string(data_->clients) +
                                    " clients");
    }
    for (const double w : weights) {
        if (!(w >= 0) || !std::isfinite(w)) throw std::invalid_argument("a weight must be a finite number >= 0");
    }
    data_->weights = weights;
}

void Problem::set_sites(const std::vector<int>& sites) {
    check_indices(sites, data_->sites, "site");
    data_->site_list = sites;
}

void Problem::set_fixed(const std::vector<int>& fixed) {
    check_indices(fixed, data_->sites, "fixed site");
    data_->fixed_list = fixed;
}

int Problem::clients() const { return data_->clients; }
int Problem::sites() const { return data_->sites; }

const char* status_name(Status status) {
    // The search's own names, but for a proof.
    if (status == Status::optimal) return "optimal";
    for (const auto& [ending, same] : statuses) {
        if (same == status) return ending_name(ending);
    }
    return ending_name(Ending::time_limit);
}

Result solve(const Problem& problem, int p, const Options& options) {
    const auto start = std::chrono::steady_clock::now();
    ProblemData& data = *problem.data_;
    apply_lists(data);
    data.instance.p = p;
    checked([&] {
        settle_instance(data.instance);
        return 0;
    });
    CertifyOptions certify_options;
    if (options.time_limit >= 0) certify_options.deadline = deadline_after(start, options.time_limit);
    certify_options.absolute_gap = options.absolute_gap;
    certify_options.relative_gap = options.relative_gap;
    check_indices(options.start, data.sites, "start site");
    for (const int site : options.start) certify_options.start.push_back(site + data.site_offset);
    if (options.stop != nullptr) certify_options.stop = [&] { return options.stop->load(); };
    if (options.progress) {
        // Once a second, from the first second on.
        certify_options.progress = [&, next = 1.0](double seconds, long nodes, double lower_bound,
                                                   double cost) mutable {
            if (seconds < next) return;
            next = seconds + 1;
            options.progress({seconds, nodes, lower_bound, cost});
        };
    }
    const CertifiedSolution solution = checked([&] { return certify(data.instance, certify_options); });

    Result result;
    for (const int m : solution.medians) result.medians.push_back(m - data.site_offset);
    for (int i = 0; i < data.clients; ++i) result.assignment.push_back(solution.median_of[i] - data.site_offset);
    result.cost = solution.cost;
    result.lower_bound = solution.lower_bound;
    result.gap = solution.cost - solution.lower_bound;
    result.status = status_of(solution.ending);
    result.nodes = solution.nodes;
    result.iterations = solution.iterations;
    result.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    return result;
}

}  // namespace pmedian
