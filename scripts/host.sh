#!/usr/bin/env bash
# Runs the stand-in host by hand, with the module of its own build, in a fresh
# Wine prefix prepared as the tests prepare theirs:
#
#   bash scripts/host.sh [--fresh] [--build win32|win64] [HOST OPTIONS]
#
# The options are the stand-in host's (docs/stand-in-host.md); the module comes
# last by itself. With a display the host runs there, interactively unless a
# script is given. With none it needs --script, --actions or --help, and runs on a
# virtual display where nothing could close its windows. The host runs in
# build/host/: the captures, reports and frames that its actions name go
# there, and so do its settings, pandrel-host.ini, unless --settings names
# another file. The next run starts from the settings saved there; --fresh
# empties build/host/ first. The files named by --source, --filtered,
# --settings and --script are taken from the current directory. The build (by
# default the shipped win32 one where this machine runs 32-bit programs, win64
# elsewhere) is brought up to date first, after the set-up.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/machine.sh"
source "$repo/scripts/wine_prefix.sh"

build=
fresh=
while [[ ${1:-} == --build || ${1:-} == --fresh ]]; do
    if [[ $1 == --fresh ]]; then
        fresh=1
        shift
    else
        build=${2:-}
        shift 2 || true
        [[ $build == win32 || $build == win64 ]] || { echo "host.sh: --build win32 or --build win64" >&2; exit 2; }
    fi
done

# The options that name files become absolute paths, since the host runs in
# build/host/.
files=$repo/build/host
settings=$files/pandrel-host.ini
options=()
scripted=
while (($#)); do
    case $1 in
        --source | --filtered | --settings | --script)
            (($# >= 2)) || { echo "host.sh: $1 needs a file" >&2; exit 2; }
            path=$(realpath -m -- "$2")
            [[ $1 == --settings ]] && settings=$path
            [[ $1 == --script ]] && scripted=1
            options+=("$1" "$path")
            shift 2
            ;;
        --help)  # prints the options and the actions, and opens no window
            scripted=1
            options+=("$1")
            shift
            ;;
        --actions)
            scripted=1
            options+=("$1" "${2:-}")
            shift 2 || shift
            ;;
        *)
            options+=("$1")
            shift
            ;;
    esac
done
if [[ -z ${DISPLAY:-} && -z $scripted ]]; then
    echo "host.sh: no display: give --script FILE or --actions 'A; B; ...' to run on a virtual display" >&2
    exit 2
fi

bash "$repo/scripts/setup.sh"
if [[ -z $build ]]; then
    build=$(stand_in_build)
    [[ $build == win32 ]] || echo "host.sh: this machine runs no 32-bit programs: the 64-bit build" \
        "build/win64 runs under wine64 (Pandrel.auf itself runs only under wine32)"
fi
set_wine_environment "$build"
[[ -n $fresh ]] && rm -rf "$files"
mkdir -p "$files"
if ! (cd "$repo" && bash scripts/build.sh "$build") >"$files/build.log" 2>&1; then
    cat "$files/build.log"
    exit 1
fi

shown=${settings#"$repo"/}
if [[ -f $settings ]]; then
    saved=$(grep -E '^(Screen|Multi)=' "$settings" | paste -sd' ')
    reset="--fresh starts without them"
    [[ $settings == "$files"/* ]] || reset="named by --settings, which --fresh leaves alone"
    echo "host.sh: starting from the settings saved in $shown: ${saved:-no plug-in settings in it}" \
        "($reset)"
else
    echo "host.sh: starting fresh: no saved settings; the host saves them in $shown"
fi
echo "host.sh: the host runs in build/host/, where its actions write their files"

work=$(mktemp -d /tmp/pandrel-host.XXXXXX)
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
status=0
(cd "$files" && run_on_wine_display 0 "${wine_loaders[$build]}" \
    "$repo/build/$build/host/pandrel-host.exe" "${options[@]}" "$repo/build/$build/Pandrel.auf") ||
    status=$?
echo "host.sh: files in build/host/: $(cd "$files" && ls | paste -sd' ')"
((status == 0)) || echo "host.sh: the stand-in host under ${wine_loaders[$build]} ended with status $status" >&2
exit $status
