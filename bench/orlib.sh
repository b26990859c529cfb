#!/usr/bin/env bash
# Solves every OR-Library p-median instance with pmedian and with
# pmedian-certify and prints a Markdown table of both against the known
# optimum: pmedian's total, gap and status; certify's cost, verified bound,
# gap, proof, search nodes and seconds.
#   bench/orlib.sh [DIR [CERTIFY-ARGS...]]   DIR defaults to ../shared/orlib
# Uses the programs of build/, or of $BUILD_DIR, building them if missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$here/../shared/orlib}
shift || true
build=${BUILD_DIR:-$here/build}

if [ ! -f "$dir/pmedopt.txt" ]; then
  echo "orlib.sh: no pmedopt.txt in '$dir'" >&2
  exit 1
fi
if [ ! -x "$build/pmedian" ] || [ ! -x "$build/pmedian-convert" ] || [ ! -x "$build/pmedian-certify" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target pmedian pmedian-convert pmedian-certify >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }

echo "| instance | n | p | optimum | pmedian total | gap % | status | seconds | certify cost | bound | gap % | proven | nodes | seconds |"
echo "|---|---:|---:|---:|---:|---:|---|---:|---:|---:|---:|---|---:|---:|"
rows=0 proven=0 gap_sum=0 time_sum=0 fault=0
c_proven=0 c_gap_sum=0 c_time_sum=0 c_at_optimum=0 c_worse=0
for k in $(seq 1 40); do
  name=pmed$k
  [ -f "$dir/$name.txt" ] || continue
  optimum=$(awk -v name="$name" '$1 == name { print $2 }' "$dir/pmedopt.txt")
  "$build/pmedian-convert" orlib "$dir/$name.txt" -o "$work/facloc.dat"
  start=$(now)
  (cd "$work" && "$build/pmedian" >report.txt) || true
  seconds=$(calc "$(now) - $start")
  start=$(now)
  (cd "$work" && "$build/pmedian-certify" --json --quiet "$@" >certified.json)
  c_seconds=$(calc "$(now) - $start")
  read -r n p < "$work/facloc.dat"
  total=$(sed -n 's/^Custo da solucao = *//p' "$work/report.txt")
  status=$(sed -n 's/^Status: //p' "$work/report.txt")
  read -r c_total c_bound c_status c_nodes < <(python3 -c 'import json, sys
r = json.load(open(sys.argv[1])); print(r["cost"], r["lower_bound"], r["status"], r["nodes"])' "$work/certified.json")
  gap=$(calc "($total - $optimum) * 100 / $optimum")
  c_gap=$(calc "($c_total - $c_bound) * 100 / $c_total")
  [ "$status" = "Solucao otima" ] && proven=$((proven + 1))
  c_proof=no
  [ "$c_status" = "optimal" ] && { c_proven=$((c_proven + 1)); c_proof=yes; }
  if [ "$(calc "($c_bound > $optimum)")" = 1 ]; then
    echo "orlib.sh: $name bound $c_bound is above the optimum $optimum" >&2
    fault=1
  fi
  [ "$(calc "($c_total <= $optimum)")" = 1 ] && c_at_optimum=$((c_at_optimum + 1))
  [ "$(calc "($c_total > $total)")" = 1 ] && c_worse=$((c_worse + 1))
  if [ "$(calc "($total < $optimum || $c_total < $optimum)")" = 1 ]; then
    echo "orlib.sh: $name total $total or $c_total is below the optimum $optimum: the conversion is wrong" >&2
    fault=1
  fi
  printf '| %s | %d | %d | %d | %.2f | %.3f | %s | %.3f | %s | %s | %.4f | %s | %d | %.3f |\n' "$name" "$n" "$p" \
    "$optimum" "$total" "$gap" "$status" "$seconds" "$c_total" "$c_bound" "$c_gap" "$c_proof" "$c_nodes" "$c_seconds"
  rows=$((rows + 1))
  gap_sum=$(calc "$gap_sum + $gap")
  time_sum=$(calc "$time_sum + $seconds")
  c_gap_sum=$(calc "$c_gap_sum + $c_gap")
  c_time_sum=$(calc "$c_time_sum + $c_seconds")
done
[ "$rows" -gt 0 ] || { echo "orlib.sh: no pmedN.txt in '$dir'" >&2; exit 1; }
printf '\npmedian: mean gap %.3f %%, proven optimal %d of %d, total time %.2f s\n' \
  "$(calc "$gap_sum / $rows")" "$proven" "$rows" "$time_sum"
printf 'pmedian-certify: mean gap to its bound %.4f %%, at the optimum %d of %d, proven optimal %d of %d, worse than pmedian on %d, total time %.2f s\n' \
  "$(calc "$c_gap_sum / $rows")" "$c_at_optimum" "$rows" "$c_proven" "$rows" "$c_worse" "$c_time_sum"
exit "$fault"
