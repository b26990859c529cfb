#!/usr/bin/env bash
# Runs pmedian-reference, whose operations follow the rules line by line, and
# pmedian side by side on generated instances (and the OR-Library ones where
# present), checks that their outputs are identical and prints a Markdown
# table of times, ratios and peak memory. Both come from the working tree,
# built once in a temporary directory.
#   bench/compare.sh [--large] [ORLIB_DIR]
# --large adds n = 10000, p = 100 (a 200 MB file, about two minutes for the
# straightforward program).
set -euo pipefail
export LC_ALL=C  # a point in the times, for awk
here=$(cd "$(dirname "$0")/.." && pwd)
large=0
if [ "${1:-}" = "--large" ]; then large=1; shift; fi
orlib=${1:-$here/../shared/orlib}

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

cmake -S "$here" -B "$work/build" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF >/dev/null
cmake --build "$work/build" -j2 --target pmedian pmedian-reference pmedian-convert >/dev/null
straightforward=$work/build/pmedian-reference
fast_exe=$work/build/pmedian
convert=$work/build/pmedian-convert

# run EXE DIR TAG: wall seconds and peak kilobytes of one run, output kept
# in DIR
run() {
  local start=$EPOCHREALTIME end
  (cd "$2" && /usr/bin/time -f "%M" -o "$2/time-$3" "$1" >"$2/out-$3") || true
  end=$EPOCHREALTIME
  echo "$(awk "BEGIN { print $end - $start }") $(tail -n 1 "$2/time-$3")"
}

echo "| instance | straightforward s | fast s | ratio | straightforward MB | fast MB | output |"
echo "|---|---:|---:|---:|---:|---:|---|"
# best "SECONDS KB" "SECONDS KB": the shorter time and the larger peak
best() {
  awk -v a="$1" -v b="$2" 'BEGIN { split(a, x); split(b, y)
    print (y[1] < x[1] ? y[1] : x[1]), (y[2] > x[2] ? y[2] : x[2]) }'
}

# compare NAME DIR ROUNDS: the shortest time and the largest peak of ROUNDS
# alternating runs of each build
compare() {
  local base="1e9 0" fast="1e9 0" base_s base_kb fast_s fast_kb
  for _ in $(seq "$3"); do
    base=$(best "$base" "$(run "$straightforward" "$2" base)")
    fast=$(best "$fast" "$(run "$fast_exe" "$2" fast)")
  done
  read -r base_s base_kb <<<"$base"
  read -r fast_s fast_kb <<<"$fast"
  same=identical
  cmp -s "$2/out-base" "$2/out-fast" || same=DIFFERENT
  printf '| %s | %.2f | %.2f | %.1fx | %d | %d | %s |\n' "$1" "$base_s" "$fast_s" \
    "$(awk "BEGIN { print $base_s / ($fast_s > 0 ? $fast_s : 0.01) }")" $((base_kb / 1024)) $((fast_kb / 1024)) "$same"
  [ "$same" = identical ] || status=1
}
status=0

instance() {  # instance NAME ROUNDS CONVERT-ARGS...
  local name=$1 rounds=$2; shift 2
  mkdir -p "$work/$name"
  "$convert" "$@" -o "$work/$name/facloc.dat"
  compare "$name" "$work/$name" "$rounds"
}
# The best of three runs where a run takes seconds, which the machine's load
# easily stretches; one run of the two-minute straightforward build.
instance "random 3000 30 rounded" 3 random 3000 30 1 --round
instance "random 3000 30 real" 3 random 3000 30 1
[ "$large" = 1 ] && instance "random 10000 100 rounded" 1 random 10000 100 1 --round

if [ -f "$orlib/pmed1.txt" ]; then
  dirs=()
  for k in $(seq 1 40); do
    d=$work/orlib/pmed$k
    mkdir -p "$d"
    "$convert" orlib "$orlib/pmed$k.txt" -o "$d/facloc.dat"
    dirs+=("$d")
  done
  # The shortest of three alternating runs of each build, timed without a
  # shell in between: a run of a few milliseconds is easily held up, and a
  # shell's fork takes about one.
  read -r base_sum fast_sum < <(python3 "$here/bench/timed_runs.py" 3 "$straightforward" \
    "$fast_exe" "${dirs[@]}" | awk '{ a += $1; b += $2 } END { print a, b }')
  differ=0
  for d in "${dirs[@]}"; do cmp -s "$d/out-a" "$d/out-b" || differ=$((differ + 1)); done
  printf '| OR-Library pmed1-40 (sum of the best of 3 each) | %.2f | %.2f | %.1fx | | | %s |\n' "$base_sum" "$fast_sum" \
    "$(awk "BEGIN { print $base_sum / ($fast_sum > 0 ? $fast_sum : 0.01) }")" \
    "$([ "$differ" = 0 ] && echo identical || echo "$differ DIFFERENT")"
  [ "$differ" = 0 ] || status=1
fi
exit "$status"
