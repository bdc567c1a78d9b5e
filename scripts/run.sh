#!/usr/bin/env bash
# The main job: sets up the machine, builds and checks the module, then shows
# it at work in the stand-in host under Wine: interactively when a display is
# available, otherwise on a virtual display, saving screenshots of the
# plug-in's whole window to build/screenshots/.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh win32 win64
/usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf
echo
echo "Pandrel.auf (32-bit Windows, to install into the host): $(pwd)/build/win32/Pandrel.auf"

repo=$(pwd)
# The shipped 32-bit module in the 32-bit stand-in host (wine32) when this
# machine runs 32-bit programs; the win64 build of the same sources otherwise.
source scripts/machine.sh
build=win64
machine_runs_32bit && build=win32
host=$repo/build/$build/host/pandrel-host.exe
module=$repo/build/$build/Pandrel.auf
work=$(mktemp -d /tmp/pandrel-run.XXXXXX)
export WINEPREFIX=$work/prefix WINEDEBUG=-all LANG=ja_JP.UTF-8 LC_ALL=ja_JP.UTF-8
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
source scripts/wine_prefix.sh

if [[ -n ${DISPLAY:-} ]]; then
    [[ $build == win32 ]] || echo "The stand-in host runs the 64-bit build (build/win64)," \
        "because this machine does not run 32-bit programs."
    echo "Starting the stand-in host ($build module): use the plug-in's menu, wheel, right button"
    echo "and drag; press and drag on the preview; Space or the arrow keys in the preview change"
    echo "the frame."
    mkdir -p build/run
    prepare_wine_prefix 5
    wine "$host" --settings build/run/pandrel-host.ini "$module"
    exit
fi

# Each screenshot is the plug-in's whole window as Wine draws it: frame, title
# bar with the window's own title, menu bar and client area. With no window
# manager on the virtual display the windows are unmanaged, so Wine draws
# their frames itself. The window is made active first, as a click on it
# does; two screenshots show a pop-up of the menu bar opened by a click, with
# the check mark on the current item.
shots=$repo/build/screenshots
rm -rf "$shots" && mkdir -p "$shots"
cat >"$work/views.txt" <<'EOF'
activate
capture-window 1-compare-fit.bmp
menu x3
preview-press 110 120
preview-release 110 120
capture-window 2-compare-x3-preview-press.bmp
capture-menu 2 3-compare-x3-menu-magnification-open.bmp
menu source
menu x6
drag 200 60 100 40
capture-window 4-source-x6-dragged.bmp
rclick 10 10
menu x2
next
capture-window 5-filtered-x2-next-frame.bmp
capture-menu 1 6-filtered-x2-menu-view-open.bmp
resize 640 300
menu compare
menu fit
capture-window 7-compare-fit-640x300.bmp
EOF
cat >"$work/sizes.txt" <<'EOF'
activate
menu x2
preview-press 60 60
capture-window 8-compare-x2-filtered-at-half-size.bmp
EOF
[[ $build == win32 ]] || echo "The screenshots come from the 64-bit build (build/win64)," \
    "because this machine does not run 32-bit programs."
echo "No display: running the stand-in host ($build module) on a virtual display for screenshots"
(cd "$work" && timeout 300 xvfb-run -a -s "-screen 0 1280x1024x24" bash -c '
    source "$0/scripts/wine_prefix.sh" && prepare_wine_prefix && leave_windows_unmanaged &&
    wine "$1" --settings views.ini --script views.txt "$2" &&
    wine "$1" --settings sizes.ini --filtered-size 160x120 --script sizes.txt "$2"
    ' "$repo" "$host" "$module")
for bmp in "$work"/*.bmp; do
    convert "$bmp" -strip "$shots/$(basename "${bmp%.bmp}").png"
done
echo "Screenshots of the plug-in's whole window ($build module, the stand-in host's generated frames):"
ls -1 "$shots"/*.png
