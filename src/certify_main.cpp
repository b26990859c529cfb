// pmedian-certify: the relaxation's bound with a swap-improved solution,
// reported as pmedian reports, or as JSON.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <stdexcept>
#include <string>

#include "certify.hpp"
#include "data_file.hpp"
#include "instance_sources.hpp"
#include "problem.hpp"
#include "report.hpp"

namespace {

using namespace pmedian;

constexpr const char* help_text =
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

struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Arguments {
    bool json = false;
    double time_limit = -1;  // none when negative
    std::string trace;
    std::string data = "facloc.dat";
};

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
            if (!tools::parse_number(text, args.time_limit) || args.time_limit < 0) {
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

std::string json_list(const std::vector<int>& values) {
    std::string text = "[";
    for (std::size_t k = 0; k < values.size(); ++k) {
        if (k > 0) text += ',';
        text += std::to_string(values[k]);
    }
    return text + "]";
}

void print_json(const State& s, const CertifiedSolution& r, double seconds) {
    std::printf(
        "{\"n\":%d,\"p\":%d,\"medians\":%s,\"median_of\":%s,\"cost\":%s,"
        "\"lower_bound\":%s,\"gap\":%s,"
        "\"status\":\"%s\",\"iterations\":%d,\"seconds\":%.3f}\n",
        s.n, s.p, json_list(r.medians).c_str(), json_list(r.median_of).c_str(), shortest_text(r.cost).c_str(),
        shortest_text(r.lower_bound).c_str(), shortest_text(r.cost - double(r.lower_bound)).c_str(),
        r.optimal ? "optimal" : "feasible", r.iterations, seconds);
}

// pmedian's report of the solution, then the lower bound.
void print_report(State& s, const CertifiedSolution& r) {
    print_banner(stdout);
    print_size(stdout, s.n, s.p);
    print_status(stdout, r.optimal);
    medians_first(r.medians, s.best);
    double total = 0;
    print_node_lines(s, [&](float d) { total += d; });
    print_total(stdout, total);
    std::printf("\nLimite inferior = %s\n", format_two_decimals(r.lower_bound, 11).c_str());
}

// Solves and prints; a Fatal is bad data.
void run(const Arguments& args, std::chrono::steady_clock::time_point start) {
    CertifyOptions options;
    if (args.time_limit >= 0) {
        options.deadline = start + std::chrono::duration_cast<std::chrono::steady_clock::duration>(
                                       std::chrono::duration<double>(std::min(args.time_limit, 1e9)));
    }
    std::FILE* file = open_data_file(args.data.c_str());
    if (file == nullptr) throw Fatal{"Arquivo de dados '" + args.data + "' nao pode ser aberto"};
    struct Closer {
        std::FILE* file;
        ~Closer() {
            if (file != nullptr) std::fclose(file);
        }
    };
    Closer data{file};
    Closer trace{nullptr};
    if (!args.trace.empty()) {
        trace.file = std::fopen(args.trace.c_str(), "w");
        if (trace.file == nullptr) throw UsageError("cannot write the trace file '" + args.trace + "'");
        options.trace = trace.file;
    }
    TokenReader in(file);
    State s;
    read_header(in, args.data, s.n, s.p);
    load_problem(s, in);
    const CertifiedSolution result = certify(s, options);
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (args.json) {
        print_json(s, result, seconds);
    } else {
        print_report(s, result);
    }
    release_problem(s);
}

// A message of the reader without the blank lines around it.
std::string one_line(const std::string& message) {
    const auto first = message.find_first_not_of('\n');
    const auto last = message.find_last_not_of('\n');
    return first == std::string::npos ? "" : message.substr(first, last - first + 1);
}

}  // namespace

int main(int argc, char** argv) {
    const auto start = std::chrono::steady_clock::now();
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
            std::fputs(help_text, stdout);
            return 0;
        }
    }
    try {
        run(parse_arguments(argc, argv), start);
    } catch (const UsageError& error) {
        std::fprintf(stderr, "pmedian-certify: %s\n", error.what());
        return 2;
    } catch (const Fatal& fatal) {
        std::fprintf(stderr, "pmedian-certify: %s\n", one_line(fatal.message).c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "pmedian-certify: not enough memory for this instance\n");
        return 1;
    }
    return std::fflush(stdout) == 0 ? 0 : 1;
}
