#!/usr/bin/env bash
# Mutation check: shows that the checks of the floating-point switch and of
# the module's instructions catch the faults they exist for. In a scratch copy
# of the working tree it applies one fault at a time (tests/mutants/mutants.py),
# rebuilds, and runs the stages that must catch it: the 32-bit suite
# (native32) and the end-to-end suite of the shipped module in a hostile
# floating-point state; for a patched-in instruction, the PE check. Prints a
# table; exits nonzero when a stage misses a mutant or the unchanged tree fails.
# Needs scripts/setup.sh. Takes 6 to 13 minutes on two cores, by the load.
set -uo pipefail
cd "$(dirname "$0")/../.."
source scripts/machine.sh
runs_32bit=0
machine_runs_32bit && runs_32bit=1

repo=$(pwd)
scratch=$(mktemp -d /tmp/pandrel-mutants.XXXXXX)
trap 'rm -rf "$scratch"' EXIT
git ls-files -z | xargs -0 cp --parents -t "$scratch"
cd "$scratch"
mutants=/usr/bin/python3" tests/mutants/mutants.py"

build() { bash scripts/build.sh native32 win32 >"$scratch/build.log" 2>&1; }
native32() { ctest --preset native32 >"$scratch/native32.log" 2>&1; }
e2e_hostile() {
    E2E_BUILD=build/win32 E2E_FP_STATE=0x0C72,0xF940 E2E_SOAK_STEPS=2000 \
        bash tests/e2e/run_e2e.sh >"$scratch/e2e.log" 2>&1
}

# "caught" when the stage fails on the mutant, "MISSED" when it passes.
verdict() {
    if "$@" >/dev/null 2>&1; then
        echo MISSED
    else
        echo caught
    fi
}

e2e_verdict() {
    if ((runs_32bit)); then verdict e2e_hostile; else echo "skipped"; fi
}

echo "baseline: building and running the stages on the unchanged tree"
if ! build || ! native32 || { ((runs_32bit)) && ! e2e_hostile; }; then
    echo "the unchanged tree fails a stage: see the logs above"
    tail -20 "$scratch"/*.log
    exit 1
fi

rows=()
missed=0
while read -r mutant; do
    echo "mutant: $mutant"
    $mutants apply "$mutant" "$scratch" || exit 1
    if ! build; then
        rows+=("$(printf '%-50s %-10s %-12s %s' "$mutant" "no build" "no build" "-")")
        missed=1
    else
        native=$(verdict native32)
        e2e=$(e2e_verdict)
        [[ $e2e == MISSED ]] && $mutants exact "$mutant" && e2e="exact"
        [[ $native == MISSED || $e2e == MISSED ]] && missed=1
        rows+=("$(printf '%-50s %-10s %-12s %s' "$mutant" "$native" "$e2e" "-")")
    fi
    for path in plugin/float_state.cpp view/pane_layout.cpp view/paint_view.cpp ui/window_messages.cpp; do
        cp "$repo/$path" "$scratch/$path"
    done
done < <($mutants list)

echo "mutant: post-i486 instruction patched into Pandrel.auf"
build || { echo "the unchanged tree no longer builds"; tail -20 "$scratch/build.log"; exit 1; }
cp build/win32/Pandrel.auf "$scratch/patched.auf"
$mutants patch-module "$scratch/patched.auf"
pe=$(verdict /usr/bin/python3 tools/pe_check.py "$scratch/patched.auf")
[[ $pe == MISSED ]] && missed=1
rows+=("$(printf '%-50s %-10s %-12s %s' "instruction tzcnt patched into Pandrel.auf" "-" "-" "$pe")")

echo
printf '%-50s %-10s %-12s %s\n' "mutant" "native32" "e2e hostile" "PE check"
printf '%s\n' "${rows[@]}"
echo "exact: the mutant's results are exact in every state the host can give, so no picture"
echo "       differs; the 32-bit suite catches it with a width beyond float's integers."
((runs_32bit)) || echo "e2e hostile: $no_32bit_message"
((missed == 0))
