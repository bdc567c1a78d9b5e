#!/usr/bin/env python3
"""Checks that a release zip carries the version of VERSION everywhere.

  version_check.py ZIP

The zip's name and its one folder, the users' readme (its titles, and the
information text and file version it quotes; a missing history line is only
noted), and the module in it (its information text and version resource,
by tools/pe_check.py) must all give VERSION's versions. Prints what it
checked; exits 1, naming each disagreement, otherwise.
"""
import os
import subprocess
import sys
import tempfile
import zipfile

REPO = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))


def read_versions(path=os.path.join(REPO, "VERSION")):
    """VERSION's `version` and `file_version`."""
    values = {}
    for line in open(path, encoding="utf-8"):
        if "=" in line and not line.startswith("#"):
            key, value = line.strip().split("=", 1)
            values[key] = value
    return values["version"], values["file_version"]


def readme_expectations(version, file_version):
    return [
        f"Pandrel version {version} (Windows 98 以降用)",
        f"「Pandrel version {version}(98以降用) by Pelmar」",
        f"ファイルバージョン {file_version}({version} のもの)",
        f"Pandrel version {version} (for Windows 98 and later)",
        f"\"Pandrel version {version}(98以降用) by Pelmar\"",
        f"file version {file_version} for {version}",
    ]


def check(archive):
    version, file_version = read_versions()
    folder = f"Pandrel-{version}"
    problems = []
    if os.path.basename(archive) != f"{folder}.zip":
        problems.append(f"the zip is named {os.path.basename(archive)}, not {folder}.zip")
    with zipfile.ZipFile(archive) as zip_file:
        names = sorted(zip_file.namelist())
        expected = sorted(f"{folder}/{name}" for name in ("LICENSE.txt", "Pandrel.auf", "readme.txt"))
        if names != expected:
            problems.append(f"the zip holds {names}, not {expected}")
            return problems
        readme = zip_file.read(f"{folder}/readme.txt").decode("cp932")
        history_lines = readme.count(f"\r\n{version}  ")
        for text in readme_expectations(version, file_version):
            if text not in readme:
                problems.append(f"readme.txt lacks {text.strip()!r}")
        if history_lines != 2:
            print(f"version: note: readme.txt has {history_lines} history lines for {version}, "
                  f"one in each language is due (docs/releasing.md)")
        with tempfile.TemporaryDirectory() as scratch:
            module = zip_file.extract(f"{folder}/Pandrel.auf", scratch)
            pe_check = subprocess.run(
                [sys.executable, os.path.join(REPO, "tools", "pe_check.py"), module],
                capture_output=True, text=True)
            if pe_check.returncode != 0:
                problems += [line for line in pe_check.stdout.splitlines()
                             if line.startswith("FAIL")] or ["the module's PE check failed"]
    print(f"version: {archive}: {version}, file version {file_version}, in its name, folder, "
          f"readme and module" if not problems else f"version: {archive}: {len(problems)} "
          f"disagreements with VERSION ({version}, {file_version})")
    return problems


def main():
    if len(sys.argv) != 2:
        sys.exit(__doc__)
    problems = check(sys.argv[1])
    for problem in problems:
        print(f"FAIL {problem}")
    return 1 if problems else 0


if __name__ == "__main__":
    sys.exit(main())
