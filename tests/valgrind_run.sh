#!/usr/bin/env bash
# Runs pmedian under valgrind in DIR and fails on any memory error or leak
# (pmedian itself always exits 1, so valgrind's verdict is read from its log).
# Every leak kind counts as an error, except the C++ runtime's own pool.
#   tests/valgrind_run.sh PMEDIAN DIR
set -u
log=$(mktemp)
trap 'rm -f "$log"' EXIT
suppressions=$(cd "$(dirname "$0")" && pwd)/runtime_pool.supp
cd "$2" || exit 2
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=all \
  --suppressions="$suppressions" --log-file="$log" "$1" >/dev/null
grep -q "ERROR SUMMARY: 0 errors" "$log" || { cat "$log"; exit 1; }
grep -qE "All heap blocks were freed|still reachable: 0 bytes in 0 blocks" "$log" || { cat "$log"; exit 1; }
