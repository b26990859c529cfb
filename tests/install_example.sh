#!/usr/bin/env bash
# Installs the build in BUILD_DIR into a fresh prefix, builds the example in
# EXAMPLE_DIR against it with find_package(pmedian), and runs it.
#   tests/install_example.sh BUILD_DIR EXAMPLE_DIR
set -euo pipefail
build=$1
example=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cmake --install "$build" --prefix "$work/prefix" >/dev/null
cmake -S "$example" -B "$work/build" -DCMAKE_PREFIX_PATH="$work/prefix" >/dev/null
cmake --build "$work/build" >/dev/null
output=$("$work/build/depots")
echo "$output"
grep -q ": optimal$" <<<"$output"
