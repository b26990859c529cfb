// pmedian-certify's command line: its help and its arguments.
#pragma once

#include <stdexcept>
#include <string>

#include "inputs/instance_file.hpp"

namespace pmedian {

extern const char* const certify_help;

// Bad arguments: one line on standard error, exit status 2.
struct UsageError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

struct Arguments {
    bool json = false;
    double time_limit = -1;  // none when negative
    double absolute_gap = 0;
    double relative_gap = 1e-6;
    bool quiet = false;
    std::string trace;
    std::string assignment;  // the CSV of each client's site, when set
    std::string start;       // a solution to start from, when set
    InstanceSource source;
};

// The arguments other than --help; UsageError when they are not understood.
Arguments parse_arguments(int argc, char** argv);

}  // namespace pmedian
