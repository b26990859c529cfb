// Runs a built program in a fresh temporary directory.
#pragma once

#include <string>

namespace pmedian::testing {

struct RunResult {
    std::string output;  // standard output
    int status = -1;     // exit status
};

// A temporary directory removed with everything in it at destruction.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::string& path() const { return path_; }
    void write(const std::string& name, const std::string& content) const;

private:
    std::string path_;
};

// Runs command (a shell command line) in dir; standard error is discarded.
RunResult run_in(const TempDir& dir, const std::string& command);

// Writes facloc.dat with content (unless null) into a new directory and
// runs the program there.
RunResult run_with_data(const std::string& program, const std::string* content);
RunResult run_with_data(const std::string& program, const std::string& content);

// The largest resident size, in kilobytes, of one run of program (no
// arguments, output discarded) on facloc.dat holding content; -1 when it
// cannot be run.
long peak_kilobytes_of_run(const std::string& program, const std::string& content);
// The same in a directory that holds facloc.dat already: the file may be
// written by a string freed before the run, which the forked child would
// otherwise count.
long peak_kilobytes_of_run_in(const std::string& program, const TempDir& dir);

}  // namespace pmedian::testing
