#!/usr/bin/env python3
"""Automatic mutation pass over the module's sources.

  auto.py [--list] [--match TEXT]... [--keep DIR]

Generates every mutant of these kinds in the module's .cpp files (the folders
of cmake/module_folders.txt), outside comments, strings and preprocessor lines:

  relational  <  <=  >  >=  each moved to the other side of its bound
  equality    ==  !=  swapped
  logical     &&  ||  swapped
  arithmetic  binary +  -  swapped
  constant    each integer literal plus one and minus one
  negation    a logical ! dropped
  statement   a statement of a function body replaced by an empty one

In a scratch copy of the working tree (DIR with --keep, reused when it holds
one) it builds the native and native32 suites once, then for each mutant
rebuilds incrementally and runs the suites that compile the mutated code,
each stopping at its first failing test. A mutant is "killed" when a test
fails, "crashed" when a suite dies of a signal, "timed out" after five times
the unchanged suite's time or a minute (counted apart, never as a kill), "build failed"
when it does not compile (not in the score). --list prints the mutants
without building; --match keeps those whose name contains TEXT.

Prints one line per mutant as it goes, then a table by kind, the survivors
and the score: killed and crashed over all that built. Exits nonzero when a
mutant survives or the unchanged tree fails a suite.
"""
import argparse
import collections
import os
import re
import shutil
import subprocess
import sys
import tempfile
import time

REPO = os.path.dirname(os.path.dirname(os.path.dirname(os.path.abspath(__file__))))
with open(os.path.join(REPO, "cmake", "module_folders.txt"), encoding="utf-8") as folders:
    SOURCE_DIRS = folders.read().split()
SUITES = ("native", "native32")
# A suite that takes a second alone can take far longer on a shared, loaded
# machine: a mutant times out after 5 times the unchanged suite's time, and
# never in less than a minute.
TIMEOUT_FACTOR = 5
MINIMUM_TIMEOUT = 60


class Mutant:
    def __init__(self, path, offset, line, column, kind, original, replacement, suites):
        self.path, self.offset, self.kind = path, offset, kind
        self.original, self.replacement, self.suites = original, replacement, suites
        shown = replacement if replacement.strip() else "(nothing)"
        if kind == "statement":
            original = " ".join(original.split())
        self.name = f"{path}:{line}:{column} {kind}: {original} -> {shown}"

    def apply(self, text):
        assert text[self.offset:self.offset + len(self.original)] == self.original, self.name
        return text[:self.offset] + self.replacement + text[self.offset + len(self.original):]


def masked(text):
    """The text with comments, string and character literals and preprocessor
    lines blanked out (newlines kept), so that offsets stay the same."""
    out = list(text)
    pattern = re.compile(r'//[^\n]*|/\*.*?\*/|"(?:\\.|[^"\\\n])*"|\'(?:\\.|[^\'\\\n])*\''
                         r"|^[ \t]*#[^\n]*", re.S | re.M)
    for match in pattern.finditer(text):
        for i in range(match.start(), match.end()):
            if out[i] != "\n":
                out[i] = " "
    return "".join(out)


def mask_template_brackets(code):
    """Blanks the angle brackets of casts and template argument lists."""
    pattern = re.compile(r"\b(?:static_cast|reinterpret_cast|const_cast|template)\s*(<[^<>;]*>)")
    out = list(code)
    for match in pattern.finditer(code):
        out[match.start(1)] = out[match.end(1) - 1] = " "
    return "".join(out)


