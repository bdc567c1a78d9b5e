#!/usr/bin/env python3
"""Checks that two builds compile the module's sources with the same code
generation: the same -O, -m and -f options, in the same order, for every
module source that both compile (the last -O counts; -m32, which picks the
multilib compiler's target, and debug information may differ).

  codegen_check.py BUILD_DIR OTHER_BUILD_DIR   e.g. build/native32 build/win32
"""
import json
import os
import shlex
import sys

ROOT = os.path.realpath(os.path.join(os.path.dirname(__file__), ".."))
with open(os.path.join(ROOT, "cmake", "module_folders.txt"), encoding="utf-8") as f:
    MODULE_DIRS = f.read().split()


def code_generation(entry):
    words = entry.get("arguments") or shlex.split(entry["command"])
    options = [w for w in words[1:] if w[:2] in ("-O", "-m", "-f") and w != "-m32"]
    levels = [w for w in options if w.startswith("-O")]
    return [w for w in options if not w.startswith("-O")] + levels[-1:]


def module_sources(build):
    with open(os.path.join(build, "compile_commands.json"), encoding="utf-8") as f:
        entries = json.load(f)
    sources = {}
    for entry in entries:
        path = os.path.relpath(os.path.realpath(entry["file"]), ROOT)
        if path.split(os.sep)[0] in MODULE_DIRS:
            sources[path] = code_generation(entry)
    return sources


def main():
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    first, second = (module_sources(build) for build in sys.argv[1:])
    shared = sorted(first.keys() & second.keys())
    failures = 0
    if not shared:
        print("FAIL no module source is compiled by both builds")
        failures += 1
    for path in shared:
        if first[path] != second[path]:
            print(f"FAIL {path}:\n  {sys.argv[1]}: {' '.join(first[path])}\n"
                  f"  {sys.argv[2]}: {' '.join(second[path])}")
            failures += 1
    if failures:
        sys.exit(1)
    print(f"{len(shared)} module sources compiled alike: {' '.join(first[shared[0]])}")


if __name__ == "__main__":
    main()
