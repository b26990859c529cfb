#include "state_builder.hpp"

#include <gtest/gtest.h>

namespace pmedian::testing {

State make_state(int n, int p, const std::vector<float>& upper_triangle) {
    State s;
    s.n = n;
    s.p = p;
    allocate_problem(s);
    std::size_t at = 0;
    for (int i = 0; i < n; ++i) {
        for (int j = i + 1; j < n; ++j) {
            s.dist[i][j] = upper_triangle.at(at);
            s.dist[j][i] = upper_triangle.at(at);
            ++at;
        }
    }
    EXPECT_EQ(at, upper_triangle.size()) << "triangle has the wrong number of values";
    return s;
}

State four_node_state(int p) { return make_state(4, p, {1, 1, 1, 2, 2, 2}); }

std::string read_stream(std::FILE* stream) {
    std::rewind(stream);
    std::string text;
    char chunk[4096];
    std::size_t got = 0;
    while ((got = std::fread(chunk, 1, sizeof chunk, stream)) > 0) text.append(chunk, got);
    return text;
}

}  // namespace pmedian::testing