def compiled_for(text):
    """For each line, the suites whose build compiles it: a branch under
    __i386__ only native32, under __x86_64__ only native, the #else of a
    chain that named both neither."""
    result, stack = [], []
    for line in text.split("\n"):
        stripped = line.strip()
        if re.match(r"#\s*if", stripped):
            stack.append(stripped)
        elif re.match(r"#\s*elif", stripped):
            stack[-1] += "\n" + stripped
        elif re.match(r"#\s*else", stripped):
            stack[-1] += "\n#else"
        elif re.match(r"#\s*endif", stripped):
            stack.pop()
        suites = set(SUITES)
        for chain in stack:
            branch = chain.split("\n")[-1]
            if "__i386__" in branch:
                suites &= {"native32"}
            elif "__x86_64__" in branch:
                suites &= {"native"}
            elif branch == "#else" and "__i386__" in chain and "__x86_64__" in chain:
                suites = set()
        result.append(tuple(s for s in SUITES if s in suites))
    return result


def operand_before(code, index):
    """Whether an operand ends just before index (so an operator there is binary)."""
    i = index - 1
    while i >= 0 and code[i] in " \t\n":
        i -= 1
    return i >= 0 and (code[i].isalnum() or code[i] in "_)]")


OPERATOR_MUTANTS = [
    ("relational", r"(?<![<>=!-])<=", "<"),
    ("relational", r"(?<![<>=!-])>=", ">"),
    ("relational", r"(?<![<>-])<(?![<>=])", "<="),
    ("relational", r"(?<![<>-])>(?![<>=])", ">="),
    ("equality", r"==", "!="),
    ("equality", r"!=", "=="),
    ("logical", r"&&", "||"),
    ("logical", r"\|\|", "&&"),
    ("negation", r"!(?!=)", ""),
]


# A declaration: deleting it only breaks the build.
DECLARATION = re.compile(r"(?!return\b)(?:const\s+)?[A-Za-z_]\w*(?:\s*[*&])?(?:\s+const)?\s+[*&]?"
                         r"[A-Za-z_]\w*\s*[=;\[{]")


def statement_spans(code):
    """(start, end) of each statement inside a function body: it starts a
    line after a statement, a brace or a label, ends with a semicolon outside
    parentheses, and is no declaration at namespace scope or initializer."""
    spans = []
    kinds = []  # for each open brace: "body" or "other"
    previous = ";"
    position = 0
    lines = code.split("\n")
    starts = []
    for line in lines:
        starts.append(position)
        position += len(line) + 1
    index = 0
    while index < len(lines):
        line = lines[index]
        stripped = line.strip()
        in_body = bool(kinds) and kinds[-1] == "body"
        if (in_body and stripped and stripped[0] not in "{}" and previous[-1:] in ";{}:" and
                not re.match(r"(case|default|if|else|for|while|switch|do)\b", stripped)):
            depth, end = 0, None
            for j in range(index, len(lines)):
                for k, char in enumerate(lines[j]):
                    depth += char in "([{"
                    depth -= char in ")]}"
                    if char == ";" and depth == 0:
                        end = starts[j] + k + 1
                        break
                if end is not None or depth < 0 or lines[j].rstrip().endswith("{"):
                    break
            if end is not None and not DECLARATION.match(stripped):
                begin = starts[index] + len(line) - len(line.lstrip())
                spans.append((begin, end))
        guarded = re.match(r"\s*(?:else\s+)?if\s*\(", line)
        if in_body and guarded and line.rstrip().endswith(";"):
            depth = 0
            for k in range(guarded.end() - 1, len(line)):
                depth += line[k] == "("
                depth -= line[k] == ")"
                if depth == 0:
                    body = line[k + 1:]
                    begin = starts[index] + k + 1 + len(body) - len(body.lstrip())
                    spans.append((begin, starts[index] + len(line.rstrip())))
                    break
        for k, char in enumerate(line):
            if char == "{":
                before = code[:starts[index] + k].rstrip()
                header = re.search(r"(\bnamespace\b[\w\s]*|=|\bstruct\b[\w\s]*|\benum\b[\w\s:]*)$",
                                   before)
                kinds.append("other" if header else "body")
            elif char == "}" and kinds:
                kinds.pop()
        if stripped:
            previous = stripped
        index += 1
    return spans


