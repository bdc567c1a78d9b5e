#!/usr/bin/env bash
# Runs the suite of the test preset PRESET (native, native32 or sanitize):
# each test program once, in one process. A program that crashes takes its
# remaining tests with it, unreported: then the suite runs again, each test in
# a process of its own (the preset PRESET-cases), so that every test's result
# shows. Exits nonzero if any test fails.
#
#   bash tests/run_suite.sh PRESET
set -uo pipefail
cd "$(dirname "$0")/.."
(($# == 1)) || { echo "usage: bash tests/run_suite.sh PRESET"; exit 2; }
preset=$1
log=$(mktemp)
trap 'rm -f "$log"' EXIT
ctest --preset "$preset" 2>&1 | tee "$log"
status=${PIPESTATUS[0]}
# CTest's list of failed tests names why each failed: "(Failed)" for a program
# that reported its failures, anything else for one that did not finish.
if grep -qP '^\s*\d+ - \S+ \((?!Failed\))' "$log"; then
    echo "run_suite: a test program did not finish; each test again, in a process of its own:"
    ctest --preset "$preset-cases" --output-on-failure
fi
exit "$status"
