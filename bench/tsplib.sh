#!/usr/bin/env bash
# Solves the TSPLIB p-median instances of optima.csv with pmedian-certify
# and prints a Markdown table: cost, verified bound, gap, proof, search
# nodes and seconds, beside the published optimum and the time the best
# published exact method took.
#   bench/tsplib.sh [DIR [CERTIFY-ARGS...]]   DIR defaults to ../shared/tsplib
# Distances are floor(Euclidean), the convention of the published optima.
# Uses the programs of build/, or of $BUILD_DIR, building them if missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$here/../shared/tsplib}
shift || true
build=${BUILD_DIR:-$here/build}

if [ ! -f "$dir/optima.csv" ]; then
  echo "tsplib.sh: no optima.csv in '$dir'" >&2
  exit 1
fi
if [ ! -x "$build/pmedian-convert" ] || [ ! -x "$build/pmedian-certify" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target pmedian-convert pmedian-certify >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

echo "| instance | p | published optimum | published s | cost | bound | gap % | proven | nodes | seconds |"
echo "|---|---:|---:|---:|---:|---:|---:|---|---:|---:|"
fault=0
while IFS=, read -r name n p optimum status published; do
  [ "$name" = instance ] && continue
  [ -f "$dir/$name.tsp" ] || continue
  "$build/pmedian-convert" tsplib "$dir/$name.tsp" "$p" -o "$work/facloc.dat"
  (cd "$work" && "$build/pmedian-certify" --json --quiet "$@" >certified.json)
  read -r cost bound proven nodes seconds gap < <(python3 -c 'import json, sys
r = json.load(open(sys.argv[1]))
print(r["cost"], r["lower_bound"], "yes" if r["status"] == "optimal" else "no", r["nodes"], r["seconds"],
      "%.4f" % (100 * r["relative_gap"]))' "$work/certified.json")
  # A bound above a proven optimum means a fault.
  if [ "$status" = optimal ] && awk -v b="$bound" -v o="$optimum" 'BEGIN { exit !(b > o) }'; then
    echo "tsplib.sh: $name p=$p bound $bound is above the optimum $optimum" >&2
    fault=1
  fi
  echo "| $name | $p | $optimum | $published | $cost | $bound | $gap | $proven | $nodes | $seconds |"
done < "$dir/optima.csv"
exit "$fault"
