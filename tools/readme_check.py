#!/usr/bin/env python3
"""Checks the users' readme as it ships, after scripts/release.sh made it.

  readme_check.py README

README must be code page 932 (Shift_JIS) with Windows line ends (CR LF), no
tab, and no line wider than 79 columns (a double-byte character takes two),
so that it fits an 80-column window. A line of dashes divides it into its
Japanese and its English part; each part must hold the sections that this
file's SECTIONS names, in that order. A menu label is a text followed by its
access key in brackets, as the menu shows it: 比較(C). Each label that the
readme quotes must be one of the module's menu, as ui/menu.rc gives it, and
each part must quote every one of them; "A～B" (Japanese) or "A to B"
(English), with A and B labels, quotes A, B and the items between them.
Prints what it checked; exits 1, naming each fault, otherwise.
"""
import os
import re
import sys

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
MENU_RESOURCE = os.path.join(REPO, "ui", "menu.rc")
MAX_COLUMNS = 79

SECTIONS = {
    "Japanese": ["■ 概要", "■ 動作環境", "■ 同梱ファイル", "■ 導入方法", "■ 削除方法",
                 "■ 使い方", "◆ メニュー", "◆ マウス", "◆ タイトルバー", "◆ 設定の保存",
                 "■ 注意事項・既知の制限", "■ 動作確認", "■ バージョンの確認方法",
                 "■ ファイルの確認", "■ 作者・配布元", "■ ライセンス・免責", "■ 更新履歴"],
    "English": ["* Overview", "* Requirements", "* Files in the zip", "* Install",
                "* Uninstall", "* How to use", "** Menu", "** Mouse", "** Title bar",
                "** Settings", "* Notes and known limitations", "* What it has been tested on",
                "* Which version is installed", "* Checking the files",
                "* Author and where to get it", "* Licence and disclaimer",
                "* Version history"],
}
# A label: no space, bracket or quote in it, none just before it, then its key.
QUOTED_LABEL = re.compile(r'(?<![^\s「"/])([^\s「」"/()]+\([A-Z0-9]{1,2}\))')
RANGE_BETWEEN_LABELS = re.compile(r"」?\s*(～|to)\s*「?")


def menu_labels(path=MENU_RESOURCE):
    """The pop-ups' and items' texts of the menu resource, in its order, as
    the menu shows them: the access key's & dropped."""
    texts = re.findall(r'^\s*(?:POPUP|MENUITEM)\s+"([^"]*)"', open(path, encoding="utf-8").read(),
                       re.MULTILINE)
    return [re.sub(r"&(.)", r"\1", text) for text in texts]


def layout_faults(data):
    """Code page 932, CR LF, no tab, the width: (faults, text or None)."""
    try:
        text = data.decode("cp932")
    except UnicodeDecodeError as error:
        line = data[:error.start].count(b"\n") + 1
        return [f"line {line}: byte {error.start} ({data[error.start:error.start + 2].hex()}) is "
                f"not code page 932"], None
    faults = []
    lines = text.split("\n")
    if lines[-1] != "":
        faults.append(f"line {len(lines)}: the last line has no line end")
    for number, line in enumerate(lines[:-1], 1):
        if not line.endswith("\r") or "\r" in line[:-1]:
            faults.append(f"line {number}: a line end other than CR LF")
        if "\t" in line:
            faults.append(f"line {number}: a tab")
        columns = len(line.rstrip("\r").encode("cp932"))
        if columns > MAX_COLUMNS:
            faults.append(f"line {number}: {columns} columns, more than {MAX_COLUMNS}")
    return faults, text


def section_faults(language, lines):
    faults = []
    position = 0
    for heading in SECTIONS[language]:
        if heading in lines[position:]:
            position = lines.index(heading, position) + 1
        else:
            faults.append(f"the {language} part lacks the section \"{heading}\" (or has it out "
                          f"of order)")
    return faults


def label_faults(language, part, first_line, labels):
    faults = []
    quoted = set()
    matches = list(QUOTED_LABEL.finditer(part))
    for match in matches:
        if match.group(1) not in labels:
            line = first_line + part[:match.start()].count("\n")
            faults.append(f"line {line}: {match.group(1)} is no label of the menu in ui/menu.rc "
                          f"({', '.join(labels)})")
        quoted.add(match.group(1))
    for first, last in zip(matches, matches[1:]):
        if (RANGE_BETWEEN_LABELS.fullmatch(part[first.end():last.start()])
                and first.group(1) in labels and last.group(1) in labels):
            quoted.update(labels[labels.index(first.group(1)):labels.index(last.group(1)) + 1])
    faults += [f"the {language} part quotes no {label}, a label of the menu in ui/menu.rc"
               for label in labels if label not in quoted]
    return faults


def check(data, labels):
    """The faults of the readme's bytes."""
    faults, text = layout_faults(data)
    if text is None:
        return faults
    lines = [line.rstrip("\r") for line in text.split("\n")]
    dividers = [number for number, line in enumerate(lines) if re.fullmatch(r"-{10,}", line)]
    if len(dividers) != 1:
        return faults + [f"{len(dividers)} lines of dashes, not one between the Japanese and the "
                         f"English part"]
    parts = {"Japanese": (1, lines[:dividers[0]]),
             "English": (dividers[0] + 2, lines[dividers[0] + 1:])}
    for language, (first_line, part) in parts.items():
        faults += section_faults(language, part)
        faults += label_faults(language, "\n".join(part), first_line, labels)
    return faults


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    path = sys.argv[1]
    labels = menu_labels()
    faults = check(open(path, "rb").read(), labels)
    for fault in faults:
        print(f"FAIL {path}: {fault}")
    print(f"readme: {path}: " + (f"faults: {len(faults)}" if faults else
                                 f"code page 932, CR LF, at most {MAX_COLUMNS} columns; in Japanese "
                                 f"and in English {len(SECTIONS['Japanese'])} sections and the "
                                 f"{len(labels)} menu labels of ui/menu.rc"))
    return 1 if faults else 0


if __name__ == "__main__":
    sys.exit(main())
