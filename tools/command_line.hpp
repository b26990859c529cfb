// The common frame of the companion programs: --help, one-line errors and
// their exit status.
#pragma once

#include <fstream>
#include <functional>
#include <stdexcept>
#include <string>

namespace pmedian::tools {

// Bad data or arguments: the message is printed as one line, exit status 1.
struct InputError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// Prints help and returns 0 when an argument is --help or -h; otherwise
// calls run, and on InputError, a reader's Fatal or exhausted memory prints "program: message"
// to standard error and returns 1. Returns 0 when run succeeds.
int run_command_line(int argc, char** argv, const char* program, const char* help, const std::function<void()>& run);

// The named file opened for reading; InputError when it cannot be.
std::ifstream open_input(const std::string& name);

}  // namespace pmedian::tools
