// libFuzzer target: the input is a file for one of the table readers,
// chosen by its first byte (points, TSPLIB, matrix, OR-Library graph). What
// reads, and is small, is solved by the certifying search with a p the
// input's length picks.
#include <cstddef>
#include <cstdint>
#include <cstdio>

#include "certify/certify.hpp"
#include "inputs/distances.hpp"
#include "inputs/graph_and_matrix.hpp"
#include "inputs/points_table.hpp"
#include "problem.hpp"

namespace {

constexpr int largest_solved = 12;

pmedian::Instance read(std::FILE* file, std::uint8_t reader, int p) {
    switch (reader % 4) {
        case 0:
            return pmedian::instance_from_points(pmedian::read_points_table(file, "t"), p,
                                                 pmedian::DistanceKind::euclidean);
        case 1:
            return pmedian::instance_from_points(pmedian::read_tsplib_table(file, "t"), p, pmedian::DistanceKind::floor);
        case 2:
            return pmedian::read_matrix_instance(file, "t", p);
        default:
            return pmedian::read_orlib_instance(file, "t", p);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size == 0) return 0;
    std::FILE* file = std::tmpfile();
    if (file == nullptr) __builtin_trap();
    std::fwrite(data + 1, 1, size - 1, file);
    std::rewind(file);
    try {
        pmedian::Instance instance = read(file, data[0], 1 + int(size % 3));
        if (instance.n <= largest_solved) {
            pmedian::settle_instance(instance);
            pmedian::CertifyOptions options;
            options.deadline = pmedian::deadline_after(std::chrono::steady_clock::now(), 1.0);
            const pmedian::CertifiedSolution r = pmedian::certify(instance, options);
            // A proof never claims less than its bound.
            if (r.lower_bound > r.cost) __builtin_trap();
        }
    } catch (const pmedian::Fatal&) {
        // Bad data is reported, which is what it should be.
    }
    std::fclose(file);
    return 0;
}
