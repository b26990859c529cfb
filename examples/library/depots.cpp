// Where should three depots go? Twelve towns with their populations, an
// existing depot that stays open, and two towns that cannot host one.
#include <cstdio>
#include <pmedian/pmedian.hpp>
#include <vector>

int main() {
    const std::vector<double> towns = {// x, y in kilometres
                                       0, 0, 4, 1, 9, 0, 13, 2, 2, 7, 6, 8, 11, 7, 14, 9, 1, 13, 5, 14, 10, 13, 15, 15};
    const std::vector<double> population = {12, 3, 8, 5, 20, 2, 7, 4, 9, 11, 6, 3};

    pmedian::Problem problem = pmedian::Problem::from_points(towns.data(), 12, 2);
    problem.set_weights(population);
    problem.set_sites({0, 1, 2, 3, 4, 5, 6, 7, 9, 10});  // towns 8 and 11 cannot host a depot
    problem.set_fixed({6});                              // the depot already in town 6

    pmedian::Options options;
    options.time_limit = 10;
    const pmedian::Result result = pmedian::solve(problem, 3, options);

    std::printf("depots in towns");
    for (const int m : result.medians) std::printf(" %d", m);
    std::printf("\nweighted distance %.3f, lower bound %.3f: %s\n", result.cost, result.lower_bound,
                pmedian::status_name(result.status));
    for (int town = 0; town < problem.clients(); ++town) {
        std::printf("town %2d -> depot %d\n", town, result.assignment[town]);
    }
    return result.status == pmedian::Status::optimal ? 0 : 1;
}
