#!/usr/bin/env bash
# The user's pictures in scripts/run.sh, without Wine: a picture that the
# stand-in host cannot serve stops the job with one message that names the file
# and the reason, before anything is built; one of any width is served, with a
# line for what the module leaves out of it; a picture it can serve is converted
# to the bitmap the host reads (host/frames.cpp, ReadBmp): uncompressed 24-bit
# colour, the first picture of several, turned upright, transparency flattened.
# Needs scripts/setup.sh (ImageMagick).
set -uo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/pictures.sh"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
cd "$work"

passed=0
failed=0
check() {
    if [[ $2 == "$3" ]]; then
        echo "PASS $1"
        passed=$((passed + 1))
    else
        echo "FAIL $1: got '$2', expected '$3'"
        failed=$((failed + 1))
    fi
}

convert -size 320x240 xc:'#3366CC' good.png
convert -size 322x240 xc:'#3366CC' wide.png
convert -size 641x2 xc:'#3366CC' odd-by-one.png
convert -size 1x1 xc:'#3366CC' one-pixel.png
convert -size 1x100 xc:'#3366CC' one-column.png
convert -size 240x322 xc:'#3366CC' -orient RightTop wide-when-upright.tif
echo "not a picture" >notes.txt
mkdir folder

# Arguments | the whole output of run.sh, which must end with status 2.
refusals=(
    "good.png|usage: bash scripts/run.sh [SOURCE FILTERED]  (two pictures, PNG, JPEG, BMP...)"
    "good.png good.png good.png|usage: bash scripts/run.sh [SOURCE FILTERED]  (two pictures, PNG, JPEG, BMP...)"
    "missing.png good.png|run.sh: missing.png: no such file"
    "good.png folder|run.sh: folder: it is a directory"
    "notes.txt good.png|run.sh: notes.txt: not a picture that ImageMagick can read"
)
for row in "${refusals[@]}"; do
    read -r -a arguments <<<"${row%%|*}"
    output=$(bash "$repo/scripts/run.sh" "${arguments[@]}" 2>&1)
    check "run.sh ${row%%|*}" "$? $output" "2 ${row#*|}"
done

# A picture of any width is served | the line run.sh prints for it as the
# filtered picture: none when its rows need no padding.
odd_note="322 pixels wide, rows padded to 968 bytes: the module copies 322 x 240 x 3 bytes, so 478 bytes of pixels at the end of its top row stay black"
served=(
    "good.png|"
    "wide.png|$odd_note"
    "wide-when-upright.tif|$odd_note"
    "odd-by-one.png|641 pixels wide, rows padded to 1924 bytes: the module copies 641 x 2 x 3 bytes, so 1 byte of pixels at the end of its top row stays black"
    # The one missing byte is the row's padding.
    "one-pixel.png|"
    "one-column.png|1 pixel wide, rows padded to 4 bytes: the module copies 1 x 100 x 3 bytes, so 75 bytes of pixels at the end of its top 25 rows stay black"
)
for row in "${served[@]}"; do
    file=${row%%|*}
    check "$file served" "$(unservable_picture "$file")|$(missing_bytes_note "$file")" "|${row#*|}"
done

# How the picture is made | its bitmap's width, height and first pixel (blue,
# green, red; JPEG within 3 of it).
conversions=(
    "-size 8x4 xc:#3366CC photo.jpg|8 4 204 102 51"
    "-size 8x4 xc:#3366CC -depth 16 deep.png|8 4 204 102 51"
    "-size 8x4 xc:gray50 -colorspace Gray gray.png|8 4 127 127 127"
    "-size 8x4 xc:#3366CC palette.gif|8 4 204 102 51"
    "-size 8x4 xc:rgba(200,100,50,0.5) half-transparent.png|8 4 25 50 100"
    "-size 8x4 xc:#3366CC -orient RightTop turned.tif|4 8 204 102 51"
    "-size 8x4 xc:#3366CC ( -size 12x12 xc:red ) two-pictures.gif|8 4 204 102 51"
    "-size 8x4 xc:#3366CC framed.bmp|8 4 204 102 51"
    "-size 7x3 xc:#3366CC odd.png|7 3 204 102 51"
)
for row in "${conversions[@]}"; do
    read -r -a make <<<"${row%%|*}"
    file=${make[-1]}
    convert "${make[@]}"
    rm -f out*.bmp
    picture_to_bmp "$file" out.bmp
    read -r -a expected <<<"${row#*|}"
    got=$(/usr/bin/python3 - "$file" "${expected[@]}" <<'EOF'
import struct, sys
try:
    data = open("out.bmp", "rb").read()
except OSError as error:
    sys.exit(print(error))
width, height, planes, bits, compression = struct.unpack_from("<iiHHI", data, 18)
if data[:2] != b"BM" or bits != 24 or compression != 0:
    sys.exit(print(f"not an uncompressed 24-bit bitmap: {bits} bits, compression {compression}"))
offset = struct.unpack_from("<I", data, 10)[0]
top_row = offset + (height - 1) * ((width * 3 + 3) & ~3) if height > 0 else offset
tolerance = 3 if sys.argv[1].endswith(".jpg") else 0
pixel = [e if abs(p - e) <= tolerance else p
         for p, e in zip(data[top_row:top_row + 3], map(int, sys.argv[4:7]))]
print(width, abs(height), *pixel)
EOF
    )
    check "$file converted" "$got" "${row#*|}"
done
echo "run.sh pictures: $passed passed, $failed failed"
((failed == 0 && passed > 0))
