#include "certify/command_line.hpp"

#include "data_file.hpp"

namespace pmedian {

const char* const certify_help =
    R"(Usage: pmedian-certify [--json] [--time-limit SECONDS] [--abs-gap G] [--rel-gap R]
                       [--trace FILE] [--quiet] [DATA]

Finds the best solution of the p-median instance in DATA (default:
facloc.dat in the current directory, in the format pmedian reads) and proves
it optimal, or reports the best solution and the best proven lower bound
when the time runs out.

It runs pmedian's Lagrangean/surrogate loop, improving every solution the
loop builds by swapping one median for one non-median while that lowers the
cost; then, unless that already proves its best solution, an exact search:
the LP bound of the problem by cutting planes at every node, sites fixed
open or closed by their reduced costs, and branching on a site. Every lower
bound reported is verified: the Lagrangean relaxation's value at the
search's multipliers, evaluated in double less a bound on its rounding.

"optimal" means proven: when every distance is a whole number every cost is
one, and a solution is optimal once the bound rounded up reaches its cost;
otherwise once cost - bound <= max(G, R x cost).

Output: pmedian's report (status, a line per non-median node, the total),
then "Limite inferior = " and the lower bound, rounded down to hundredths.

  --json               one JSON object instead: n, p, medians, median_of (the
                       median serving each node, medians serving themselves),
                       cost, lower_bound, gap (cost - lower_bound),
                       relative_gap (gap / cost), status ("optimal" or
                       "feasible"), ending ("proven", "time limit", or
                       "search exhausted" when a gap of 0 on distances that
                       are not whole numbers leaves only the rounding),
                       iterations (of the loop), nodes (of the search),
                       seconds. Nodes are numbered from 0, as in the report.
  --time-limit SECONDS stop once SECONDS have passed since the start, with
                       the best solution and bound so far.
  --abs-gap G          the absolute gap that proves a solution when the
                       distances are not all whole numbers (default 0).
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

Exit status: 0 after a run that produced a solution; 1 on bad data (with
pmedian's message) or when the trace cannot be written, with one line on
standard error; 2 on bad arguments.
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
        } else if (arg.size() > 1 && arg[0] == '-') {
            throw UsageError("unknown option '" + arg + "' (see --help)");
        } else if (data_given) {
            throw UsageError("only one data file, please: '" + args.data + "' and '" + arg + "'");
        } else {
            args.data = arg;
            data_given = true;
        }
    }
    return args;
}

}  // namespace pmedian
