#!/usr/bin/env bash
# Builds the fuzz preset and fuzzes the module for the given number of seconds
# (60 by default), starting from the committed seeds. New inputs go to a
# scratch directory, so the committed corpus stays as it is; a failing input
# is saved as build/fuzz/crash-*.
set -euo pipefail
cd "$(dirname "$0")/../.."

seconds=${1:-60}
log=build/fuzz/fuzz.log
cmake --preset fuzz >/dev/null
if ! cmake --build --preset fuzz >"$log" 2>&1; then
    tail -n 40 "$log"
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if build/fuzz/tests/fuzz/pandrel_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/fuzz/ "$work" tests/fuzz/corpus >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log"
else
    tail -n 60 "$log"
    exit 1
fi
