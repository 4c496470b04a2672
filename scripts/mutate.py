#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Mutation testing of the program code (app/, target/, service/, jobs/).

Plants one fault at a time into a scratch copy of the source tree (never the
working tree), rebuilds it incrementally (the one changed object and the test
programs that link it), runs the tests that play the program and reports each
mutant as killed (by which test) or survived.

    scripts/mutate.py                     every mutant
    scripts/mutate.py --folder jobs       only jobs/
    scripts/mutate.py --sample 40         40 mutants picked at random (--seed)
    scripts/mutate.py --list              the mutants, without running them
    scripts/mutate.py --match 'job_list.cpp:4[0-9]:'   mutants whose id matches

The order of the tests: the scenario files first (one run of the scenario
runner, which stops the mutant at its first failing file), then the program's
GoogleTest programs with --gtest_fail_fast. Each run has a time limit; a
mutant that hangs counts as killed ("timeout"). A mutant that does not compile
is reported as stillborn and left out of the score. A mutant that survives is
judged again under AddressSanitizer and UndefinedBehaviorSanitizer (a second
scratch build, made at the first survivor): a buffer size or an index moved
by one may write past its buffer without changing what the program shows.

Mutants listed in scripts/mutate-equivalent.txt (by their key, see there) are
reported as equivalent and not run. The score is killed / (mutants run -
stillborn). Everything runs under `nice`; the scratch copy lives under
--work (default /tmp/velmora-mutate-$USER) and is kept between runs, so a
second run rebuilds only what changed.
"""

import argparse
import json
import multiprocessing
import os
import random
import re
import shutil
import signal
import subprocess
import sys
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
FOLDERS = ["app", "target", "service", "jobs"]
EQUIVALENT_LIST = os.path.join(ROOT, "scripts", "mutate-equivalent.txt")
FAULT_LIST = os.path.join(ROOT, "scripts", "mutate-faults.txt")

# Test programs that link the program code, after the scenario runner.
GTEST_TARGETS = ["program_conversion_tests", "program_run_tests", "tui_driver_tests"]
GTEST_PATHS = {
    "program_conversion_tests": "tests/program/program_conversion_tests",
    "program_run_tests": "tests/program/program_run_tests",
    "tui_driver_tests": "tests/frontends/terminal/tui_driver_tests",
}
SCENARIO_RUNNER = "frontends/scenario/velmora-scenario"

# --------------------------------------------------------------------------
# Reading C++: a token stream that knows strings, characters, comments and
# preprocessor lines, so that operators are found only in code.


class Token:
    __slots__ = ("kind", "text", "start", "end", "line")

    def __init__(self, kind, text, start, end, line):
        self.kind, self.text, self.start, self.end, self.line = kind, text, start, end, line


PUNCTUATORS = sorted(
    [
        "<<=", ">>=", "->*", "...", "::", "->", "++", "--", "<<", ">>", "<=", ">=", "==", "!=", "&&", "||",
        "+=", "-=", "*=", "/=", "%=", "&=", "|=", "^=", ".*",
    ],
    key=len,
    reverse=True,
)


def tokenize(source):
    tokens = []
    i = 0
    line = 1
    n = len(source)
    at_line_start = True
    while i < n:
        c = source[i]
        if c == "\n":
            line += 1
            i += 1
            at_line_start = True
            continue
        if c in " \t\r":
            i += 1
            continue
        if at_line_start and c == "#":
            # A preprocessor line, with its continuations.
            j = i
            while j < n and source[j] != "\n":
                if source[j] == "\\" and j + 1 < n and source[j + 1] == "\n":
                    j += 2
                    line += 1
                    continue
                j += 1
            i = j
            continue
        at_line_start = False
        if source.startswith("//", i):
            j = source.find("\n", i)
            i = n if j < 0 else j
            continue
        if source.startswith("/*", i):
            j = source.find("*/", i + 2)
            j = n if j < 0 else j + 2
            line += source.count("\n", i, j)
            i = j
            continue
        if c == '"' or c == "'":
            j = i + 1
            while j < n and source[j] != c:
                j += 2 if source[j] == "\\" else 1
            tokens.append(Token("string" if c == '"' else "char", source[i : j + 1], i, j + 1, line))
            i = j + 1
            continue
        m = re.compile(r"0[xX][0-9a-fA-F]+[uUlL]*|\d+(\.\d+)?[uUlLfF]*").match(source, i)
        if m and (c.isdigit()):
            tokens.append(Token("number", m.group(0), i, m.end(), line))
            i = m.end()
            continue
        m = re.compile(r"[A-Za-z_]\w*").match(source, i)
        if m:
            tokens.append(Token("ident", m.group(0), i, m.end(), line))
            i = m.end()
            continue
        for p in PUNCTUATORS:
            if source.startswith(p, i):
                tokens.append(Token("punct", p, i, i + len(p), line))
                i += len(p)
                break
        else:
            tokens.append(Token("punct", c, i, i + 1, line))
            i += 1
    return tokens


# --------------------------------------------------------------------------
# Functions: which function each token lies in, by brace nesting.


def function_spans(tokens):
    """Returns [(name, first_token_index, last_token_index)] of function bodies."""
    spans = []
    stack = []  # ("ns" | "func" | "type" | "block", name, start index)
    statement_start = 0
    for k, t in enumerate(tokens):
        if t.text == "{":
            head = tokens[statement_start:k]
            texts = [h.text for h in head]
            in_function = any(kind == "func" for kind, _, _ in stack)
            if in_function:
                kind, name = "block", None
            elif "namespace" in texts or (texts[:1] == ["extern"] and any(h.kind == "string" for h in head)):
                kind, name = "ns", None
            elif ("struct" in texts or "class" in texts or "enum" in texts) and "(" not in texts:
                kind, name = "type", None
            elif "(" in texts and "=" not in texts[: texts.index("(")]:
                paren = texts.index("(")
                name = texts[paren - 1] if paren > 0 else "?"
                kind = "func"
            else:
                kind, name = "block", None
            stack.append((kind, name, k))
            statement_start = k + 1
        elif t.text == "}":
            if stack:
                kind, name, start = stack.pop()
                if kind == "func":
                    spans.append((name, start, k))
            statement_start = k + 1
        elif t.text == ";":
            statement_start = k + 1
    return spans


# --------------------------------------------------------------------------
# Mutants.


class Mutant:
    def __init__(self, path, tokens, source, start, end, replacement, operator, function):
        self.path = path
        self.start, self.end = start, end
        self.replacement = replacement
        self.operator = operator
        self.function = function
        self.line = source.count("\n", 0, start) + 1
        self.original = source[start:end]
        line_start = source.rfind("\n", 0, start) + 1
        line_end = source.find("\n", start)
        self.line_text = source[line_start : line_end if line_end >= 0 else len(source)].strip()

    def apply(self, source):
        return source[: self.start] + self.replacement + source[self.end :]

    @property
    def ident(self):
        return "%s:%d:%s" % (self.path, self.line, self.operator)

    occurrence = 1

    @property
    def key(self):
        # Survives edits elsewhere in the file: the function, the operator,
        # what is replaced by what, and the line it stands on.
        return ("%s | %s | %s | %s -> %s | %s" + (" #%d" % self.occurrence if self.occurrence > 1 else "")) % (
            self.path,
            self.function,
            self.operator,
            " ".join(self.original.split()),
            " ".join(self.replacement.split()),
            self.line_text,
        )

    def describe(self):
        shown = lambda s: " ".join(s.split())[:60]
        return "%s [%s] in %s: `%s` -> `%s`" % (
            self.ident,
            self.operator,
            self.function,
            shown(self.original),
            shown(self.replacement) or "(removed)",
        )


RELATIONAL = {">": [">="], ">=": [">"], "<": ["<="], "<=": ["<"], "==": ["!="], "!=": ["=="]}
LOGICAL = {"&&": "||", "||": "&&"}
FORMAT_SWAPS = [("%ld", "%lu"), ("%lu", "%ld"), ("%d", "%u"), ("%u", "%d")]
STATEMENT_KEYWORDS = {
    "return", "break", "continue", "case", "default", "goto", "if", "else", "for", "while", "do", "switch",
    "const", "static", "char", "int", "unsigned", "bool", "auto", "struct", "enum", "namespace", "using",
    "typedef", "template", "void", "long", "short", "double", "float", "extern", "inline",
}
NOT_CALLS = {"if", "while", "for", "switch", "return", "sizeof", "static_cast", "reinterpret_cast", "const_cast"}


def is_spaced(source, t):
    """A binary operator as clang-format writes it: blanks on both sides."""
    return source[t.start - 1 : t.start] == " " and source[t.end : t.end + 1] == " "


def matching(tokens, k, open_text, close_text):
    depth = 0
    for j in range(k, len(tokens)):
        if tokens[j].text == open_text:
            depth += 1
        elif tokens[j].text == close_text:
            depth -= 1
            if depth == 0:
                return j
    return None


def in_array_bound(tokens, k, lo):
    """Whether token k is inside the [...] of a declaration (an array size)."""
    j = k - 1
    while j >= lo and tokens[j].text not in ("[", ";", "{", "}", "(", ")"):
        j -= 1
    if j < lo or tokens[j].text != "[":
        return False
    # `name[...]` preceded by a type word: a declaration; `x[...]` in an
    # expression is an index.
    return j >= 2 and tokens[j - 1].kind == "ident" and tokens[j - 2].kind == "ident" and tokens[j - 2].text not in (
        "return",
        "case",
    )


def add_constant(add, t, name):
    value = int(re.match(r"0[xX][0-9a-fA-F]+|\d+", t.text).group(0), 0)
    # 0 and 1 stand for no, yes, none and first; their faults are those of
    # the forced conditions and removed statements, so they are not moved.
    if value < 2:
        return
    hexa = t.text.lower().startswith("0x")
    suffix = re.sub(r"^(0[xX][0-9a-fA-F]+|\d+)", "", t.text)
    for v in (value + 1, value - 1):
        add(t.start, t.end, (hex(v) if hexa else str(v)) + suffix, "constant", name)


def add_formats(add, t, name):
    for old, new in FORMAT_SWAPS:
        for m in re.finditer(re.escape(old), t.text):
            # %ld is not %d; %lu is not %u; %% is no conversion.
            if old in ("%d", "%u") and t.text[m.start() + 1 : m.start() + 2] == "l":
                continue
            if t.text[: m.start()].endswith("%"):
                continue
            add(t.start + m.start(), t.start + m.end(), new, "format", name)


def mutants_of_file(path, source):
    tokens = tokenize(source)
    result = []

    def add(start, end, replacement, operator, function):
        result.append(Mutant(path, tokens, source, start, end, replacement, operator, function))

    spans = function_spans(tokens)
    # File-scope constants and format strings (`const int kAddButton = 101;`,
    # `const char kModified[] = "... %ld ..."`), named after what they declare.
    inside = set()
    for _, lo, hi in spans:
        inside.update(range(lo, hi + 1))
    declared = "(file scope)"
    for k, t in enumerate(tokens):
        if k in inside:
            continue
        if t.text == "=" and k > 0:
            j = k - 1
            while j > 0 and tokens[j].text in ("[", "]"):
                j -= 1
            declared = tokens[j].text
        elif t.text == ";":
            declared = "(file scope)"
        if t.kind == "number" and "." not in t.text and declared != "(file scope)" and not in_array_bound(tokens, k, 0):
            add_constant(add, t, declared)
        if t.kind == "string":
            add_formats(add, t, declared)

    for name, lo, hi in spans:
        k = lo
        while k <= hi:
            t = tokens[k]
            # Comparisons flipped or loosened, and && / ||.
            if t.kind == "punct" and t.text in RELATIONAL and is_spaced(source, t):
                for r in RELATIONAL[t.text]:
                    add(t.start, t.end, r, "relational", name)
            if t.kind == "punct" and t.text in LOGICAL and is_spaced(source, t):
                add(t.start, t.end, LOGICAL[t.text], "logical", name)
            # Integer constants one up and one down.
            if t.kind == "number" and "." not in t.text and not in_array_bound(tokens, k, lo):
                add_constant(add, t, name)
            # Conditions of if and while forced true and false.
            if t.kind == "ident" and t.text in ("if", "while") and k + 1 <= hi and tokens[k + 1].text == "(":
                close = matching(tokens, k + 1, "(", ")")
                if close is not None:
                    a, b = tokens[k + 2].start, tokens[close - 1].end
                    add(a, b, "true", "condition-true", name)
                    add(a, b, "false", "condition-false", name)
            # Ternary conditions forced.
            if t.text == "?" and is_spaced(source, t):
                j = k - 1
                depth = 0
                while j > lo:
                    x = tokens[j].text
                    if x == ")":
                        depth += 1
                    elif x == "(":
                        if depth == 0:
                            break
                        depth -= 1
                    elif depth == 0 and x in ("=", ",", ";", "{", "return"):
                        break
                    j -= 1
                a, b = tokens[j + 1].start, tokens[k - 1].end
                add(a, b, "true", "condition-true", name)
                add(a, b, "false", "condition-false", name)
            # printf-style conversions, signed and unsigned swapped.
            if t.kind == "string":
                add_formats(add, t, name)
            # Arguments of a call swapped, each neighbouring pair.
            if (
                t.kind == "ident"
                and t.text not in NOT_CALLS
                and k + 1 <= hi
                and tokens[k + 1].text == "("
                and not (k > lo and tokens[k - 1].kind == "ident" and tokens[k - 1].text not in ("return", "else"))
            ):
                close = matching(tokens, k + 1, "(", ")")
                if close is not None:
                    args = []
                    depth = 0
                    first = k + 2
                    for j in range(k + 2, close):
                        x = tokens[j].text
                        if x in ("(", "[", "{"):
                            depth += 1
                        elif x in (")", "]", "}"):
                            depth -= 1
                        elif x == "," and depth == 0:
                            args.append((first, j - 1))
                            first = j + 1
                    if first < close:
                        args.append((first, close - 1))
                    for (a1, b1), (a2, b2) in zip(args, args[1:]):
                        s1 = source[tokens[a1].start : tokens[b1].end]
                        s2 = source[tokens[a2].start : tokens[b2].end]
                        if s1 != s2 and swappable(s1) and swappable(s2):
                            add(tokens[a1].start, tokens[b2].end, s2 + ", " + s1, "argument-swap", name)
            k += 1
        # Statements removed: expression statements (calls, assignments,
        # increments) at any depth of the body.
        k = lo + 1
        statement_start = k
        depth_paren = 0
        while k < hi:
            x = tokens[k].text
            if x == "(":
                depth_paren += 1
            elif x == ")":
                depth_paren -= 1
                if depth_paren == 0 and statement_start < k and tokens[statement_start].text in (
                    "if",
                    "while",
                    "for",
                    "switch",
                ):
                    statement_start = k + 1
            elif depth_paren == 0 and x in ("{", "}"):
                statement_start = k + 1
            elif depth_paren == 0 and x == ":" and k > lo and tokens[statement_start].text in ("case", "default"):
                statement_start = k + 1
            elif depth_paren == 0 and x == "else":
                statement_start = k + 1
            elif depth_paren == 0 and x == ";":
                head = tokens[statement_start:k]
                if head and is_expression_statement(head):
                    add(head[0].start, tokens[k].end, ";", "statement-removed", name)
                statement_start = k + 1
            k += 1
    return result, [name for name, _, _ in spans]


# Arguments whose swap the compiler would refuse (a handle, a text, a
# pointer beside a number) are not swapped: such mutants are stillborn.
HANDLE_NAMES = {"window", "dialog", "editor", "list", "instance", "AppInstance", "record", "buffer", "text"}


def swappable(argument):
    a = argument.strip()
    if a.startswith('"') or a.startswith("&") or a in ("NULL", "nullptr") or a in HANDLE_NAMES:
        return False
    if re.match(r"^(GetDlgItem|LoadCursorA|reinterpret_cast|\(LPARAM\)|\(LPBYTE\))", a):
        return False
    return True


def is_expression_statement(head):
    first = head[0]
    if first.text in ("++", "--"):
        return True
    if first.kind != "ident" or first.text in STATEMENT_KEYWORDS:
        return False
    if len(head) < 2:
        return False
    # A declaration starts with two names in a row (type, then variable) or a
    # qualified type; an expression statement with a call or an assignment.
    j = 1
    while j + 1 < len(head) and head[j].text == "::" and head[j + 1].kind == "ident":
        j += 2
    if j < len(head) and head[j].kind == "ident":
        return False
    if j < len(head) and head[j].text in ("*", "&") and j + 1 < len(head) and head[j + 1].kind == "ident":
        # `Type *name` or `a * b`; only a statement when an assignment follows
        # a dereference, which the program does not write: leave it.
        return False
    texts = [h.text for h in head]
    return any(x in texts for x in ("(", "=", "+=", "-=", "|=", "&=", "++", "--"))


# --------------------------------------------------------------------------
# The scratch copy and its build.


def run(command, cwd, timeout=None, env=None):
    """Runs `command` under nice in its own process group; returns (rc, output)."""
    process = subprocess.Popen(
        ["nice"] + command,
        cwd=cwd,
        stdout=subprocess.PIPE,
        stderr=subprocess.STDOUT,
        start_new_session=True,
        env=env,
    )
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        return None, "timeout"


def sync_tree(origin, copy):
    """Makes `copy` a copy of the source tree (without build/ and .git),
    rewriting only files that differ, so the scratch build stays warm."""
    seen = set()
    for folder, dirs, files in os.walk(origin):
        relative = os.path.relpath(folder, origin)
        if relative == ".":
            dirs[:] = [d for d in dirs if d not in ("build", ".git")]
        dirs[:] = [d for d in dirs if d != "__pycache__"]
        os.makedirs(os.path.join(copy, relative), exist_ok=True)
        for name in files:
            path = os.path.normpath(os.path.join(relative, name))
            seen.add(path)
            a, b = os.path.join(origin, path), os.path.join(copy, path)
            with open(a, "rb") as f:
                data = f.read()
            if os.path.exists(b):
                with open(b, "rb") as f:
                    if f.read() == data:
                        continue
            # A fresh modification time, so that the build sees the change
            # even where an interrupted run left a newer mutated object.
            shutil.copyfile(a, b)
            shutil.copymode(a, b)
    for folder, dirs, files in os.walk(copy):
        for name in files:
            path = os.path.normpath(os.path.join(os.path.relpath(folder, copy), name))
            if path not in seen:
                os.remove(os.path.join(copy, path))


# The sanitizer build that judges the survivors, as the project's sanitize
# preset builds it.
SANITIZE_FLAGS = "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"


def configure_and_build(source, build, work, jobs, flags=""):
    if not os.path.exists(os.path.join(build, "build.ninja")):
        linker = (["-fuse-ld=lld"] if shutil.which("ld.lld") else []) + ([flags] if flags else [])
        rc, out = run(
            [
                "cmake", "-S", source, "-B", build, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug",
                "-DCMAKE_CXX_FLAGS=-O0 " + flags,
            ]
            # lld links the test programs faster, where it is installed.
            + (["-DCMAKE_EXE_LINKER_FLAGS=" + " ".join(linker)] if linker else []),
            cwd=work,
        )
        if rc != 0:
            sys.exit("configure failed:\n" + out)
    print("building the scratch copy%s ..." % (" under the sanitizers" if flags else ""), flush=True)
    rc, out = run(["ninja", "-j%d" % jobs, SCENARIO_RUNNER_TARGET] + GTEST_TARGETS, cwd=build)
    if rc != 0:
        sys.exit("the unmutated scratch copy does not build:\n" + out[-4000:])


def prepare_scratch(work, jobs):
    source = os.path.join(work, "src")
    build = os.path.join(work, "build")
    os.makedirs(work, exist_ok=True)
    sync_tree(ROOT, source)
    # Mutants may leave a variable unused; that is a fault to find, not a
    # build error.
    cmake_lists = os.path.join(source, "CMakeLists.txt")
    with open(cmake_lists, encoding="utf-8") as f:
        text = f.read()
    patched = text.replace("-Wall -Wextra -Werror", "-w")
    if patched != text:
        with open(cmake_lists, "w", encoding="utf-8") as f:
            f.write(patched)
    configure_and_build(source, build, work, jobs)
    return source, build


SCENARIO_RUNNER_TARGET = "velmora-scenario"


def scenario_files(source):
    folder = os.path.join(source, "tests", "scenarios")
    return sorted(os.path.join(folder, f) for f in os.listdir(folder) if f.endswith(".scenario"))


def run_tests(source, build, limits, jobs):
    """Returns (verdict, test): verdict is 'killed', 'survived' or 'stillborn'."""
    rc, out = run(["ninja", "-j%d" % jobs, SCENARIO_RUNNER_TARGET], cwd=build)
    if rc != 0:
        return "stillborn", out.strip().splitlines()[-1] if out.strip() else "build failed"
    runner = os.path.join(build, SCENARIO_RUNNER)
    rc, out = run([runner] + scenario_files(source), cwd=source, timeout=limits["scenarios"])
    if rc is None:
        return "killed", "scenarios (timeout)"
    if rc != 0:
        for line in out.splitlines():
            if line.startswith("FAIL "):
                return "killed", "scenario " + line[5:].replace(source + "/", "")[:200]
        return "killed", "scenarios (exit %d)" % rc
    rc, out = run(["ninja", "-j%d" % jobs] + GTEST_TARGETS, cwd=build)
    if rc != 0:
        return "stillborn", "test programs do not build"
    for target in GTEST_TARGETS:
        rc, out = run(
            [os.path.join(build, GTEST_PATHS[target]), "--gtest_fail_fast", "--gtest_brief=1"],
            cwd=os.path.join(build, os.path.dirname(GTEST_PATHS[target])),
            timeout=limits[target],
        )
        if rc is None:
            return "killed", target + " (timeout)"
        if rc != 0:
            failed = re.findall(r"\[  FAILED  \] (\S+)", out)
            return "killed", target + ": " + (failed[0] if failed else "exit %d" % rc)
    return "survived", None


def measure_limits(source, build):
    """Time limits: a generous multiple of the unmutated run's times."""
    limits = {}
    started = time.time()
    rc, out = run([os.path.join(build, SCENARIO_RUNNER)] + scenario_files(source), cwd=source, timeout=600)
    if rc != 0:
        sys.exit("the unmutated program fails its scenarios:\n" + out[-3000:])
    limits["scenarios"] = 5 * (time.time() - started) + 10
    for target in GTEST_TARGETS:
        started = time.time()
        path = os.path.join(build, GTEST_PATHS[target])
        rc, out = run([path, "--gtest_brief=1"], cwd=os.path.dirname(path), timeout=900)
        if rc != 0:
            sys.exit("the unmutated program fails %s:\n%s" % (target, out[-3000:]))
        limits[target] = 5 * (time.time() - started) + 10
    return limits


