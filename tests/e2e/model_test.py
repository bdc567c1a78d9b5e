#!/usr/bin/env python3
"""Checks the end-to-end suite's model of the geometry (expected.py) against
every row of tests/support/worked_layouts.h, the table that the unit tests
check the module against: the panes of each view mode, each pane's layout and
the clamped pan centre. Runs without Wine; prints each row that disagrees and
exits nonzero if any does.

  model_test.py [HEADER]
"""
import math
import os
import re
import sys

import expected

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
HEADER = os.path.join(REPO, "tests", "support", "worked_layouts.h")

TOKEN = re.compile(r'\s*(?:(?P<string>"[^"]*")|(?P<number>-?0x[0-9a-fA-F.]+p[-+]?\d+f?'
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
    """The nested lists of a C++ brace initializer of numbers, strings and the
    names above."""
    stack = [[]]
    position = 0
    while position < len(text.rstrip()):
        match = TOKEN.match(text, position)
        if match is None:
            raise ValueError(f"cannot read {text[position:position + 40]!r}")
        position = match.end()
        kind, value = match.lastgroup, match.group(match.lastgroup)
        if kind == "string":
            stack[-1].append(value[1:-1])
        elif kind == "number":
            stack[-1].append(number(value))
        elif kind == "name":
            stack[-1].append(NAMES[value])
        elif value == "{":
            stack.append([])
        elif value == "}":
            done = stack.pop()
            stack[-1].append(done)
    return stack[0]


def tables(path):
    """{table name: (row type, rows)} of every `inline const Type kName[] = {...};`."""
    source = re.sub(r"//[^\n]*", "", open(path, encoding="utf-8").read())
    found = {}
    for match in re.finditer(r"inline const (\w+) (k\w+)\[\] = (\{.*?\n\});", source, re.S):
        found[match.group(2)] = (match.group(1), initializer(match.group(3))[0])
    return found


def same(a, b):
    return a == b or (a != a and b != b)


def pane_case(name, view, side, pane, align, layout):
    """Each disagreement of the model with one pane of a view."""
    client_w, client_h, screen, sw, sh, fw, fh, multi, cx, cy = view
    shown = {kind: (rect, how) for kind, rect, how in expected.panes(client_w, client_h, screen)}
    if side not in shown:
        return [f"{name}: no {side} pane"]
    got_pane, got_align = shown[side]
    problems = []
    if got_pane != tuple(pane) or got_align != align:
        problems.append(f"{name}: pane {got_pane} {got_align}, expected {tuple(pane)} {align}")
    width, height = (sw, sh) if side == "source" else (fw, fh)
    dest, src, fill = expected.layout(got_pane, got_align, width, height, fw, fh, multi, cx, cy)
    got = list(dest) + list(src) + [fill]
    if got != layout:
        problems.append(f"{name}: layout {got}, expected {layout}")
    return problems


def problems(found):
    out = []
    for table, (row_type, rows) in found.items():
        for row in rows:
            if row_type == "WorkedLayout":
                name, view, *sides = row
                for side, worked in zip(("source", "filtered"), sides):
                    if worked:
                        out += pane_case(f"{name} {side}", view, side, *worked[1:])
                    elif side in (kind for kind, *_ in expected.panes(*view[:3])):
                        out.append(f"{name}: the model shows a {side} pane")
            elif row_type == "PaneCase":
                out += pane_case(*row)
            elif row_type == "CentreClampCase":
                name, cx, cy, width, height, want_x, want_y = row
                got = expected.clamp_center(cx, cy, width, height)
                if not (same(got[0], want_x) and same(got[1], want_y)):
                    out.append(f"{name}: centre {got}, expected {(want_x, want_y)}")
            else:
                out.append(f"{table}: rows of type {row_type} are not checked")
    return out


def main():
    found = tables(sys.argv[1] if len(sys.argv) > 1 else HEADER)
    rows = sum(len(rows) for _, rows in found.values())
    out = problems(found)
    for line in out:
        print("FAIL", line)
    print(f"model_test: {rows} rows of {len(found)} tables, {len(out)} disagreements")
    return 1 if out or rows == 0 else 0


if __name__ == "__main__":
    sys.exit(main())