def mutants_of(path):
    text = open(os.path.join(REPO, path), encoding="utf-8").read()
    code = masked(text)
    bracketless = mask_template_brackets(code)
    suites_of_line = compiled_for(text)
    found = []

    def add(offset, kind, original, replacement):
        line = text.count("\n", 0, offset)
        column = offset - (text.rfind("\n", 0, offset) + 1) + 1
        suites = suites_of_line[line]
        if suites:
            found.append(
                Mutant(path, offset, line + 1, column, kind, original, replacement, suites))

    for kind, pattern, replacement in OPERATOR_MUTANTS:
        for match in re.finditer(pattern, bracketless):
            add(match.start(), kind, match.group(), replacement)
    for match in re.finditer(r"(?<![+\-])[+\-](?![+\-=>])", code):
        if operand_before(code, match.start()):
            add(match.start(), "arithmetic", match.group(), "-" if match.group() == "+" else "+")
    for match in re.finditer(r"(?<![\w.])(0[xX][0-9A-Fa-f]+|\d+)(?![\w.])", code):
        literal = match.group()
        value = int(literal, 0)
        for changed in (value + 1, value - 1):
            if literal.lower().startswith("0x"):
                digits = len(literal) - 2
                replacement = f"{literal[:2]}{changed:0{digits}X}" if changed >= 0 else str(changed)
            else:
                replacement = str(changed)
            add(match.start(), "constant", literal, replacement)
    for begin, end in statement_spans(code):
        add(begin, "statement", text[begin:end], ";")
    return sorted(found, key=lambda m: (m.offset, m.kind, m.replacement))


def all_mutants():
    found = []
    for directory in SOURCE_DIRS:
        for name in sorted(os.listdir(os.path.join(REPO, directory))):
            if name.endswith(".cpp"):
                found += mutants_of(f"{directory}/{name}")
    return found


def run(command, cwd, timeout=None):
    """(status, output); status None on a timeout."""
    try:
        done = subprocess.run(command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                              text=True, errors="replace", timeout=timeout)
        return done.returncode, done.stdout
    except subprocess.TimeoutExpired as expired:
        output = expired.stdout or b""
        return None, output.decode(errors="replace") if isinstance(output, bytes) else output


class Scratch:
    def __init__(self, directory):
        self.directory = directory
        files = subprocess.run(["git", "ls-files", "-z"], cwd=REPO, stdout=subprocess.PIPE,
                               check=True).stdout.decode().split("\0")
        for name in filter(None, files):
            source, target = os.path.join(REPO, name), os.path.join(directory, name)
            if not os.path.isfile(source):
                continue
            os.makedirs(os.path.dirname(target), exist_ok=True)
            if not os.path.exists(target) or open(source, "rb").read() != open(target, "rb").read():
                shutil.copyfile(source, target)
        emulator = subprocess.run(
            ["bash", "-c",
             "source scripts/machine.sh; machine_runs_32bit || echo ${i386_emulator[*]}"],
            cwd=directory, stdout=subprocess.PIPE, text=True, check=True).stdout.split()
        self.prefix = {"native": [], "native32": emulator}
        self.timeout = {}

    def build_all(self):
        status, output = run(["nice", "-n", "10", "bash", "scripts/build.sh", *SUITES],
                             self.directory)
        if status != 0:
            sys.exit(f"the unchanged tree does not build:\n{output[-3000:]}")

    def build(self, suite):
        status, _ = run(["nice", "-n", "10", "cmake", "--build", f"build/{suite}", "-j2",
                         "--target", "pandrel_tests"], self.directory)
        return status == 0

    def test(self, suite, timeout):
        tests = os.path.join(self.directory, f"build/{suite}/tests")
        command = self.prefix[suite] + [os.path.join(tests, "pandrel_tests"), "--gtest_fail_fast",
                                        "--gtest_brief=1"]
        return run(["nice", "-n", "10"] + command, tests, timeout)

    def baseline(self):
        for suite in SUITES:
            start = time.monotonic()
            status, output = self.test(suite, None)
            elapsed = time.monotonic() - start
            if status != 0:
                sys.exit(f"the unchanged tree fails {suite}:\n{output[-3000:]}")
            self.timeout[suite] = max(TIMEOUT_FACTOR * elapsed, MINIMUM_TIMEOUT)
            print(f"baseline {suite}: passes in {elapsed:.0f} s", flush=True)

    def judge(self, mutant):
        """(verdict, detail) of one mutant."""
        path = os.path.join(self.directory, mutant.path)
        original = open(path, encoding="utf-8").read()
        with open(path, "w", encoding="utf-8") as f:
            f.write(mutant.apply(original))
        try:
            for suite in mutant.suites:
                if not self.build(suite):
                    return "build failed", suite
                status, output = self.test(suite, self.timeout[suite])
                if status is None:
                    return "timed out", suite
                failed = re.search(r"^\[  FAILED  \] (\S+)", output, re.M)
                if failed:
                    return "killed", f"{suite} {failed.group(1)}"
                if status < 0 or status > 1:
                    return "crashed", f"{suite} status {status}"
                if status != 0:
                    return "killed", f"{suite} status {status}"
            return "survived", ""
        finally:
            with open(path, "w", encoding="utf-8") as f:
                f.write(original)


