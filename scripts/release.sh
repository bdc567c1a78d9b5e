#!/usr/bin/env bash
# Sets up the machine and builds the release archive
# build/release/Pandrel-VERSION.zip (VERSION: the file's `version`): a folder
# Pandrel-VERSION/ holding the 32-bit
# Pandrel.auf, the users' readme (Japanese and English) and the licence, both
# texts in Shift_JIS with Windows line ends, the readme carrying the module's
# SHA-256 and checked as it ships (tools/readme_check.py). The archive's bytes
# depend only on its contents; its own SHA-256 goes beside it, in
# build/release/Pandrel-VERSION.zip.sha256. The zip's name, its readme and its
# module must all carry VERSION's versions (tools/version_check.py).
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh win32
if ! check=$(/usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf); then
    echo "$check"
    exit 1
fi

source ./VERSION
folder=Pandrel-$version
staging=build/release/$folder
archive=build/release/$folder.zip
rm -rf "$staging" "$archive" "$archive.sha256"
mkdir -p "$staging"
cp build/win32/Pandrel.auf "$staging/"
sha256=$(sha256sum build/win32/Pandrel.auf | cut -d' ' -f1)
windows_text() { sed -e 's/$/\r/' "$1" | iconv -f UTF-8 -t CP932; }
sed -e "s/@SHA256@/$sha256/; s/@VERSION@/$version/g; s/@FILE_VERSION@/$file_version/g" release/readme.txt | windows_text /dev/stdin >"$staging/readme.txt"
grep -q "$sha256" "$staging/readme.txt"
/usr/bin/python3 tools/readme_check.py "$staging/readme.txt"
windows_text LICENSE >"$staging/LICENSE.txt"
touch -d '2000-01-01 00:00:00 UTC' "$staging"/*
(cd build/release && TZ=UTC zip -q -X -D "$(basename "$archive")" "$folder/Pandrel.auf" \
    "$folder/readme.txt" "$folder/LICENSE.txt")
rm -rf "$staging"
(cd build/release && sha256sum "$(basename "$archive")" >"$(basename "$archive").sha256")
echo "release: $(pwd)/$archive (Pandrel.auf SHA-256 $sha256)"
echo "release: $(pwd)/$archive.sha256: $(cut -d' ' -f1 "$archive.sha256")"
/usr/bin/python3 tools/version_check.py "$archive"
unzip -l "$archive"