# --------------------------------------------------------------------------


def load_equivalents():
    equivalents = {}
    if not os.path.exists(EQUIVALENT_LIST):
        return equivalents
    with open(EQUIVALENT_LIST, encoding="utf-8") as f:
        reason = None
        for raw in f:
            line = raw.rstrip("\n")
            if not line.strip():
                reason = None
                continue
            if line.startswith("#"):
                reason = line[1:].strip() if reason is None else reason + " " + line[1:].strip()
                continue
            equivalents[line.strip()] = reason or ""
    return equivalents


class HandWritten:
    """A fault written by hand in scripts/mutate-faults.txt: one or more
    exact replacements in one file."""

    operator = "hand-written"

    def __init__(self, path, name, edits, source):
        self.path, self.function, self.edits = path, name, edits
        first = source.find(edits[0][0])
        self.start = first
        self.line = source.count("\n", 0, first) + 1
        self.key = "%s | hand-written | %s" % (path, name)

    @property
    def ident(self):
        return "%s:%d:hand-written" % (self.path, self.line)

    def apply(self, source):
        for old, new in self.edits:
            if source.count(old) != 1:
                raise ValueError("%s: `%s` does not stand exactly once in %s" % (self.function, old, self.path))
            source = source.replace(old, new)
        return source

    def describe(self):
        return "%s [hand-written] %s" % (self.ident, self.function)


