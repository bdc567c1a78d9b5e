#!/usr/bin/env bash
# Builds a fuzz preset and fuzzes the module for the given number of seconds
# (60 by default), starting from the committed seeds: fuzz (the 64-bit build,
# by default), fuzz32 (the module as 32-bit x87 code, under AddressSanitizer)
# or fuzz32-ubsan (the same without AddressSanitizer). New inputs go to a
# scratch directory, so the committed corpus stays as it is; a failing input
# is saved as build/<preset>/crash-*.
#
# Where the kernel runs no 32-bit programs, fuzz32-ubsan runs under
# qemu-i386, and fuzz32 cannot run: AddressSanitizer's 32-bit memory layout
# clashes with the emulator's (its large blocks land outside the memory
# AddressSanitizer covers).
set -euo pipefail
source "$(dirname "$0")/../../scripts/machine.sh"
cd "$(dirname "$0")/../.."

seconds=${1:-60}
preset=${2:-fuzz}
runner=()
if [[ $preset == fuzz32* ]] && ! machine_runs_32bit; then
    if [[ $preset == fuzz32 ]]; then
        echo "fuzz32: $no_32bit_message; fuzz32-ubsan runs under ${i386_emulator[0]}"
        exit 1
    fi
    runner=("${i386_emulator[@]}")
fi
log=build/$preset/fuzz.log
cmake --preset "$preset" >/dev/null
if ! cmake --build --preset "$preset" >"$log" 2>&1; then
    tail -n 40 "$log"
    exit 1
fi
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
# The seeds are named one by one: a 32-bit program under qemu-i386 lists no
# folder of the host's file system (its 64-bit directory offsets do not fit).
seeds=(tests/fuzz/corpus/*)
seed_list=$(IFS=, && echo "${seeds[*]}")
if "${runner[@]}" build/"$preset"/tests/fuzz/pandrel_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
    -artifact_prefix=build/"$preset"/ -seed_inputs="$seed_list" "$work" >"$log" 2>&1 &&
    grep -q "seed corpus: files: ${#seeds[@]} " "$log"; then
    grep -E '^(Done|stat::number_of_executed_units|stat::new_units_added)' "$log"
else
    tail -n 60 "$log"
    exit 1
fi
