#!/usr/bin/env python3
"""Faults that the checks exist to catch, and what each check must print.

  mutants.py list                   names of the source mutants, one per line
  mutants.py stages NAME            the stages expected to catch the mutant
  mutants.py apply NAME DIR         applies one to the source tree DIR
  mutants.py judge NAME STAGE STATUS LOG
                                    the verdict of one stage that ran on the
                                    mutant, exited with STATUS (124: timed
                                    out) and printed LOG
                                    (NAME "patched": the patched module's PE check)
  mutants.py patch-module AUF       patches a post-i486 instruction into a module

Each source mutant is one textual change; applying fails loudly if the code
it changes has moved, so that a mutant never silently turns into a no-op.

Each names, per stage, a pattern that the stage's output must contain: a test
that FAILED (native, native32), a FAIL line (e2e, the hostile end-to-end
pass), a fault message of the fake platform. A stage that fails otherwise
caught it for the wrong reason; a crash counts only for a memory mutant (one
marked with `crash`), a timeout never.
"""
import re
import sys

import pefile

STAGES = ("native", "native32", "sanitize", "e2e")


def failed(test):
    """A GoogleTest test reported as failed (a pattern over its full name)."""
    return r"\[  FAILED  \] " + test


def e2e_failed(check):
    return r"^FAIL " + check


def fault(message):
    """A failed check of the fake platform or host, or of AddressSanitizer."""
    return re.escape(message)


CALLER_STATE_GEOMETRY = failed(r"CallerStates/ThreadFloatStateTest\.GeometryIsExact")
CALLER_STATE_DRAG = failed(r"CallerStates/DragUnderThreadStateTest\.")
CALLER_STATE_PREVIEW = failed(r"CallerStates/PreviewUnderThreadStateTest\.")
STATE_GIVEN_BACK = e2e_failed(r".*: floating-point state given back")
PICTURE_OF = lambda run: e2e_failed(run + r": .*: picture")  # noqa: E731
STATE_CHANGED_AT = lambda call: fault(f"floating-point state changed ({call})")  # noqa: E731
PADDED_HEADER_FORGOTTEN = failed(r"LargestSizes/ReserveAgainTest\.KeepsOnlyAHeaderThatFitsItsNewBuffer"
                                 r"/PictureFitsButNotItsPaddedRows")
PADDED_ROW_ROUNDING = failed(
    r"LargestSizes/AllocationSizeTest\.ReservesOnlyARepresentablePositiveSize/WidthThreeModuloFour")
PADDED_COPY = failed(r"Widths/PictureWidthTest\.CopiesExactlyThePictureAndBlitsInsideTheBuffers")
EITHER_BUFFER_MISSING = failed(
    r"Frames/EarlyExitTest\.FrameStopsBeforeItIsCaptured/(Source|Filtered)AllocationFailed")
PREVIEW_POINT = failed(r"WindowMessagesTest\.PreviewPointBecomesTheClampedCentre")
UNEQUAL_DRAG = failed(r"CallerStates/DragUnderThreadStateTest\..*UnequalFactors")
ANY_NONZERO_YES = failed(r"YesAnswers/FirstCaptureTest\.")
DRAG_END_WHILE_FITTED = failed(r"Rows/DragSequenceTest\..*MoveWithoutTheButtonWhileFitted")
OWN_BUFFER = failed(r"Frames/UnequalBuffersTest\.")


class Mutant:
    def __init__(self, path, pattern, replacement, expect, crash=False):
        self.path, self.pattern, self.replacement = path, pattern, replacement
        self.expect = expect  # stage: pattern its output must contain
        self.crash = crash  # a memory fault: a crash of the stage counts


