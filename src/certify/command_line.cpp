#include "certify/command_line.hpp"

#include "data_file.hpp"
#include "inputs/distances.hpp"

namespace pmedian {

const char* const certify_help =
    R"(Usage: pmedian-certify [OPTIONS] [DATA]
       pmedian-certify [OPTIONS] --points FILE -p N [--distance KIND]
       pmedian-certify [OPTIONS] --tsplib FILE -p N [--distance KIND]
       pmedian-certify [OPTIONS] --matrix FILE -p N [--weights FILE]
       pmedian-certify [OPTIONS] --orlib FILE [-p N]

Finds the best solution of a p-median instance and proves it optimal, or
reports the best solution and the best proven lower bound when the time
runs out. Clients may carry weights, the candidate sites may be a subset of
the nodes or apart from the clients, and sites may be fixed open (they count
among the p); the cost is the sum over the clients of weight x distance to
the nearest open site.

The instance:
  DATA                 a file in pmedian's format (default: facloc.dat in
                       the current directory).
  --points FILE        a table of points, a line each: comma, semicolon or
                       tab separated (or white space), with an optional
                       header naming the columns: x, y (z, x1, x2, ... for
                       more coordinates) or lat, lon (degrees); weight (at
                       least 0, default 1); role (client, site or both,
                       default both); fixed (1: open in every solution);
                       id (echoed in the outputs). Other columns are
                       ignored. Without a header, each line is x y [z ...].
  --tsplib FILE        a TSPLIB file of type EUC_2D.
  --matrix FILE        a CSV matrix of distances, a row a client: square
                       (symmetric, zero diagonal: every node a client and a
                       site) or clients x sites; an optional header row of
                       site names, an optional first column of client names,
                       an optional column named weight.
  --weights FILE       the clients' weights for --matrix, one a line.
  --orlib FILE         an OR-Library p-median graph (shortest paths).
  -p N                 the number of sites to open (--orlib: instead of the
                       file's).
  --distance KIND      how points are apart: euclidean (the default for x,
                       y), floor or nint (the Euclidean distance rounded
                       down or to the nearest whole number; floor is the
                       default for --tsplib, the convention of the published
                       p-median optima), haversine (the default for lat,
                       lon: great-circle kilometres on a sphere of radius
                       6371.0088 km).

The search: for the plain problem it runs pmedian's Lagrangean/surrogate
loop, improving every solution the loop builds by swapping one median for
one non-median while that lowers the cost; otherwise it starts from a greedy
solution improved by such exchanges. Then, unless that already proves its
best solution, an exact search: the LP bound of the problem by cutting
planes at every node, sites fixed open or closed by their reduced costs,
and branching on a site. Every lower bound reported is verified: the
Lagrangean relaxation's value at the search's multipliers, evaluated in
double less a bound on its rounding.

"optimal" means proven: when every distance and weight is a whole number
every cost is one, and a solution is optimal once the bound rounded up
reaches its cost; otherwise once cost - bound <= max(G, R x cost).

Output: pmedian's report (status, a line per client that is no median with
its median and cost, the total), then "Limite inferior = " and the lower
bound, rounded down to hundredths.

  --json               one JSON object instead: n, p, medians,
                       median_ids (when the input names its nodes),
                       median_of (the median serving each node, medians
                       serving themselves), load (per median, the weight of
                       the clients it serves), cost, lower_bound, gap
                       (cost - lower_bound), relative_gap (gap / cost),
                       status ("optimal" or "feasible"), ending ("proven",
                       "time limit", or "search exhausted" when a gap of 0
                       on distances that are not whole numbers leaves only
                       the rounding), iterations (of the loop), nodes (of
                       the search), seconds. Nodes are numbered from 0, in
                       the order of the input (for a clients x sites matrix:
                       the clients, then the sites).
  --assignment FILE    write a CSV line per client to FILE: client, site,
                       distance, weight (ids where the input gives them).
  --start FILE         start from the solution in FILE: pmedian-certify's
                       JSON or a saved report of pmedian or pmedian-certify
                       for this instance; its medians must be p candidate
                       sites, the fixed ones among them. The search improves
                       on it and proves it or a better one optimal.
  --time-limit SECONDS stop once SECONDS have passed since the start, with
                       the best solution and bound so far.
  --abs-gap G          the absolute gap that proves a solution when the
                       costs are not all whole numbers (default 0).
  --rel-gap R          the gap relative to the cost that does so (default
                       1e-6).
  --trace FILE         write a CSV line per iteration of the loop to FILE:
                       iteration, lower_bound, upper_bound (empty before the
                       first solution), step_factor, t. pmedian-plot --trace
                       draws it.
  --quiet              no progress lines; without it a run longer than a
                       second prints one a second on standard error: the
                       time, the search's nodes, the bound, the best cost and
                       the gap.

