#!/usr/bin/env bash
# Builds the fuzzers of facloc.dat and of the table readers with clang and
# runs each for SECONDS (default 60) on a copy of its seed corpus. Exits
# non-zero when one finds a crash; the crashing input is left in
# build-fuzz/ as crash-*. With SECONDS = 0 it only replays the seed
# corpora, the regression inputs among them.
#   tests/fuzz.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$here/build-fuzz
mkdir -p "$build/corpus" "$build/tables_corpus"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF \
  -DPMEDIAN_FUZZER=ON "-DCMAKE_CXX_FLAGS=-O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  >/dev/null
cmake --build "$build" -j2 --target facloc_fuzzer tables_fuzzer >/dev/null

export ASAN_OPTIONS=allocator_may_return_null=1
if [ "$seconds" = 0 ]; then
  "$build/facloc_fuzzer" -runs=0 "$here/tests/fuzz/corpus"
  exec "$build/tables_fuzzer" -runs=0 "$here/tests/fuzz/tables_corpus"
fi
cp -n "$here"/tests/fuzz/corpus/* "$build/corpus/" 2>/dev/null || true
cp -n "$here"/tests/fuzz/tables_corpus/* "$build/tables_corpus/" 2>/dev/null || true
cd "$build"
./facloc_fuzzer -max_total_time="$seconds" -max_len=4096 \
  -timeout=10 -print_final_stats=1 corpus
./tables_fuzzer -max_total_time="$seconds" -max_len=4096 \
  -timeout=10 -print_final_stats=1 tables_corpus