def hand_written(folders):
    """Reads scripts/mutate-faults.txt: a `# name` line, an `@ path` line,
    then pairs of `- old` and `+ new` lines (exact text of one line each)."""
    faults = []
    if not os.path.exists(FAULT_LIST):
        return faults
    name, path, edits = None, None, []

    def close():
        if name and path and edits and path.split("/")[0] in folders:
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                source = f.read()
            fault = HandWritten(path, name, list(edits), source)
            fault.apply(source)  # fails loudly when the code has moved on
            faults.append(fault)

    with open(FAULT_LIST, encoding="utf-8") as f:
        for raw in f:
            line = raw.rstrip("\n")
            if line.startswith("# "):
                close()
                name, path, edits = line[2:].strip(), None, []
            elif line.startswith("@ "):
                path = line[2:].strip()
            elif line.startswith("- "):
                edits.append([line[2:], None])
            elif line.startswith("+ "):
                edits[-1][1] = line[2:]
            elif line.startswith("+"):
                edits[-1][1] = ""
    close()
    return [f for f in faults if all(new is not None for _, new in f.edits)]


def collect(folders):
    mutants = []
    functions = []
    for folder in folders:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            if not name.endswith(".cpp"):
                continue
            path = folder + "/" + name
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                source = f.read()
            found, names = mutants_of_file(path, source)
            # The same change on the same text twice in a function: the
            # second and later ones are told apart by their number.
            seen = {}
            for m in found:
                base = m.key
                seen[base] = seen.get(base, 0) + 1
                if seen[base] > 1:
                    m.occurrence = seen[base]
            mutants.extend(found)
            functions.extend((path, n) for n in names)
    return mutants, functions


