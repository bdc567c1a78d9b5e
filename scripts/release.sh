#!/usr/bin/env bash
# Builds the release archive build/release/Pandrel-0.01.zip: the 32-bit
# Pandrel.auf and the users' readme (Japanese and English) in Shift_JIS with
# Windows line ends, carrying the module's SHA-256. The archive's bytes depend
# only on its contents.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/build.sh win32
/usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf >/dev/null

staging=build/release/Pandrel-0.01
archive=build/release/Pandrel-0.01.zip
rm -rf "$staging" "$archive"
mkdir -p "$staging"
cp build/win32/Pandrel.auf "$staging/"
sha256=$(sha256sum build/win32/Pandrel.auf | cut -d' ' -f1)
sed -e "s/@SHA256@/$sha256/" -e 's/$/\r/' release/readme.txt | iconv -f UTF-8 -t CP932 >"$staging/readme.txt"
grep -q "$sha256" "$staging/readme.txt"
touch -d '2000-01-01 00:00:00 UTC' "$staging"/*
(cd build/release && TZ=UTC zip -q -X -D "$(basename "$archive")" Pandrel-0.01/Pandrel.auf \
    Pandrel-0.01/readme.txt)
rm -rf "$staging"
echo "release: $(pwd)/$archive (Pandrel.auf SHA-256 $sha256)"
unzip -l "$archive"
