// pmedian-certify: the relaxation's bound with a swap-improved solution,
// reported as pmedian reports, or as JSON.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <new>
#include <string>

#include "certify/certify.hpp"
#include "certify/command_line.hpp"
#include "certify/output.hpp"
#include "inputs/instance_file.hpp"
#include "inputs/solution_reader.hpp"
#include "problem.hpp"

namespace {

using namespace pmedian;

// A line on standard error about once a second, from the first second on.
class ProgressLines {
public:
    void operator()(double seconds, long nodes, double lower_bound, double cost) {
        if (seconds < next_) return;
        next_ = seconds + 1;
        const double gap = cost > 0 ? 100 * (cost - lower_bound) / cost : 0.0;
        std::fprintf(stderr, "pmedian-certify: %.0f s, %ld nodes, bound %s, best %s, gap %.4f %%\n", seconds, nodes,
                     shortest_text(lower_bound).c_str(), shortest_text(cost).c_str(), gap);
    }

private:
    double next_ = 1;
};

// A file the run writes, when named: one that cannot be opened, written or
// closed ends the run with a Fatal naming it.
class OutputFile {
public:
    OutputFile(const std::string& name, const char* what) : name_(name), what_(what) {
        if (name.empty()) return;
        file_ = std::fopen(name.c_str(), "w");
        if (file_ == nullptr) fail();
    }
    ~OutputFile() {
        if (file_ != nullptr) std::fclose(file_);
    }
    OutputFile(const OutputFile&) = delete;
    OutputFile& operator=(const OutputFile&) = delete;
    std::FILE* get() const { return file_; }
    void close() {
        if (file_ == nullptr) return;
        const bool written = !std::ferror(file_) && std::fclose(file_) == 0;
        file_ = nullptr;
        if (!written) fail();
    }

private:
    [[noreturn]] void fail() const { throw Fatal{"cannot write the " + std::string(what_) + " file '" + name_ + "'"}; }
    std::string name_;
    const char* what_;
    std::FILE* file_ = nullptr;
};

// Solves and prints; a Fatal is bad data.
void run(const Arguments& args, std::chrono::steady_clock::time_point start) {
    CertifyOptions options;
    if (args.time_limit >= 0) options.deadline = deadline_after(start, args.time_limit);
    options.absolute_gap = args.absolute_gap;
    options.relative_gap = args.relative_gap;
    if (!args.quiet) options.progress = ProgressLines();
    Instance instance = read_instance(args.source);
    if (!args.start.empty()) options.start = read_start(args.start, instance);
    // Opened only once the data is read: naming the data file as the trace
    // must not empty it before it is read.
    OutputFile trace(args.trace, "trace");
    options.trace = trace.get();
    const CertifiedSolution result = certify(instance, options);
    trace.close();
    const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (args.json) {
        print_json(instance, result, seconds);
    } else {
        print_report(instance, result);
    }
    OutputFile assignment(args.assignment, "assignment");
    if (assignment.get() != nullptr) write_assignment(assignment.get(), instance, result);
    assignment.close();
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
            std::fputs(certify_help, stdout);
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
