#!/usr/bin/env bash
# Mutation check: shows that the checks catch the faults they exist for, each
# for its own reason. In a scratch copy of the working tree it applies one
# fault at a time (tests/mutants/mutants.py), rebuilds, and runs the stages
# named for it: the 64-bit suite (native), the 32-bit suite (native32), the
# sanitizer suite, each one process per test program (tests/run_suite.sh);
# the end-to-end suite's hostile pass on the shipped module
# (tests/e2e/calling_states.sh); for a patched-in instruction, the PE check. A stage counts as catching a mutant
# only when it fails and prints what the mutant names (a failed test, a FAIL
# line, a fault message); a crash counts only for a memory mutant, a timeout
# never; a mutant that does not build is reported as such. Prints a table; exits nonzero unless every stage caught every
# mutant named for it and the unchanged tree passes them all.
# MUTANTS=REGEX runs only the mutants whose name matches.
# Needs scripts/setup.sh. Takes about 30 minutes on two cores, by the load.
# The whole script is one function, read before it runs: editing this file
# during a run does not change that run.
set -uo pipefail
source "$(dirname "$0")/../../scripts/machine.sh"

main() {
    cd "$(dirname "$0")/../.."
    source tests/e2e/calling_states.sh
    runs_32bit=0
    machine_runs_32bit && runs_32bit=1

    scratch=$(mktemp -d /tmp/pandrel-mutants.XXXXXX)
    trap 'rm -rf "$scratch"' EXIT
    git ls-files -z | xargs -0 cp --parents -t "$scratch"
    cd "$scratch"
    mapfile -t module_dirs <cmake/module_folders.txt
    mkdir pristine && cp -r "${module_dirs[@]}" pristine/
    mutants=(/usr/bin/python3 tests/mutants/mutants.py)
    stages=(native native32 sanitize e2e)
    suite_timeout=900

    names=()
    while read -r name; do
        [[ -z ${MUTANTS:-} || $name =~ $MUTANTS ]] && names+=("$name")
    done < <("${mutants[@]}" list)
    ((${#names[@]})) || { echo "no mutant's name matches '${MUTANTS:-}'"; exit 1; }

    # The presets that a stage runs.
    preset_of() { case $1 in e2e) echo win32 ;; *) echo "$1" ;; esac; }
    needed=(win32)
    for name in "${names[@]}"; do
        for stage in $("${mutants[@]}" stages "$name"); do
            preset=$(preset_of "$stage")
            [[ " ${needed[*]} " == *" $preset "* ]] || needed+=("$preset")
        done
    done

    build() { bash scripts/build.sh "$@" >"$scratch/build.log" 2>&1; }

    # Runs one stage; its output goes to $scratch/STAGE.log. 124: timed out.
    run_stage() {
        local stage=$1 log=$scratch/$1.log
        case $stage in
            e2e)
                env "${hostile_environment[@]}" E2E_BUILD=build/win32 \
                    timeout 900 bash tests/e2e/run_e2e.sh >"$log" 2>&1
                ;;
            *) timeout "$suite_timeout" bash tests/run_suite.sh "$stage" >"$log" 2>&1 ;;
        esac
    }

    runnable() { [[ $1 != e2e ]] || ((runs_32bit)); }

    echo "baseline: building ${needed[*]} and running the stages on the unchanged tree"
    build "${needed[@]}" || { echo "the unchanged tree does not build"; tail -20 build.log; exit 1; }
    for stage in "${stages[@]}"; do
        [[ " ${needed[*]} " == *" $(preset_of "$stage") "* ]] && runnable "$stage" || continue
        if ! run_stage "$stage"; then
            echo "the unchanged tree fails $stage:"
            tail -30 "$scratch/$stage.log"
            exit 1
        fi
    done

    row() { printf '%-48s %-12s %-12s %-12s %-12s %s\n' "$@"; }
    rows=()
    notes=()
    failed=0
    for name in "${names[@]}"; do
        echo "mutant: $name"
        "${mutants[@]}" apply "$name" "$scratch" || exit 1
        expected=$("${mutants[@]}" stages "$name")
        presets=()
        for stage in $expected; do presets+=("$(preset_of "$stage")"); done
        cells=()
        if ! build "${presets[@]}"; then
            failed=1
            for stage in "${stages[@]}"; do
                [[ " $expected " == *" $stage "* ]] && cells+=("no build") || cells+=("-")
            done
            notes+=("$name: build failed: $(grep -m1 -E 'error' build.log)")
        else
            for stage in "${stages[@]}"; do
                if [[ " $expected " != *" $stage "* ]]; then
                    cells+=("-")
                elif ! runnable "$stage"; then
                    cells+=("skipped")
                else
                    run_stage "$stage"
                    status=$?
                    verdict=$("${mutants[@]}" judge "$name" "$stage" $status "$scratch/$stage.log")
                    [[ $verdict == caught || $verdict == crashed ]] || failed=1
                    [[ $verdict == "wrong reason: "* ]] && notes+=("$name, $stage: $verdict")
                    cells+=("${verdict%%:*}")
                fi
            done
        fi
        rows+=("$(row "$name" "${cells[@]}" "-")")
        rm -rf "${module_dirs[@]}" && cp -r "${module_dirs[@]/#/pristine/}" .
    done

    echo "mutant: post-i486 instruction patched into Pandrel.auf"
    build win32 || { echo "the unchanged tree no longer builds"; tail -20 build.log; exit 1; }
    cp build/win32/Pandrel.auf "$scratch/patched.auf"
    "${mutants[@]}" patch-module "$scratch/patched.auf"
    timeout 120 /usr/bin/python3 tools/pe_check.py "$scratch/patched.auf" >"$scratch/pe.log" 2>&1
    status=$?
    pe=$("${mutants[@]}" judge patched pe $status "$scratch/pe.log")
    [[ $pe == caught ]] || failed=1
    [[ $pe == "wrong reason: "* ]] && notes+=("patched instruction, PE check: $pe")
    rows+=("$(row "instruction tzcnt patched into Pandrel.auf" - - - - "${pe%%:*}")")

    echo
    row mutant native native32 sanitize "e2e hostile" "PE check"
    printf '%s\n' "${rows[@]}"
    echo "caught: the stage failed with the message the mutant names; crashed: a memory mutant"
    echo "crashed the stage; -: not a stage meant to catch it (see tests/mutants/mutants.py)."
    ((runs_32bit)) || echo "e2e hostile: $no_32bit_message"
    ((${#notes[@]})) && printf '%s\n' "" "${notes[@]}"
    ((failed == 0))
}

main "$@"; exit
