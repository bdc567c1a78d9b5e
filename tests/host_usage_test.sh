#!/usr/bin/env bash
# The stand-in host's usage text against docs/stand-in-host.md: the tables of
# options and actions there must name what the host's --help prints, every
# option, and every action with its arguments, in the host's order. Runs the
# host of the build that runs by hand here (scripts/wine_prefix.sh) under Wine;
# needs scripts/setup.sh and that build.
set -uo pipefail
source "$(dirname "$0")/../scripts/machine.sh"
cd "$(dirname "$0")/.."
source scripts/wine_prefix.sh

build=$(stand_in_build)
host=build/$build/host/pandrel-host.exe
[[ -f $host ]] || { echo "host usage: $host is missing: bash scripts/build.sh $build first"; exit 1; }
set_wine_environment "$build"
export "${wine_environment[@]}"
work=$(mktemp -d)
export WINEPREFIX=$work/prefix
trap 'wineserver -k 2>/dev/null; rm -rf "$work"' EXIT

prepare_wine_prefix 5 || exit 1
"$WINELOADER" "$host" --help >"$work/usage.txt" 2>"$work/stderr.txt" || {
    echo "host usage: $host --help failed:"
    cat "$work/stderr.txt"
    exit 1
}

/usr/bin/python3 - "$work/usage.txt" docs/stand-in-host.md <<'PYTHON'
import re
import sys

usage = open(sys.argv[1], encoding="utf-8").read().replace("\r\n", "\n")
docs = open(sys.argv[2], encoding="utf-8").read()


def table_column(heading):
    """The first column of the table under `## heading`, its cells split at commas."""
    section = docs.split(f"\n## {heading}\n", 1)[1].split("\n## ", 1)[0]
    rows = [line for line in section.splitlines() if line.startswith("| `")]
    return [cell for row in rows for cell in re.findall(r"`([^`]+)`", row.split("|")[1])]


options_text, actions_text = usage.split("\nActions:\n", 1)
host_options = sorted(set(re.findall(r"^  (--[a-z-]+)(?: --[a-z-]+)*", options_text, re.M)) |
                      set(re.findall(r"^  --\S+ \S+ (--[a-z-]+)", options_text, re.M)))
docs_options = sorted({word for cell in table_column("Options")
                       for word in re.findall(r"--[a-z-]+", cell)})
host_actions = [re.split(r"  +", line.strip())[0] for line in actions_text.splitlines()
                if line.strip()]
docs_actions = table_column("Actions")

checks = [("options", host_options, docs_options), ("actions", host_actions, docs_actions)]
failed = 0
for name, host, documented in checks:
    if host and host == documented:
        print(f"PASS {name}: {len(host)} in the host's usage and in the docs alike")
        continue
    failed += 1
    print(f"FAIL {name}: the host's usage and docs/stand-in-host.md differ")
    print(f"  only in the host's usage: {[item for item in host if item not in documented]}")
    print(f"  only in the docs: {[item for item in documented if item not in host]}")
    if set(host) == set(documented):
        print(f"  the host's order: {host}")
print(f"host usage: {len(checks) - failed} checks passed, {failed} failed")
sys.exit(1 if failed else 0)
PYTHON
