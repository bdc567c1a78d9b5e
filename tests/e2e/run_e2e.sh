#!/usr/bin/env bash
# End-to-end tests: the win64 module in the win64 stand-in host, under wine64
# on a virtual X display, in a fresh Wine prefix. Needs scripts/setup.sh and
# the win64 build (E2E_BUILD names another build directory). Set KEEP_E2E=1
# to keep the captures and reports.
set -euo pipefail
cd "$(dirname "$0")/../.."

build=${E2E_BUILD:-build/win64}
host=$build/host/pandrel-host.exe
module=$build/Pandrel.auf
for file in "$host" "$module"; do
    [[ -f $file ]] || { echo "e2e: $file is missing: build the win64 preset first"; exit 1; }
done

work=$(mktemp -d /tmp/pandrel-e2e.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
cleanup() {
    wineserver -k 2>/dev/null || true
    if [[ ${KEEP_E2E:-} == 1 ]]; then echo "e2e: captures and reports kept in $work"; else rm -rf "$work"; fi
}
trap cleanup EXIT

# One prefix and one wine server for the whole suite: the first start of a
# prefix is the slow part.
timeout $((300 + ${E2E_SOAK_STEPS:-100000} / 50)) xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source scripts/wine_prefix.sh && prepare_wine_prefix && leave_windows_unmanaged || exit 1
    /usr/bin/python3 tests/e2e/e2e.py "$@"' e2e "$host" "$module" "$work"
