#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root) and
# generates the Japanese locale that Wine needs for code page 932.
set -euo pipefail

packages=(
    cmake g++ clang libgtest-dev libbenchmark-dev libclang-rt-14-dev
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 xvfb xauth locales python3-pefile imagemagick zip unzip
)

missing=()
for package in "${packages[@]}"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' ||
        missing+=("$package")
done
if ((${#missing[@]})); then
    echo "setup: installing ${missing[*]}"
    apt-get update -qq
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" >/dev/null
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
    echo "setup: generating ja_JP.UTF-8"
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >/dev/null
fi
