#!/usr/bin/env bash
# Runs the stand-in host by hand, with the module of its own build, in a fresh
# Wine prefix prepared as the tests prepare theirs:
#
#   bash scripts/host.sh [--build win32|win64] [HOST OPTIONS]
#
# The options are the stand-in host's (docs/stand-in-host.md); the module comes
# last by itself. With a display the host runs there, interactively unless a
# script is given. With none it needs --script or --actions, and runs on a
# virtual display where nothing could close its windows. Relative paths are
# taken from the current directory, where the host also writes its captures
# and, unless --settings says otherwise, pandrel-host.ini. The build (by
# default the shipped win32 one where this machine runs 32-bit programs, win64
# elsewhere) is brought up to date first; scripts/setup.sh must have run.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/machine.sh"
source "$repo/scripts/wine_prefix.sh"

build=
if [[ ${1:-} == --build ]]; then
    build=${2:-}
    shift 2 || true
    [[ $build == win32 || $build == win64 ]] || { echo "host.sh: --build win32 or --build win64" >&2; exit 2; }
fi
[[ -n $build ]] || build=$(stand_in_build)

scripted=
for arg in "$@"; do [[ $arg == --script || $arg == --actions ]] && scripted=1; done
if [[ -z ${DISPLAY:-} && -z $scripted ]]; then
    echo "host.sh: no display: give --script FILE or --actions 'A; B; ...' to run on a virtual display" >&2
    exit 2
fi

work=$(mktemp -d /tmp/pandrel-host.XXXXXX)
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
if ! (cd "$repo" && bash scripts/build.sh "$build") >"$work/build.log" 2>&1; then
    cat "$work/build.log"
    exit 1
fi
run_on_wine_display 0 wine "$repo/build/$build/host/pandrel-host.exe" "$@" \
    "$repo/build/$build/Pandrel.auf"
