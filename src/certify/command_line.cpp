#include "certify/command_line.hpp"

#include "data_file.hpp"

namespace pmedian {

const char* const certify_help =
    R"(Usage: pmedian-certify [--json] [--time-limit SECONDS] [--trace FILE] [DATA]

Solves the p-median instance in DATA (default: facloc.dat in the current
directory, in the format pmedian reads) with pmedian's Lagrangean/surrogate
loop, improving every solution the loop builds by swapping one median for
one non-median while that lowers the cost. The better solutions also sharpen
the loop's steps. The solution is proven optimal when its cost is within 1.0
of the lower bound. When every distance is a whole number, so is every cost,
and the lower bound may be rounded up to a whole number.

Output: pmedian's report (status, a line per non-median node, the total),
then "Limite inferior = " and the best lower bound.

  --json               one JSON object instead: n, p, medians, median_of (the
                       median serving each node, medians serving themselves),
                       cost, lower_bound, gap (cost - lower_bound), status
                       ("optimal" or "feasible"), iterations, seconds. Nodes
                       are numbered from 0, as in the report.
  --time-limit SECONDS end the loop once SECONDS have passed since the start,
                       with the best solution so far.
  --trace FILE         write a CSV line per iteration to FILE: iteration,
                       lower_bound, upper_bound (empty before the first
                       solution), step_factor, t. pmedian-plot --trace draws it.

Exit status: 0 after a run that produced a solution; 1 on bad data, with
pmedian's message on standard error; 2 on bad arguments.
)";

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
            const std::string text = value();
            if (!parse_number(text, args.time_limit) || args.time_limit < 0) {
                throw UsageError("--time-limit needs a number of seconds >= 0, not '" + text + "'");
            }
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
