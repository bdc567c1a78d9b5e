#!/usr/bin/env bash
# The main job: sets up the machine, builds the module and checks it.
set -euo pipefail
cd "$(dirname "$0")/.."

bash scripts/setup.sh
bash scripts/build.sh win32 win64
/usr/bin/python3 tools/pe_check.py build/win32/Pandrel.auf
echo
echo "Pandrel.auf (32-bit Windows, to install into the host): $(pwd)/build/win32/Pandrel.auf"
