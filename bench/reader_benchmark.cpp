// Reading facloc.dat text: the tokenizer and the distance grammar, in MB/s,
// on whole-number and on six-significant-digit distances.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <string>

#include "data_file.hpp"

namespace {

struct DistanceText {
    std::string text;
    int cells = 0;
};

// About 20 MB of distances as pmedian-convert writes them.
const DistanceText& distance_text(bool whole) {
    static DistanceText texts[2];
    DistanceText& made = texts[whole ? 1 : 0];
    std::string& text = made.text;
    if (text.empty()) {
        std::mt19937 rng(5);
        std::uniform_real_distribution<double> distance(0, 1400);
        char cell[32];
        while (text.size() < 20'000'000) {
            const double d = distance(rng);
            if (whole) {
                std::snprintf(cell, sizeof cell, "%.0f ", d);
            } else {
                std::snprintf(cell, sizeof cell, "%.6g ", d);
            }
            text += cell;
            ++made.cells;
        }
    }
    return made;
}

void read_distances(benchmark::State& state) {
    const DistanceText& made = distance_text(state.range(0) == 1);
    const std::string& text = made.text;
    for (auto _ : state) {
        std::FILE* file = fmemopen(const_cast<char*>(text.data()), text.size(), "r");
        pmedian::TokenReader in(file);
        float sum = 0;
        std::vector<float> row(std::size_t(made.cells));
        pmedian::read_distances(in, 0, 0, made.cells, row.data());
        for (int cell = 0; cell < made.cells; ++cell) sum += row[cell];
        benchmark::DoNotOptimize(sum);
        std::fclose(file);
    }
    state.SetBytesProcessed(std::int64_t(state.iterations()) * std::int64_t(text.size()));
}

}  // namespace

BENCHMARK(read_distances)->Name("read_distances")->Arg(1)->Arg(0)->Unit(benchmark::kMillisecond);

BENCHMARK_MAIN();
