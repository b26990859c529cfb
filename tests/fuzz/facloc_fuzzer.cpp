// libFuzzer target: the input is the content of facloc.dat. It is read and
// validated as pmedian does and, for n up to 12, solved.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "data_file.hpp"
#include "problem.hpp"
#include "subgradient.hpp"

namespace {

// Larger headers are only validated: their matrices would trip the
// fuzzer's memory limit without exercising anything new.
constexpr int largest_loaded = 2000;
constexpr int largest_solved = 12;

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::FILE* in_file = std::tmpfile();
    std::FILE* sink = std::fopen("/dev/null", "w");
    if (in_file == nullptr || sink == nullptr) __builtin_trap();
    std::fwrite(data, 1, size, in_file);
    std::rewind(in_file);
    try {
        pmedian::TokenReader in(in_file);
        pmedian::State s;
        s.out = sink;
        pmedian::read_header(in, "facloc.dat", s.n, s.p);
        if (s.n <= largest_loaded) {
            pmedian::load_problem(s, in);
            if (s.n <= largest_solved) pmedian::solve(s);
        }
    } catch (const pmedian::Fatal&) {
        // Bad data is reported, which is what it should be.
    }
    std::fclose(sink);
    std::fclose(in_file);
    return 0;
}
