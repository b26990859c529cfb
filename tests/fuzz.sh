#!/usr/bin/env bash
# Builds the facloc.dat fuzzer with clang and runs it for SECONDS (default
# 60) on a copy of the seed corpus. Exits non-zero when it finds a crash;
# the crashing input is left in build-fuzz/ as crash-*. With SECONDS = 0 it
# only replays the seed corpus, the regression inputs among them.
#   tests/fuzz.sh [SECONDS]
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
seconds=${1:-60}
build=$here/build-fuzz
mkdir -p "$build/corpus"

cmake -S "$here" -B "$build" -DCMAKE_CXX_COMPILER=clang++ -DCMAKE_BUILD_TYPE=Debug -DBUILD_TESTING=OFF \
  -DPMEDIAN_FUZZER=ON "-DCMAKE_CXX_FLAGS=-O1 -g -fsanitize=fuzzer-no-link,address,undefined -fno-sanitize-recover=all" \
  >/dev/null
cmake --build "$build" -j2 --target facloc_fuzzer >/dev/null

export ASAN_OPTIONS=allocator_may_return_null=1
if [ "$seconds" = 0 ]; then
  exec "$build/facloc_fuzzer" -runs=0 "$here/tests/fuzz/corpus"
fi
cp -n "$here"/tests/fuzz/corpus/* "$build/corpus/" 2>/dev/null || true
cd "$build"
./facloc_fuzzer -max_total_time="$seconds" -max_len=4096 \
  -timeout=10 -print_final_stats=1 corpus
