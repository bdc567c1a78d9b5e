#!/usr/bin/env bash
# Configures and builds the given presets (all of them by default). The
# 32-bit Linux presets get the emulator that runs their test programs where
# the kernel does not run them (none elsewhere).
set -euo pipefail
source "$(dirname "$0")/machine.sh"
cd "$(dirname "$0")/.."

emulator=
machine_runs_32bit || emulator=$(IFS=';' && echo "${i386_emulator[*]}")

presets=("$@")
((${#presets[@]})) || presets=(native native32 sanitize win32 win64)
for preset in "${presets[@]}"; do
    echo "== build: $preset"
    options=()
    [[ $preset == @(native32|bench32) ]] && options=(-DCMAKE_CROSSCOMPILING_EMULATOR="$emulator")
    cmake --preset "$preset" "${options[@]}" >/dev/null
    cmake --build --preset "$preset"
done
