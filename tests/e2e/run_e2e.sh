#!/usr/bin/env bash
# End-to-end tests: the module in the stand-in host of the same build, under
# Wine on a virtual X display, in a fresh Wine prefix. Needs scripts/setup.sh
# and the build: E2E_BUILD names it, by default build/win32 (the shipped
# module, under wine32) on a machine that runs 32-bit programs and build/win64
# elsewhere. E2E_FP_STATE runs the suite with the host's thread in that
# floating-point state (see e2e.py); several states, separated by spaces, run
# it once in each, one after the other in the same prefix. E2E_ONLY names the
# runs to run; a name that is no run stops it before Wine starts. Set
# KEEP_E2E=1 to keep the captures and reports (not the Wine prefix). A run with
# a failing check leaves its pictures and a replay command in
# build/e2e-failures/RUN/ (failures.py).
set -euo pipefail
source "$(dirname "$0")/../../scripts/machine.sh"
cd "$(dirname "$0")/../.."

source scripts/wine_prefix.sh
build=${E2E_BUILD:-build/$(stand_in_build)}
host=$build/host/pandrel-host.exe
module=$build/Pandrel.auf
for file in "$host" "$module"; do
    [[ -f $file ]] || { echo "e2e: $file is missing: bash scripts/build.sh ${build#build/} first"; exit 1; }
done

variant=$(basename "$build")
[[ -v wine_loaders[$variant] ]] || { echo "e2e: $build is neither a win32 nor a win64 build"; exit 1; }
set_wine_environment "$variant"
export "${wine_environment[@]}"
echo "e2e: $host and $module under Wine's loader $WINELOADER"

work=$(mktemp -d /tmp/pandrel-e2e.XXXXXX)
export WINEPREFIX=$work/prefix
cleanup() {
    wineserver -k 2>/dev/null || true
    if [[ ${KEEP_E2E:-} == 1 ]]; then
        rm -rf "$WINEPREFIX"
        echo "e2e: captures and reports kept in $work"
    else
        rm -rf "$work"
    fi
}
trap cleanup EXIT

# A name in E2E_ONLY that is no run stops the suite here, before Wine starts.
soak_steps=$(cd tests/e2e && /usr/bin/python3 -c 'import e2e; e2e.selected_runs(); print(e2e.SOAK_STEPS)')

# The suite once in the host's own floating-point state, or once in each state
# of E2E_FP_STATE, each in its own folder.
read -ra states <<<"${E2E_FP_STATE:-}"
((${#states[@]})) || states=("")

# One prefix and one wine server for the whole suite: the first start of a
# prefix is the slow part. A console program waits throughout (until the
# script ends and closes the pipe it reads) so that Wine's desktop process
# stays: once the last program has gone it shuts down, and a host started
# during that waits about 10 s. The suite ends with its count line, or with
# the reason it could not run.
seconds=$((240 + ${#states[@]} * (60 + soak_steps / 50)))
status=0
timeout "$seconds" "${virtual_display[@]}" bash -c '
    source scripts/wine_prefix.sh && prepare_wine_prefix && leave_windows_unmanaged || exit 1
    host=$1 module=$2 work=$3
    mkfifo "$work/desktop-keeper"
    "$WINELOADER" cmd /c pause <"$work/desktop-keeper" >/dev/null 2>&1 &
    exec 3>"$work/desktop-keeper"
    shift 3
    failed=()
    for state in "$@"; do
        (($# > 1)) && echo "== floating-point state $state"
        directory=$work/${state:-own-state}
        mkdir -p "$directory"
        E2E_FP_STATE=$state /usr/bin/python3 tests/e2e/e2e.py "$host" "$module" "$directory" ||
            failed+=("$state")
    done
    (($# > 1 && ${#failed[@]})) && echo "e2e: failed in floating-point states ${failed[*]}"
    ((${#failed[@]} == 0))
    ' e2e "$host" "$module" "$work" "${states[@]}" || status=$?
case $status in
    0) ;;
    124) echo "e2e: stopped after $seconds s" ;;
    *) echo "e2e: failed with status $status" ;;
esac
exit $status
