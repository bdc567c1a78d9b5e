#!/usr/bin/env python3
"""Faults that the floating-point and instruction checks exist to catch.

  mutants.py list              names of the source mutants, one per line
  mutants.py exact NAME        succeeds when the mutant's results are exact in
                               any state the host can give, so that no picture
                               can tell it (only the 32-bit suite can)
  mutants.py apply NAME DIR    applies one to the source tree DIR
  mutants.py patch-module AUF  patches a post-i486 instruction into a module

Each source mutant is one textual change; applying fails loudly if the code
it changes has moved, so that a mutant never silently turns into a no-op.
"""
import re
import sys

import pefile

# name: (file, pattern, replacement)
MUTANTS = {
    "layout computed under the caller's state": (
        "view/pane_layout.cpp", r"UnderModuleFloatState\(LayoutPane, ", "(LayoutPane)("),
    "clamp computed under the caller's state": (
        "view/pane_layout.cpp", r"UnderModuleFloatState\(ClampCenter, ", "(ClampCenter)("),
    "preview point converted under the caller's state": (
        "view/pane_layout.cpp", r"UnderModuleFloatState\(ClampPoint, ", "(ClampPoint)("),
    "drag scales computed under the caller's state": (
        "ui/window_messages.cpp", r"UnderModuleFloatState\(SourcePaneScales, ", "(SourcePaneScales)("),
    "drag step computed under the caller's state": (
        "ui/window_messages.cpp", r"UnderModuleFloatState\(\s*DraggedCenter, ", "(DraggedCenter)("),
    "leave restores only the control word": (
        "plugin/float_state.cpp", r"const uint16_t raised = [^;]*;", "const uint16_t raised = 0;"),
    "module precision 64-bit": (
        "plugin/float_state.cpp", r"moduleX87Control = 0x027F;", "moduleX87Control = 0x037F;"),
    "platform call made under the module's state": (
        "view/paint_view.cpp", r"    SetStretchBltMode\(dc, COLORONCOLOR\);",
        "    const CallerFloatState caller = EnterModuleFloatState();\n"
        "    SetStretchBltMode(dc, COLORONCOLOR);\n"
        "    LeaveModuleFloatState(caller);"),
}

# The clamp only converts a bound to float and compares: exact in any state
# while the bound is at most 2^24, as any picture the host can hold is; a
# preview point is a 16-bit integer. The 32-bit suite reaches them with a
# filtered width of 2^24 + 3 and a caller that unmasks the precision exception.
EXACT_IN_ANY_STATE = {
    "clamp computed under the caller's state",
    "preview point converted under the caller's state",
}

# tzcnt %eax,%eax: a 486 runs it as bsf, with another result for zero.
FORBIDDEN_INSTRUCTION = bytes.fromhex("f30fbcc0")


def apply(name, tree):
    path, pattern, replacement = MUTANTS[name]
    full = f"{tree}/{path}"
    text = open(full, encoding="utf-8").read()
    changed, count = re.subn(pattern, replacement, text)
    if count != 1:
        sys.exit(f"mutant '{name}': expected one match of {pattern!r} in {path}, found {count}")
    if path == "view/paint_view.cpp":
        changed = changed.replace('#include "view/pane_layout.h"',
                                  '#include "plugin/float_state.h"\n#include "view/pane_layout.h"')
    open(full, "w", encoding="utf-8").write(changed)


def patch_module(path):
    pe = pefile.PE(path)
    text = next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".text")
    data = bytearray(open(path, "rb").read())
    start = text.PointerToRawData
    data[start:start + len(FORBIDDEN_INSTRUCTION)] = FORBIDDEN_INSTRUCTION
    open(path, "wb").write(data)


def main():
    command = sys.argv[1:2]
    if command == ["list"]:
        print("\n".join(MUTANTS))
    elif command == ["exact"] and len(sys.argv) == 3:
        sys.exit(0 if sys.argv[2] in EXACT_IN_ANY_STATE else 1)
    elif command == ["apply"] and len(sys.argv) == 4:
        apply(sys.argv[2], sys.argv[3])
    elif command == ["patch-module"] and len(sys.argv) == 3:
        patch_module(sys.argv[2])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
