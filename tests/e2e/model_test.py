#!/usr/bin/env python3
"""Checks the end-to-end suite's model of the geometry (expected.py) against
every row of tests/support/worked_layouts.h, the table that the unit tests
check the module against: the panes of each view mode, each pane's layout and
the clamped pan centre. Prints each row that disagrees; exits nonzero if any
does, or if it read no row.
"""
import math
import os
import re
import sys

import expected

HEADER = os.path.join(os.path.dirname(__file__), "..", "support", "worked_layouts.h")
TOKEN = re.compile(r'\s*(?:"(?P<string>[^"]*)"|(?P<number>-?0x[0-9a-fA-F.]+p[-+]?\d+f?'
                   r'|-?\d+\.\d*(?:e[-+]?\d+)?f?|-?\d+)|(?P<name>-?\w+)|(?P<mark>[{},]))')
NAMES = {"true": True, "false": False, "kNaN": math.nan, "kInfinity": math.inf,
         "-kInfinity": -math.inf, "INT32_MAX": expected.INT32_MAX,
         "INT32_MIN": expected.INT32_MIN, "alignRight": "right", "alignLeft": "left",
         "alignCenter": "center", "sourceSide": "source", "filteredSide": "filtered"}


def number(text):
    text = text[:-1] if text.endswith("f") else text  # after digits or an exponent: the suffix
    if "p" in text:
        return float.fromhex(text)
    return float(text) if "." in text else int(text)


def initializer(text):
    """The nested lists of a brace initializer of numbers, strings and NAMES."""
    stack = [[]]
    for match in TOKEN.finditer(text.strip()):
        kind, value = match.lastgroup, match.group(match.lastgroup)
        if kind == "mark" and value != ",":
            stack.append([]) if value == "{" else stack[-2].append(stack.pop())
        elif kind != "mark":
            stack[-1].append({"string": str, "number": number, "name": NAMES.get}[kind](value))
    return stack[0][0]


def tables(path):
    """(row type, rows) of every `inline const Type kName[] = {...};`."""
    source = re.sub(r"//[^\n]*", "", open(path, encoding="utf-8").read())
    return [(m.group(1), initializer(m.group(2)))
            for m in re.finditer(r"inline const (\w+) k\w+\[\] = (\{.*?\n\});", source, re.S)]


def pane_problems(name, view, side, pane, align, layout):
    client_w, client_h, screen, sw, sh, fw, fh, multi, cx, cy = view
    shown = {kind: (rect, how) for kind, rect, how in expected.panes(client_w, client_h, screen)}
    if side not in shown:
        return [f"{name}: no {side} pane"]
    got_pane, got_align = shown[side]
    width, height = (sw, sh) if side == "source" else (fw, fh)
    dest, src, fill = expected.layout(got_pane, got_align, width, height, fw, fh, multi, cx, cy)
    got = [list(got_pane), got_align, list(dest) + list(src) + [fill]]
    return [] if got == [pane, align, layout] else [f"{name}: {got}, expected {[pane, align, layout]}"]


def row_problems(row_type, row):
    if row_type == "PaneCase":
        return pane_problems(*row)
    if row_type == "CentreClampCase":
        name, cx, cy, width, height, *want = row
        got = list(expected.clamp_center(cx, cy, width, height))
        return [] if got == want else [f"{name}: centre {got}, expected {want}"]
    name, view, *sides = row  # a WorkedLayout
    shown = [kind for kind, *_ in expected.panes(*view[:3])]
    return [problem for side, worked in zip(("source", "filtered"), sides)
            for problem in (pane_problems(f"{name} {side}", view, side, *worked[1:]) if worked
                            else [f"{name}: a {side} pane"] if side in shown else [])]


def main():
    found = tables(HEADER)
    problems = [p for row_type, rows in found for row in rows for p in row_problems(row_type, row)]
    for problem in problems:
        print("FAIL", problem)
    rows = sum(len(rows) for _, rows in found)
    print(f"model_test: {rows} rows of {len(found)} tables, {len(problems)} disagreements")
    return 1 if problems or rows == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
