#include "run_program.hpp"

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <stdexcept>

namespace pmedian::testing {

TempDir::TempDir() {
    std::string pattern = (std::filesystem::temp_directory_path() / "pmedian-test-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) throw std::runtime_error("cannot create a temporary directory");
    path_ = pattern;
}

TempDir::~TempDir() {
    std::error_code ignored;
    std::filesystem::remove_all(path_, ignored);
}

void TempDir::write(const std::string& name, const std::string& content) const {
    std::ofstream file(path_ + "/" + name, std::ios::binary);
    file << content;
}

RunResult run_in(const TempDir& dir, const std::string& command) {
    const std::string line = "cd '" + dir.path() + "' && " + command + " 2>/dev/null";
    std::FILE* pipe = popen(line.c_str(), "r");
    if (pipe == nullptr) throw std::runtime_error("cannot run " + command);
    RunResult result;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, pipe)) > 0) result.output.append(chunk, got);
    const int status = pclose(pipe);
    result.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

RunResult run_with_data(const std::string& program, const std::string* content) {
    TempDir dir;
    if (content != nullptr) dir.write("facloc.dat", *content);
    return run_in(dir, "'" + program + "'");
}

RunResult run_with_data(const std::string& program, const std::string& content) {
    return run_with_data(program, &content);
}

long peak_kilobytes_of_run(const std::string& program, const std::string& content) {
    const TempDir dir;
    dir.write("facloc.dat", content);
    return peak_kilobytes_of_run_in(program, dir);
}

long peak_kilobytes_of_run_in(const std::string& program, const TempDir& dir) {
    // Forked and waited for directly, so that the usage is this run's own.
    // (The child counts what it shares of this process until it execs.)
    const pid_t child = fork();
    if (child == 0) {
        if (chdir(dir.path().c_str()) != 0 || std::freopen("/dev/null", "w", stdout) == nullptr) _exit(127);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    if (child < 0 || wait4(child, &status, 0, &usage) != child) return -1;
    return usage.ru_maxrss;
}

}  // namespace pmedian::testing