def main():
    parser = argparse.ArgumentParser(description=__doc__,
                                     formatter_class=argparse.RawDescriptionHelpFormatter)
    parser.add_argument("--list", action="store_true")
    parser.add_argument("--match", action="append", default=[])
    parser.add_argument("--keep")
    arguments = parser.parse_args()

    mutants = [m for m in all_mutants()
               if not arguments.match or any(text in m.name for text in arguments.match)]
    if arguments.list:
        print("\n".join(m.name for m in mutants))
        print(f"{len(mutants)} mutants")
        return 0
    if not mutants:
        sys.exit("no mutant matches")

    directory = arguments.keep or tempfile.mkdtemp(prefix="pandrel-auto-mutants.")
    os.makedirs(directory, exist_ok=True)
    started = time.monotonic()
    try:
        scratch = Scratch(directory)
        scratch.build_all()
        scratch.baseline()
        verdicts = collections.OrderedDict()
        for number, mutant in enumerate(mutants, 1):
            verdict, detail = scratch.judge(mutant)
            verdicts[mutant] = verdict
            print(f"[{number}/{len(mutants)}] {verdict:12} {mutant.name}  {detail}", flush=True)
    finally:
        if not arguments.keep:
            shutil.rmtree(directory, ignore_errors=True)

    columns = ("killed", "crashed", "timed out", "survived", "build failed")
    table = collections.OrderedDict()
    for mutant, verdict in verdicts.items():
        table.setdefault(mutant.kind, collections.Counter())[verdict] += 1
    total = sum(table.values(), collections.Counter())
    print()
    print(f"{'kind':12}" + "".join(f"{c:>14}" for c in columns))
    for kind, counts in list(table.items()) + [("all", total)]:
        print(f"{kind:12}" + "".join(f"{counts[c]:>14}" for c in columns))
    survivors = [m.name for m, v in verdicts.items() if v in ("survived", "timed out")]
    if survivors:
        print("\nsurvivors and time-outs:\n  " + "\n  ".join(survivors))
    built = len(verdicts) - total["build failed"]
    score = (total["killed"] + total["crashed"]) / built if built else 0.0
    minutes = (time.monotonic() - started) / 60
    print(f"\nscore: {total['killed'] + total['crashed']} of {built} built mutants killed "
          f"({100 * score:.1f}%), {total['timed out']} timed out, {total['survived']} survived; "
          f"{minutes:.0f} minutes")
    return 0 if built and not survivors else 1


if __name__ == "__main__":
    sys.exit(main())