def stratified_sample(mutants, size, seed):
    """About `size` mutants that reach every function: each function gets a
    share by its number of mutants (at least one), taken round the operators
    so that each kind of fault is planted in it before any kind twice."""
    rng = random.Random(seed)
    groups = {}
    for m in mutants:
        groups.setdefault((m.path, m.function), []).append(m)
    chosen = []
    for members in groups.values():
        by_operator = {}
        for m in members:
            by_operator.setdefault(m.operator, []).append(m)
        lanes = list(by_operator.values())
        for lane in lanes:
            rng.shuffle(lane)
        rng.shuffle(lanes)
        ordered = []
        while any(lanes):
            for lane in lanes:
                if lane:
                    ordered.append(lane.pop())
        share = max(1, round(size * len(members) / len(mutants)))
        chosen.extend(ordered[:share])
    return sorted(chosen, key=lambda m: (m.path, m.start))


def run_bucket(task):
    """Runs one worker's mutants in its own scratch copy; returns
    [(key, verdict, test)]."""
    worker, work, mutants, jobs, total = task
    source, build = prepare_scratch(work, jobs)
    limits = measure_limits(source, build)
    results = []
    by_path = {}
    for m in mutants:
        by_path.setdefault(m.path, []).append(m)
    sanitized = {}  # the sanitizer build and its limits, once a mutant survives

    def judge_under_sanitizers(full, original, mutated):
        if not sanitized:
            # Built and timed on the unmutated sources, then the mutant again.
            with open(full, "w", encoding="utf-8") as f:
                f.write(original)
            build_sanitize = os.path.join(work, "build-sanitize")
            configure_and_build(source, build_sanitize, work, jobs, SANITIZE_FLAGS)
            sanitized["build"] = build_sanitize
            sanitized["limits"] = measure_limits(source, build_sanitize)
            with open(full, "w", encoding="utf-8") as f:
                f.write(mutated)
        verdict, test = run_tests(source, sanitized["build"], sanitized["limits"], jobs)
        return verdict, (test + " (sanitizers)") if test else test

    for path, group in by_path.items():
        full = os.path.join(source, path)
        with open(os.path.join(ROOT, path), encoding="utf-8") as f:
            original = f.read()
        try:
            for m in group:
                mutated = m.apply(original)
                with open(full, "w", encoding="utf-8") as f:
                    f.write(mutated)
                verdict, test = run_tests(source, build, limits, jobs)
                if verdict == "survived":
                    verdict, test = judge_under_sanitizers(full, original, mutated)
                results.append((m.key, verdict, test))
                print(
                    "[w%d %d/%d of %d] %s %s%s"
                    % (worker, len(results), len(mutants), total, verdict.upper(), m.describe(),
                       "\n    by " + test if test else ""),
                    flush=True,
                )
        finally:
            with open(full, "w", encoding="utf-8") as f:
                f.write(original)
    # Leave the scratch builds matching the sources, ready for the next run.
    for folder in [build] + ([sanitized["build"]] if sanitized else []):
        run(["ninja", "-j%d" % jobs, SCENARIO_RUNNER_TARGET] + GTEST_TARGETS, cwd=folder)
    return results


