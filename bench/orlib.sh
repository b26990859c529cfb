#!/usr/bin/env bash
# Solves every OR-Library p-median instance and prints a Markdown table of
# pmedian's total against the known optimum.
#   bench/orlib.sh [DIR]      DIR defaults to ../shared/orlib
# Uses the programs of build/, or of $BUILD_DIR, building them if missing.
set -euo pipefail
here=$(cd "$(dirname "$0")/.." && pwd)
dir=${1:-$here/../shared/orlib}
build=${BUILD_DIR:-$here/build}

if [ ! -f "$dir/pmedopt.txt" ]; then
  echo "orlib.sh: no pmedopt.txt in '$dir'" >&2
  exit 1
fi
if [ ! -x "$build/pmedian" ] || [ ! -x "$build/pmedian-convert" ]; then
  cmake -S "$here" -B "$build" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$build" -j2 --target pmedian pmedian-convert >/dev/null
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

now() { date +%s.%N; }
calc() { awk "BEGIN { print $1 }"; }

echo "| instance | n | p | optimum | total | gap % | status | seconds |"
echo "|---|---:|---:|---:|---:|---:|---|---:|"
rows=0 proven=0 gap_sum=0 time_sum=0 fault=0
for k in $(seq 1 40); do
  name=pmed$k
  [ -f "$dir/$name.txt" ] || continue
  optimum=$(awk -v name="$name" '$1 == name { print $2 }' "$dir/pmedopt.txt")
  "$build/pmedian-convert" orlib "$dir/$name.txt" -o "$work/facloc.dat"
  start=$(now)
  (cd "$work" && "$build/pmedian" >report.txt) || true
  seconds=$(calc "$(now) - $start")
  read -r n p < "$work/facloc.dat"
  total=$(sed -n 's/^Custo da solucao = *//p' "$work/report.txt")
  status=$(sed -n 's/^Status: //p' "$work/report.txt")
  gap=$(calc "($total - $optimum) * 100 / $optimum")
  [ "$status" = "Solucao otima" ] && proven=$((proven + 1))
  if [ "$(calc "($total < $optimum)")" = 1 ]; then
    echo "orlib.sh: $name total $total is below the optimum $optimum: the conversion is wrong" >&2
    fault=1
  fi
  printf '| %s | %d | %d | %d | %.2f | %.3f | %s | %.3f |\n' "$name" "$n" "$p" "$optimum" "$total" "$gap" "$status" "$seconds"
  rows=$((rows + 1))
  gap_sum=$(calc "$gap_sum + $gap")
  time_sum=$(calc "$time_sum + $seconds")
done
[ "$rows" -gt 0 ] || { echo "orlib.sh: no pmedN.txt in '$dir'" >&2; exit 1; }
printf '\nMean gap %.3f %%, proven optimal %d of %d, total time %.2f s\n' \
  "$(calc "$gap_sum / $rows")" "$proven" "$rows" "$time_sum"
exit "$fault"