Exit status: 0 after a run that produced a solution; 1 on bad data (with a
message naming the file, and the line and column where it can) or when an
output file cannot be written, with one line on standard error; 2 on bad
arguments.
)";

namespace {

// A number from the command line, at least 0.
double non_negative(const std::string& option, const std::string& text, const char* what) {
    double value = 0;
    if (!parse_number(text, value) || value < 0) {
        throw UsageError(option + " needs " + what + " >= 0, not '" + text + "'");
    }
    return value;
}

}  // namespace

Arguments parse_arguments(int argc, char** argv) {
    Arguments args;
    bool data_given = false;
    const auto set_input = [&](InstanceFormat kind, const std::string& option, const std::string& file) {
        if (data_given) {
            throw UsageError("only one " + std::string(option.empty() ? "data file" : "instance") + ", please: '" +
                             args.source.file + "' and '" + file + "'");
        }
        args.source.format = kind;
        args.source.file = file;
        data_given = true;
    };
    for (int k = 1; k < argc; ++k) {
        const std::string arg = argv[k];
        auto value = [&]() -> std::string {
            if (k + 1 >= argc) throw UsageError(arg + " needs a value");
            return argv[++k];
        };
        if (arg == "--json") {
            args.json = true;
        } else if (arg == "--time-limit") {
            args.time_limit = non_negative(arg, value(), "a number of seconds");
        } else if (arg == "--abs-gap") {
            args.absolute_gap = non_negative(arg, value(), "a number");
        } else if (arg == "--rel-gap") {
            args.relative_gap = non_negative(arg, value(), "a number");
        } else if (arg == "--quiet") {
            args.quiet = true;
        } else if (arg == "--trace") {
            args.trace = value();
        } else if (arg == "--assignment") {
            args.assignment = value();
        } else if (arg == "--start") {
            args.start = value();
        } else if (arg == "--points") {
            set_input(InstanceFormat::points, arg, value());
        } else if (arg == "--tsplib") {
            set_input(InstanceFormat::tsplib, arg, value());
        } else if (arg == "--matrix") {
            set_input(InstanceFormat::matrix, arg, value());
        } else if (arg == "--orlib") {
            set_input(InstanceFormat::orlib, arg, value());
        } else if (arg == "--weights") {
            args.source.weights = value();
        } else if (arg == "--distance") {
            args.source.distance = value();
            DistanceKind kind = DistanceKind::euclidean;
            if (!parse_distance_kind(args.source.distance, kind)) {
                throw UsageError("--distance is euclidean, floor, nint or haversine, not '" + args.source.distance +
                                 "'");
            }
        } else if (arg == "-p" || arg == "--p") {
            const std::string text = value();
            const double p = non_negative(arg, text, "a whole number");
            if (p < 1 || p != double(int(p)) || p > 1e9)
                throw UsageError(arg + " needs a whole number >= 1, not '" + text + "'");
            args.source.p = int(p);
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option '" + arg + "' (see --help)");
        } else {
            set_input(InstanceFormat::facloc, "", arg);
        }
    }
    const bool needs_p = args.source.format == InstanceFormat::points || args.source.format == InstanceFormat::tsplib ||
                         args.source.format == InstanceFormat::matrix;
    if (needs_p && args.source.p == 0) throw UsageError("-p N is needed with --points, --tsplib and --matrix");
    if (args.source.format == InstanceFormat::facloc && args.source.p != 0)
        throw UsageError("-p is for --points, --tsplib, --matrix and --orlib; DATA gives its own p");
    if (!args.source.distance.empty() && args.source.format != InstanceFormat::points &&
        args.source.format != InstanceFormat::tsplib) {
        throw UsageError("--distance is for --points and --tsplib");
    }
    if (!args.source.weights.empty() && args.source.format != InstanceFormat::matrix)
        throw UsageError("--weights is for --matrix");
    return args;
}

}  // namespace pmedian