# The clamp only converts a bound to float and compares: exact in any state
# while the bound is at most 2^24, as any picture the host can hold is; a
# preview point is a 16-bit integer. So no picture can tell these two; the
# 32-bit suite reaches them with a filtered width of 2^24 + 3 and a caller
# that unmasks the precision exception.
MUTANTS = {
    "layout computed under the caller's state": Mutant(
        "view/pane_layout.cpp", r"UnderModuleFloatState\(LayoutPane, ", "(LayoutPane)(",
        {"native32": CALLER_STATE_GEOMETRY, "e2e": PICTURE_OF("edges")}),
    "clamp computed under the caller's state": Mutant(
        "view/pane_layout.cpp", r"UnderModuleFloatState\(ClampCenter, ", "(ClampCenter)(",
        {"native32": CALLER_STATE_GEOMETRY}),
    "preview point converted under the caller's state": Mutant(
        "view/pane_layout.cpp", r"UnderModuleFloatState\(ClampPoint, ", "(ClampPoint)(",
        {"native32": CALLER_STATE_PREVIEW}),
    "drag scales computed under the caller's state": Mutant(
        "ui/window_messages.cpp", r"UnderModuleFloatState\(SourcePaneScales, ", "(SourcePaneScales)(",
        {"native32": CALLER_STATE_DRAG, "e2e": PICTURE_OF("edges")}),
    "drag step computed under the caller's state": Mutant(
        "ui/window_messages.cpp", r"UnderModuleFloatState\(\s*DraggedCenter, ", "(DraggedCenter)(",
        {"native32": CALLER_STATE_DRAG, "e2e": PICTURE_OF("edges")}),
    "leave restores only the control word": Mutant(
        "plugin/float_state.cpp", r"const uint16_t raised = [^;]*;", "const uint16_t raised = 0;",
        {"native32": CALLER_STATE_GEOMETRY, "e2e": STATE_GIVEN_BACK}),
    "leave never clears the flags it raised": Mutant(
        "plugin/float_state.cpp", r'\n *__asm__ volatile\("fnclex"\);', "",
        {"native32": CALLER_STATE_GEOMETRY, "e2e": STATE_GIVEN_BACK}),
    "leave puts back no status through the environment": Mutant(
        "plugin/float_state.cpp", r"\n *environment\.status = [^;]*;", "",
        {"native32": CALLER_STATE_GEOMETRY, "e2e": STATE_GIVEN_BACK}),
    "leave keeps the module's control word": Mutant(
        "plugin/float_state.cpp",
        r'__asm__ volatile\("fldcw %0" : : "m"\(caller\.x87Control\) : "memory"\);', "",
        {"native32": CALLER_STATE_GEOMETRY, "e2e": STATE_GIVEN_BACK}),
    "enter never loads the module's control word": Mutant(
        "plugin/float_state.cpp", r'__asm__ volatile\("fldcw %0" : : "m"\(moduleX87Control\)\);',
        "", {"native32": CALLER_STATE_GEOMETRY, "e2e": PICTURE_OF("(edges|precision)")}),
    "module precision 64-bit": Mutant(
        "plugin/float_state.cpp", r"moduleX87Control = 0x027F;", "moduleX87Control = 0x037F;",
        {"native32": failed(r"CallerStates/DragUnderThreadStateTest\..*EvaluatedInOrderRoundedOnce"),
         "e2e": PICTURE_OF("precision")}),
    "64-bit switch never loads the module's MXCSR": Mutant(
        "plugin/float_state.cpp", r'\n *__asm__ volatile\("ldmxcsr %0" : : "m"\(module\)\);', "",
        {"native": CALLER_STATE_GEOMETRY}),
    "platform call made under the module's state": Mutant(
        "view/paint_view.cpp", r"    SetStretchBltMode\(dc, COLORONCOLOR\);",
        "    const CallerFloatState caller = EnterModuleFloatState();\n"
        "    SetStretchBltMode(dc, COLORONCOLOR);\n"
        "    LeaveModuleFloatState(caller);",
        {"native": STATE_CHANGED_AT("SetStretchBltMode"),
         "native32": STATE_CHANGED_AT("SetStretchBltMode"), "e2e": STATE_GIVEN_BACK}),
    "sprintf called under the module's state": Mutant(
        "view/paint_view.cpp", r'        sprintf\(zoomText, "x%d", viewState.multi\);',
        "        const CallerFloatState caller = EnterModuleFloatState();\n"
        '        sprintf(zoomText, "x%d", viewState.multi);\n'
        "        LeaveModuleFloatState(caller);",
        {"native": STATE_CHANGED_AT("sprintf"), "native32": STATE_CHANGED_AT("sprintf"),
         "e2e": STATE_GIVEN_BACK}),
    "header kept by its unpadded size": Mutant(
        "capture/frame_store.cpp",
        r"if \(BlitBytes\(info\.bmiHeader\.biWidth, info\.bmiHeader\.biHeight\) > capacity\)",
        "if (PictureBytes(info.bmiHeader.biWidth, info.bmiHeader.biHeight) > capacity)",
        {"native": PADDED_HEADER_FORGOTTEN, "native32": PADDED_HEADER_FORGOTTEN,
         "sanitize": PADDED_HEADER_FORGOTTEN}),
    "padded byte count copied": Mutant(
        "capture/frame_store.cpp",
        r"memcpy\(frameStore\.filteredPixels, displayed, PictureBytes\(width, height\)\);",
        "memcpy(frameStore.filteredPixels, displayed, BlitBytes(width, height));",
        {"native": PADDED_COPY, "native32": PADDED_COPY,
         "sanitize": fault("AddressSanitizer: heap-buffer-overflow"),
         "e2e": PICTURE_OF("padded-rows")}, crash=True),
    "padded row rounded by 2": Mutant(
        "capture/frame_store.cpp", r"__builtin_add_overflow\(row, 3, &row\)",
        "__builtin_add_overflow(row, 2, &row)",
        {"native": PADDED_ROW_ROUNDING, "native32": PADDED_ROW_ROUNDING}),
    "one missing buffer taken for both": Mutant(
        "capture/frame_store.cpp",
        r"frameStore\.sourcePixels == nullptr \|\| frameStore\.filteredPixels == nullptr\) return 1;",
        "frameStore.sourcePixels == nullptr && frameStore.filteredPixels == nullptr) return 1;",
        {"native": EITHER_BUFFER_MISSING, "native32": EITHER_BUFFER_MISSING}),
    "preview move ignored at x1": Mutant(
        "ui/window_messages.cpp", r"viewState\.mainMouseDown && viewState\.multi > 0",
        "viewState.mainMouseDown && viewState.multi > 1",
        {"native": PREVIEW_POINT, "native32": PREVIEW_POINT}),
    "vertical drag step over the horizontal factor": Mutant(
        "ui/window_messages.cpp", r"dy / static_cast<double>\(multi\) / scales\.y",
        "dy / static_cast<double>(multi) / scales.x",
        {"native": UNEQUAL_DRAG, "native32": UNEQUAL_DRAG, "e2e": PICTURE_OF("nonzero-yes")}),
    "capture only when isActive answers exactly 1": Mutant(
        "capture/frame_store.cpp", r"if \(!host->isActive\(editHandle\)\) return 1;",
        "if (host->isActive(editHandle) != 1) return 1;",
        {"native": ANY_NONZERO_YES, "native32": ANY_NONZERO_YES,
         "e2e": PICTURE_OF("nonzero-yes")}),
    "a move without the button ends no drag while fitted": Mutant(
        "ui/window_messages.cpp",
        r"(    if \(!\(wParam & MK_LBUTTON\)\) \{\n.*\n.*\n    \}\n)(.*multi <= 0\) return;\n)",
        r"\2\1",
        {"native": DRAG_END_WHILE_FITTED, "native32": DRAG_END_WHILE_FITTED}),
    "filtered picture checked against the source buffer": Mutant(
        "capture/frame_store.cpp", r"FitsBuffer\(width, height, frameStore\.filteredCapacity\)",
        "FitsBuffer(width, height, frameStore.sourceCapacity)",
        {"native": OWN_BUFFER, "native32": OWN_BUFFER}),
}