def print_score(rows, folders):
    """rows: [(path, verdict)]. Prints the table; returns the whole score."""
    print("\n== Score by folder (killed / (mutants - stillborn - equivalent))")
    total = {"killed": 0, "survived": 0, "stillborn": 0, "equivalent": 0}
    for folder in folders:
        counts = {"killed": 0, "survived": 0, "stillborn": 0, "equivalent": 0}
        for path, verdict in rows:
            if path.startswith(folder + "/"):
                counts[verdict] += 1
        for k in total:
            total[k] += counts[k]
        live = counts["killed"] + counts["survived"]
        print(
            "%-8s killed %3d  survived %3d  equivalent %3d  stillborn %3d  score %s"
            % (folder, counts["killed"], counts["survived"], counts["equivalent"], counts["stillborn"],
               "%.1f%%" % (100.0 * counts["killed"] / live) if live else "-")
        )
    live = total["killed"] + total["survived"]
    score = 100.0 * total["killed"] / live if live else 100.0
    print(
        "%-8s killed %3d  survived %3d  equivalent %3d  stillborn %3d  score %.1f%%"
        % ("all", total["killed"], total["survived"], total["equivalent"], total["stillborn"], score)
    )
    return score


def rescore(report, folders):
    equivalents = load_equivalents()
    with open(report, encoding="utf-8") as f:
        rows = json.load(f)
    scored = []
    print("== Survivors")
    for row in rows:
        verdict = row["verdict"]
        if verdict == "survived" and row["key"] in equivalents:
            verdict = "equivalent"
        if verdict == "survived":
            print(row["id"] + "\n    key: " + row["key"])
        scored.append((row["key"].split(" | ")[0], verdict))
    print_score(scored, folders)
    return 0


