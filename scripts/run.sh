#!/usr/bin/env bash
# The main job: sets up the machine, builds and checks the module, then shows
# it at work in the stand-in host under Wine: interactively when a display is
# available, otherwise on a virtual display, saving screenshots of the main
# views to build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh win32 win64
/usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf
echo
echo "Pandrel.auf (32-bit Windows, to install into the host): $(pwd)/build/win32/Pandrel.auf"

repo=$(pwd)
host=$repo/build/win64/host/pandrel-host.exe
module=$repo/build/win64/Pandrel.auf
work=$(mktemp -d /tmp/pandrel-run.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
source scripts/wine_prefix.sh

if [[ -n ${DISPLAY:-} ]]; then
    echo "Starting the stand-in host: use the plug-in's menu, wheel, right button and drag;"
    echo "press and drag on the preview; Space or the arrow keys in the preview change the frame."
    mkdir -p build/run
    prepare_wine_prefix 5
    wine "$host" --settings build/run/pandrel-host.ini "$module"
    exit
fi

shots=$repo/build/screenshots
rm -rf "$shots" && mkdir -p "$shots"
cat >"$work/views.txt" <<'EOF'
capture 1-compare-fit.bmp
menu x3
preview-press 110 120
preview-release 110 120
capture 2-compare-x3-preview-press.bmp
menu source
menu x6
drag 200 60 100 40
capture 3-source-x6-dragged.bmp
rclick 10 10
menu x2
next
capture 4-filtered-x2-next-frame.bmp
resize 640 300
menu compare
menu fit
capture 5-compare-fit-640x300.bmp
EOF
cat >"$work/sizes.txt" <<'EOF'
menu x2
preview-press 60 60
capture 6-compare-x2-filtered-at-half-size.bmp
EOF
echo "No display: running the stand-in host on a virtual display for screenshots"
(cd "$work" && timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source "$0/scripts/wine_prefix.sh" && prepare_wine_prefix && leave_windows_unmanaged &&
    wine "$1" --settings views.ini --script views.txt "$2" &&
    wine "$1" --settings sizes.ini --filtered-size 160x120 --script sizes.txt "$2"
    ' "$repo" "$host" "$module")
for bmp in "$work"/*.bmp; do
    convert "$bmp" "$shots/$(basename "${bmp%.bmp}").png"
done
echo "Screenshots of the plug-in's window (the stand-in host's embedded frames):"
ls -1 "$shots"/*.png
