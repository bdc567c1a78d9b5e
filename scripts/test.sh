#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test and
# check. Exits nonzero if anything fails.
set -uo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh || exit 1
bash scripts/build.sh || exit 1

passed=0
failed=0
failures=()
stage() {
    local name=$1
    shift
    echo
    echo "== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        failed=$((failed + 1))
        failures+=("$name")
    fi
}

# A second build in another directory must give the same bytes.
rebuild_and_compare_win32() {
    cmake -S . -B build/win32-again --toolchain cmake/mingw-i686.cmake \
        -DCMAKE_BUILD_TYPE=Release >/dev/null &&
        cmake --build build/win32-again --target Pandrel -j2 >/dev/null &&
        /usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf \
            --same-as build/win32-again/Pandrel.auf
}

stage "native suite" ctest --preset native
stage "sanitizer suite" ctest --preset sanitize
stage "PE check of Pandrel.auf" /usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf
stage "PE check self-test" /usr/bin/python3 tools/pe_check_test.py build/win32/Pandrel.auf
stage "reproducible Pandrel.auf" rebuild_and_compare_win32
stage "bounded fuzz run (60 s)" bash tests/fuzz/run.sh 60
stage "end-to-end suite under Wine" bash tests/e2e/run_e2e.sh
stage "release archive" bash scripts/release.sh

echo
((failed)) && echo "failed stages: ${failures[*]}"
echo "stages: $passed passed, $failed failed"
((failed == 0))