def main():
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--folder", action="append", choices=FOLDERS, help="only this folder (may repeat)")
    parser.add_argument(
        "--sample", type=int, help="run about N mutants picked at random, spread over every function and operator"
    )
    parser.add_argument("--seed", type=int, default=1, help="seed of --sample (default 1)")
    parser.add_argument("--match", help="only mutants whose id or key matches this regular expression")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--work", default="/tmp/velmora-mutate-%s" % os.environ.get("USER", "user"))
    parser.add_argument("--jobs", type=int, default=1, help="build jobs of each worker (default 1)")
    parser.add_argument("--workers", type=int, default=1, help="scratch copies run side by side (default 1)")
    parser.add_argument("--report", help="write the results as JSON to this file")
    parser.add_argument("--min-score", type=float, help="exit 1 when the score is below this percentage")
    parser.add_argument(
        "--rescore", metavar="REPORT", help="score a JSON report of an earlier run against today's equivalent list"
    )
    args = parser.parse_args()
    if args.rescore:
        return rescore(args.rescore, args.folder or FOLDERS)

    folders = args.folder or FOLDERS
    mutants, functions = collect(folders)
    if folders == FOLDERS:
        # An entry that names no mutant any more was left behind by a change.
        known = {m.key for m in mutants}
        for key in load_equivalents():
            if key not in known:
                print("warning: %s names no mutant: %s" % (os.path.basename(EQUIVALENT_LIST), key), file=sys.stderr)
    covered = {(m.path, m.function) for m in mutants}
    bare = [f for f in functions if f not in covered]
    if args.match:
        pattern = re.compile(args.match)
        mutants = [m for m in mutants if pattern.search(m.ident) or pattern.search(m.key)]
    if args.sample is not None and args.sample < len(mutants):
        # The conversions of the messages are few and always planted.
        formats = [m for m in mutants if m.operator == "format"]
        mutants = formats + stratified_sample([m for m in mutants if m.operator != "format"], args.sample, args.seed)
    for fault in hand_written(folders):
        if not args.match or re.search(args.match, fault.ident) or re.search(args.match, fault.key):
            mutants.append(fault)
    equivalents = load_equivalents()

    if args.list:
        for m in mutants:
            print(("EQUIVALENT " if m.key in equivalents else "") + m.describe())
            print("    key: " + m.key)
        print("%d mutants; functions without a mutant: %s" % (len(mutants), ", ".join("%s:%s" % f for f in bare) or "none"))
        return 0

    pending = [m for m in mutants if m.key not in equivalents]
    results = [(m, "equivalent", equivalents[m.key]) for m in mutants if m.key in equivalents]
    started = time.time()
    # Workers each own a scratch copy and whole files, so that a file's
    # mutants are planted and restored in one place.
    buckets = [[] for _ in range(max(1, args.workers))]
    by_path = {}
    for m in pending:
        by_path.setdefault(m.path, []).append(m)
    for group in sorted(by_path.values(), key=len, reverse=True):
        min(buckets, key=len).extend(group)
    buckets = [b for b in buckets if b] or [[]]
    tasks = [(i, args.work if i == 0 else "%s-%d" % (args.work, i), b, args.jobs, len(pending)) for i, b in enumerate(buckets)]
    if len(tasks) == 1:
        outcome = [run_bucket(tasks[0])]
    else:
        with multiprocessing.Pool(len(tasks)) as pool:
            outcome = pool.map(run_bucket, tasks)
    by_key = {m.key: m for m in pending}
    for bucket in outcome:
        results.extend((by_key[key], verdict, test) for key, verdict, test in bucket)
    results.sort(key=lambda r: (r[0].path, r[0].start))

    print("\n== Survivors")
    for m, verdict, _ in results:
        if verdict == "survived":
            print(m.describe())
            print("    key: " + m.key)
    score = print_score([(m.path, verdict) for m, verdict, _ in results], folders)
    if bare:
        print("functions without a mutant: " + ", ".join("%s:%s" % f for f in bare))
    print("%d mutants in %.0f s" % (len(results), time.time() - started))
    if args.report:
        with open(args.report, "w", encoding="utf-8") as f:
            json.dump(
                [{"id": m.ident, "key": m.key, "verdict": v, "test": t} for m, v, t in results],
                f,
                ensure_ascii=False,
                indent=1,
            )
    if args.min_score is not None and score < args.min_score:
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