# tzcnt %eax,%eax: a 486 runs it as bsf, with another result for zero.
FORBIDDEN_INSTRUCTION = bytes.fromhex("f30fbcc0")
PATCHED_EXPECTATION = r"^FAIL code: tzcnt, which the i486 and its x87 lack"


def apply(name, tree):
    mutant = MUTANTS[name]
    full = f"{tree}/{mutant.path}"
    text = open(full, encoding="utf-8").read()
    changed, count = re.subn(mutant.pattern, mutant.replacement, text)
    if count != 1:
        sys.exit(f"mutant '{name}': expected one match of {mutant.pattern!r} in {mutant.path}, "
                 f"found {count}")
    include = '#include "plugin/float_state.h"\n'
    if "EnterModuleFloatState" in mutant.replacement and include not in changed:
        changed = changed.replace('#include "view/pane_layout.h"',
                                  include + '#include "view/pane_layout.h"')
    open(full, "w", encoding="utf-8").write(changed)


CRASH = re.compile(r"Subprocess aborted|SEGFAULT|Exception: |ERROR: AddressSanitizer")


def judge(expectation, crash_counts, status, log):
    """caught, crashed (a memory mutant's crash), MISSED, timed out or wrong
    reason (followed by the first lines that say what failed)."""
    if status == 0:
        return "MISSED"
    if status == 124:
        return "timed out"
    if re.search(expectation, log, re.M):
        return "caught"
    if crash_counts and CRASH.search(log):
        return "crashed"
    reasons = re.findall(r"^(?:\[  FAILED  \] (?!\d+ tests?,)\S+|FAIL .*|fault: .*"
                         r"|\s*\d+ - \S+ \(.*\)$)", log, re.M)
    named = dict.fromkeys(reason.strip() for reason in reasons[:6])
    return "wrong reason: " + ("; ".join(named) or "no failure named")


def patch_module(path):
    pe = pefile.PE(path)
    text = next(s for s in pe.sections if s.Name.rstrip(b"\0") == b".text")
    data = bytearray(open(path, "rb").read())
    start = text.PointerToRawData
    data[start:start + len(FORBIDDEN_INSTRUCTION)] = FORBIDDEN_INSTRUCTION
    open(path, "wb").write(data)


def main():
    command, arguments = sys.argv[1:2], sys.argv[2:]
    if command == ["list"] and not arguments:
        print("\n".join(MUTANTS))
    elif command == ["stages"] and len(arguments) == 1:
        print(" ".join(s for s in STAGES if s in MUTANTS[arguments[0]].expect))
    elif command == ["apply"] and len(arguments) == 2:
        apply(*arguments)
    elif command == ["judge"] and len(arguments) == 4:
        name, stage, status, path = arguments
        log = open(path, encoding="utf-8", errors="replace").read()
        if name == "patched":
            print(judge(PATCHED_EXPECTATION, False, int(status), log))
        else:
            mutant = MUTANTS[name]
            print(judge(mutant.expect[stage], mutant.crash, int(status), log))
    elif command == ["patch-module"] and len(arguments) == 1:
        patch_module(arguments[0])
    else:
        sys.exit(__doc__)


if __name__ == "__main__":
    main()
