#include "command_line.hpp"

#include <cstdio>
#include <cstring>
#include <new>

#include "problem.hpp"

namespace pmedian::tools {

int run_command_line(int argc, char** argv, const char* program, const char* help, const std::function<void()>& run) {
    for (int k = 1; k < argc; ++k) {
        if (std::strcmp(argv[k], "--help") == 0 || std::strcmp(argv[k], "-h") == 0) {
            std::fputs(help, stdout);
            return 0;
        }
    }
    try {
        run();
    } catch (const InputError& error) {
        std::fprintf(stderr, "%s: %s\n", program, error.what());
        return 1;
    } catch (const Fatal& fatal) {
        std::fprintf(stderr, "%s: %s\n", program, fatal.message.c_str());
        return 1;
    } catch (const std::bad_alloc&) {
        std::fprintf(stderr, "%s: not enough memory for this instance\n", program);
        return 1;
    }
    return 0;
}

std::ifstream open_input(const std::string& name) {
    std::ifstream in(name);
    if (!in) throw InputError("cannot open '" + name + "'");
    return in;
}

}  // namespace pmedian::tools
