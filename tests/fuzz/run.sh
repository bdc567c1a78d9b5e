#!/usr/bin/env bash
# Builds a fuzz preset, fuzz (the 64-bit build, by default) or fuzz32 (the
# module as 32-bit x87 code), and fuzzes the module for the given number of
# seconds (60 by default), starting from the committed seeds. New inputs go to
# a scratch directory, so the committed corpus stays as it is; a failing input
# is saved as build/<preset>/crash-*.
#
# fuzz32 needs a machine that runs 32-bit programs: under qemu-i386,
# AddressSanitizer's 32-bit memory layout clashes with the emulator's (its
# large blocks land outside the memory AddressSanitizer covers).
set -euo pipefail
cd "$(dirname "$0")/../.."
source scripts/machine.sh

seconds=${1:-60}
preset=${2:-fuzz}
if [[ $preset == fuzz32 ]] && ! machine_runs_32bit; then
    echo "fuzz32: $no_32bit_message"
    exit 1
fi
log=build/$preset/fuzz.log
cmake --preset "$preset" >/dev/null
if ! cmake --build --preset "$preset" >"$log" 2>&1; then
    tail -n 40 "$log"
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
if build/"$preset"/tests/fuzz/pandrel_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/"$preset"/ "$work" tests/fuzz/corpus >"$log" 2>&1; then
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log"
else
    tail -n 60 "$log"
    exit 1
fi
