#!/usr/bin/env bash
# The main job: sets up the machine, builds and checks the module, then shows
# it at work in the stand-in host under Wine: interactively when a display is
# available, otherwise on a virtual display, saving screenshots of the
# plug-in's whole window.
#
#   bash scripts/run.sh [SOURCE FILTERED]
#
# Without pictures the host serves its generated frames and the screenshots go
# to build/screenshots/. With two pictures that ImageMagick reads, they are
# the source and the filtered frame, and the screenshots go to
# build/screenshots-pictures/. Build and check logs go to build/run.log.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/machine.sh"
source "$repo/scripts/pictures.sh"
source "$repo/scripts/screenshot_names.sh"

if (($# != 0 && $# != 2)); then
    echo "usage: bash scripts/run.sh [SOURCE FILTERED]  (two pictures, PNG, JPEG, BMP...)" >&2
    exit 2
fi
pictures=("$@")
paths=()
for picture in "${pictures[@]}"; do
    paths+=("$(realpath -m -- "$picture")")
done

# A picture that the stand-in host cannot serve stops the job before any work.
check_pictures() {
    local i problem
    for i in "${!pictures[@]}"; do
        problem=$("$1" "${paths[$i]}")
        if [[ -n $problem ]]; then
            echo "run.sh: ${pictures[$i]}: $problem" >&2
            exit 2
        fi
    done
}
check_pictures unreadable_file
pictures_checked=
if command -v identify >/dev/null; then
    check_pictures unservable_picture
    pictures_checked=1
fi

cd "$repo"
bash scripts/setup.sh
[[ -n $pictures_checked ]] || check_pictures unservable_picture

mkdir -p build
log=build/run.log
echo "Building and checking Pandrel.auf and the stand-in host (log: $log)"
if ! { bash scripts/build.sh win32 win64 && /usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf; } \
    >"$log" 2>&1; then
    tail -n 40 "$log"
    echo "run.sh: the build or its check failed; the whole log is $repo/$log" >&2
    exit 1
fi
echo "Pandrel.auf, the module to install into the host: $repo/build/win32/Pandrel.auf"
echo "  (bash scripts/release.sh packs it with its readme into" \
    "build/release/Pandrel-$(sed -n 's/^version=//p' VERSION).zip)"
echo

source scripts/wine_prefix.sh
build=$(stand_in_build)
set_wine_environment "$build"
host=$repo/build/$build/host/pandrel-host.exe
module=$repo/build/$build/Pandrel.auf
work=$(mktemp -d /tmp/pandrel-run.XXXXXX)
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null || true; rm -rf "$work"' EXIT
[[ $build == win32 ]] || echo "This machine runs no 32-bit programs: the stand-in host runs the 64-bit" \
    "build of the same sources, build/win64, under wine64 (Pandrel.auf itself runs only under wine32)."

# The frames: the user's pictures, converted, or the host's generated ones.
frames=()
shots=$repo/build/screenshots
if ((${#pictures[@]})); then
    picture_to_bmp "${paths[0]}" "$work/source.bmp"
    picture_to_bmp "${paths[1]}" "$work/filtered.bmp"
    # The host must report a largest image size that holds both pictures.
    read -r sw sh < <(picture_size "${paths[0]}")
    read -r fw fh < <(picture_size "${paths[1]}")
    max_width=$(printf '%s\n' 1920 "$sw" "$fw" | sort -n | tail -n 1)
    max_height=$(printf '%s\n' 1088 "$sh" "$fh" | sort -n | tail -n 1)
    frames=(--source "$work/source.bmp" --filtered "$work/filtered.bmp"
        --max-size "${max_width}x$max_height")
    # The one place where the module shows other than the picture.
    note=$(missing_bytes_note "${paths[1]}")
    [[ -z $note ]] || echo "${pictures[1]}: $note"
    shots=$repo/build/screenshots-pictures
fi

if [[ -n ${DISPLAY:-} ]]; then
    echo "The stand-in host shows the plug-in's window and a preview of the filtered frame."
    echo "Use the plug-in's menu, wheel, right button and left drag; press and drag on the preview;"
    echo "Space or the arrow keys in the preview change the frame. Close a window to end."
    mkdir -p build/run
    run_on_wine_display 0 "${wine_loaders[$build]}" "$host" --settings build/run/pandrel-host.ini "${frames[@]}" "$module"
    exit
fi

# Each screenshot is the plug-in's whole window as Wine draws it: frame, title
# bar with the window's own title, menu bar and client area. With no window
# manager on the virtual display the windows are unmanaged, so Wine draws
# their frames itself. The window is made active first, as a click on it
# does; two screenshots show a pop-up of the menu bar opened by a click, with
# the check mark on the current item. The user's pictures are one frame, and
# the views of another frame and of other frame sizes are left out.
next_frame=next
((${#pictures[@]})) && next_frame=
captures=$work/captures
mkdir -p "$captures"
cat >"$captures/views.txt" <<EOF
activate
capture-window ${screenshot_names[1]}.bmp
menu x3
preview-press 110 120
preview-release 110 120
capture-window ${screenshot_names[2]}.bmp
capture-menu 2 ${screenshot_names[3]}.bmp
menu source
menu x6
drag 200 60 100 40
capture-window ${screenshot_names[4]}.bmp
rclick 10 10
menu x2
$next_frame
capture-window ${screenshot_names[5]}${next_frame:+-next-frame}.bmp
capture-menu 1 ${screenshot_names[6]}.bmp
resize 640 300
menu compare
menu fit
capture-window ${screenshot_names[7]}.bmp
EOF
cat >"$captures/sizes.txt" <<EOF
activate
menu x2
preview-press 60 60
capture-window ${screenshot_names[8]}.bmp
EOF
sizes='"$WINELOADER" "$1" --settings sizes.ini --filtered-size 160x120 --script sizes.txt "$2"'
if ((${#pictures[@]})); then
    sizes=true
    shown="your pictures"
else
    shown="its generated frames"
fi
echo "There is no display, so the stand-in host shows $shown on a virtual display and saves" \
    "screenshots."
if ! (cd "$captures" && run_on_wine_display 300 bash -c \
    '"$WINELOADER" "$1" --settings views.ini "${@:3}" --script views.txt "$2" && '"$sizes" \
    run "$host" "$module" "${frames[@]}"); then
    echo "run.sh: the stand-in host did not run its script to the end under Wine; no screenshots" |
        tee -a "$log" >&2
    exit 1
fi
rm -rf "$shots" && mkdir -p "$shots"
for bmp in "$captures"/*.bmp; do
    convert "$bmp" -strip "$shots/$(basename "${bmp%.bmp}").png"
done
echo "Screenshots of the plug-in's window:"
ls -1 "$shots"/*.png | sed "s|^$repo/|  |"
