#!/usr/bin/env bash
# Runs pmedian under valgrind in DIR and fails on any memory error or leak
# (pmedian itself always exits 1, so valgrind's verdict is read from its log).
#   tests/valgrind_run.sh PMEDIAN DIR
set -u
log=$(mktemp)
trap 'rm -f "$log"' EXIT
cd "$2" || exit 2
valgrind --error-exitcode=1 --leak-check=full --errors-for-leak-kinds=all --log-file="$log" "$1" >/dev/null
grep -q "ERROR SUMMARY: 0 errors" "$log" || { cat "$log"; exit 1; }
grep -q "All heap blocks were freed" "$log" || { cat "$log"; exit 1; }
