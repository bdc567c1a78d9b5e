#!/usr/bin/env bash
# The README's screenshots in docs/ are copies of two that `bash scripts/run.sh`
# (without pictures and without a display) writes to build/screenshots/.
#
#   bash scripts/screenshots.sh          copies them into docs/
#   bash scripts/screenshots.sh --check  fails if any pixel of docs/ differs
#
# Pixels are compared, not bytes: the same picture may be encoded otherwise.
# Sets up the machine first (ImageMagick).
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/screenshot_names.sh

# docs/ name | build/screenshots/ name
copies=(
    "compare-x3-menu-magnification.png|${screenshot_names[3]}.png"
    "compare-fit.png|${screenshot_names[7]}.png"
)

check=
outcome=copied
case ${1:-} in
    --check) check=1 outcome=checked ;;
    "") ;;
    *) echo "usage: bash scripts/screenshots.sh [--check]" >&2; exit 2 ;;
esac
bash scripts/setup.sh

differ=0
for copy in "${copies[@]}"; do
    doc=docs/${copy%%|*} shot=build/screenshots/${copy#*|}
    if [[ ! -f $shot ]]; then
        echo "screenshots: $shot is missing: run bash scripts/run.sh without a display first" >&2
        exit 1
    fi
    if [[ -z $check ]]; then
        cp "$shot" "$doc"
        echo "$doc <- $shot"
    elif [[ ! -f $doc ]]; then
        echo "$doc: missing (from $shot)"
        differ=1
    elif [[ $(identify -format '%wx%h' "$doc") != $(identify -format '%wx%h' "$shot") ]]; then
        echo "$doc: $(identify -format '%wx%h' "$doc"), but $shot is $(identify -format '%wx%h' "$shot")"
        differ=1
    else
        status=0
        pixels=$(compare -metric AE "$doc" "$shot" null: 2>&1) || status=$?
        case $status in
            0) echo "$doc: same pixels as $shot" ;;
            1) echo "$doc: $pixels pixels differ from $shot"; differ=1 ;;
            *) echo "$doc: $pixels" >&2; exit 1 ;;
        esac
    fi
done
if ((differ)); then
    echo "screenshots: docs/ is out of date; bash scripts/screenshots.sh copies the new ones" >&2
    exit 1
fi
echo "screenshots: ${#copies[@]} $outcome"
