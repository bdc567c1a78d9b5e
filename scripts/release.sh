#!/usr/bin/env bash
# Sets up the machine and builds the release archive
# build/release/Pandrel-0.01.zip: a folder Pandrel-0.01/ holding the 32-bit
# Pandrel.auf, the users' readme (Japanese and English) and the licence, both
# texts in Shift_JIS with Windows line ends, the readme carrying the module's
# SHA-256. The archive's bytes depend only on its contents; its own SHA-256
# goes beside it, in build/release/Pandrel-0.01.zip.sha256.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh win32
/usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf >/dev/null

staging=build/release/Pandrel-0.01
archive=build/release/Pandrel-0.01.zip
rm -rf "$staging" "$archive" "$archive.sha256"
mkdir -p "$staging"
cp build/win32/Pandrel.auf "$staging/"
sha256=$(sha256sum build/win32/Pandrel.auf | cut -d' ' -f1)
windows_text() { sed -e 's/$/\r/' "$1" | iconv -f UTF-8 -t CP932; }
sed -e "s/@SHA256@/$sha256/" release/readme.txt | windows_text /dev/stdin >"$staging/readme.txt"
grep -q "$sha256" "$staging/readme.txt"
windows_text LICENSE >"$staging/LICENSE.txt"
touch -d '2000-01-01 00:00:00 UTC' "$staging"/*
(cd build/release && TZ=UTC zip -q -X -D "$(basename "$archive")" Pandrel-0.01/Pandrel.auf \
    Pandrel-0.01/readme.txt Pandrel-0.01/LICENSE.txt)
rm -rf "$staging"
(cd build/release && sha256sum "$(basename "$archive")" >"$(basename "$archive").sha256")
echo "release: $(pwd)/$archive (Pandrel.auf SHA-256 $sha256)"
echo "release: $(pwd)/$archive.sha256: $(cut -d' ' -f1 "$archive.sha256")"
unzip -l "$archive"
