#!/usr/bin/env python3
# SPDX-License-Identifier: GPL-3.0-or-later
"""Mutation testing of everything Velmora ships, area by area (see AREAS).

Plants one fault at a time into a scratch copy of the source tree (--work; the working tree is never
touched), rebuilds only what the change touches, and runs the tests that can notice it, stopping at the
first failure: the CTest cases that execute the mutant's lines (measured once per tree on a gcov build, see
mutation_coverage.py), or where that cannot be told, the area's GoogleTest programs with --gtest_fail_fast,
the scenario files (the runner stops at the first failing file), then CTest with the area's labels
(--stop-on-failure); each under a time limit (a hang counts as killed). A mutant that does not compile is
stillborn and left out of the score. A survivor is judged again by the GoogleTest programs and the scenarios on a second scratch build
under AddressSanitizer and UndefinedBehaviorSanitizer: a buffer size or an index moved by one may write past
its buffer without changing what is shown. Mutants listed in scripts/mutate-equivalent.txt (by key) are
reported as equivalent and not run; the faults written in scripts/mutate-faults.txt are planted in every
run of their area. Score: killed / (run - stillborn), per area. The report ends with the test ratio.

    scripts/mutate.py                        the program's mutants (--area program)
    scripts/mutate.py --area netapi32        one area (may repeat; --area all for every area)
    scripts/mutate.py --folder jobs          only jobs/ (may repeat)
    scripts/mutate.py --sample 40            40 generated mutants per area picked at random (--seed), and the
                                             hand-written
    scripts/mutate.py --without wine         leave out the CTest cases labelled wine (may repeat)
    scripts/mutate.py --strict               exit 1 when a mutant survives (CI: with --no-faults, a small sample)
    scripts/mutate.py --list                 the mutants and their keys, without running them
    scripts/mutate.py --ratio                the test ratio alone
    scripts/mutate.py --report r.json --resume   keep each verdict in r.json as it comes; run only the mutants
                                             it holds no kill for (a long run in several sittings)
    scripts/mutate.py --report copy.json --resume --leave-out REGEX   as if the CTest cases matching REGEX
                                             were cut: only the kills that none but those cases made are
                                             judged again, and the mutants that then survive are theirs alone
"""

import argparse
import hashlib
import json
import os
import re
import signal
import subprocess
import sys
import time

from mutation_coverage import Coverage, ctest_regex

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))

class Area:
    """Folders of one area, the quick steps run first on its mutants in this order (GoogleTest programs, by
    their path in the build, and SCENARIOS for the scenario runner on every scenario file), and the heavy
    CTest labels it adds to the CTest run that follows."""

    def __init__(self, folders, steps, labels=()):
        self.folders, self.steps, self.labels = folders, steps, set(labels)


SCENARIOS = "frontends/scenario/velmora-scenario"
PROGRAM_TESTS = "tests/program/program_conversion_tests", "tests/program/program_run_tests"
TERMINAL_TESTS = "tests/frontends/terminal/terminal_tests"
NETAPI32_TESTS = "tests/platform/netapi32/platform_netapi32_tests"
KERNEL32_TESTS = "tests/platform/kernel32/platform_kernel32_tests"
USER32_TESTS = "tests/platform/user32/platform_user32_tests"
# CTest labels of the slow or privileged cases, run only for the areas that name them: the real network's
# cases (fake host, Samba), the cases that need root (two users, mounts), those that run Wine, and the
# terminal's sessions in tmux.
HEAVY_LABELS = {"realnet", "root", "wine", "end_to_end"}
# Arguments a GoogleTest program needs beside the mutation run's own: the Samba servers' cases of the real
# network's tests run only inside tests/platform/realnet/samba_test.sh, which starts those servers.
GTEST_ARGUMENTS = {"tests/platform/realnet/realnet_tests": ["--gtest_filter=-Smbd*:Dc*"]}
SHARED_FILE_AND_END_TO_END = ("root", "wine", "end_to_end")
AREAS = {
    "program": Area(["app", "target", "service", "jobs"], [SCENARIOS] + list(PROGRAM_TESTS) + [TERMINAL_TESTS]),
    "user32": Area(["platform/user32"], [USER32_TESTS, SCENARIOS, TERMINAL_TESTS] + list(PROGRAM_TESTS)),
    "comctl32": Area(["platform/comctl32"], [USER32_TESTS, SCENARIOS, TERMINAL_TESTS] + list(PROGRAM_TESTS)),
    "kernel32": Area(["platform/kernel32"], [KERNEL32_TESTS, NETAPI32_TESTS, SCENARIOS] + list(PROGRAM_TESTS)),
    # The computer line's real-network settings are read and written only by the real network's cases.
    "netapi32": Area(["platform/netapi32"], [NETAPI32_TESTS, SCENARIOS] + list(PROGRAM_TESTS),
                     SHARED_FILE_AND_END_TO_END + ("realnet",)),
    "host": Area(["platform/host"], [NETAPI32_TESTS, KERNEL32_TESTS, SCENARIOS], SHARED_FILE_AND_END_TO_END),
    # What several of the stand-in's DLLs share: code-page text, the statement lexer, the resource reader,
    # the call log and the driver seam.
    "common": Area(["platform/common"], ["tests/platform/common/platform_common_tests", "tests/resources/resource_reader_tests",
                                         KERNEL32_TESTS, USER32_TESTS, NETAPI32_TESTS, SCENARIOS] + list(PROGRAM_TESTS)
                   + [TERMINAL_TESTS], ["end_to_end"]),
    "realnet": Area(["platform/realnet"], ["tests/platform/realnet/realnet_tests"], ["realnet", "root"]),
    "terminal": Area(["frontends/terminal"], [TERMINAL_TESTS], ["end_to_end"]),
}
FOLDERS = [folder for area in AREAS.values() for folder in area.folders]
# Built for Windows only (the Linux build compiles the POSIX or Samba twin): no Linux test can reach them.
WINDOWS_ONLY = {"platform/host/host_windows.cpp", "platform/realnet/remote_host_windows.cpp"}
EQUIVALENT_LIST = os.path.join(ROOT, "scripts", "mutate-equivalent.txt")
FAULT_LIST = os.path.join(ROOT, "scripts", "mutate-faults.txt")
SANITIZE_FLAGS = "-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer"

# C++ as tokens, so that operators are found only in code: preprocessor lines (with their continuations),
# comments and blanks are skipped; strings and characters are whole tokens.
TOKEN = re.compile(
    r"""(?P<skip>(?:\A|\n)[ \t\r]*\#(?:\\\n|.)*|//.*|/\*[\s\S]*?(?:\*/|\Z)|[ \t\r\n])
    |(?P<string>"(?:\\[\s\S]|[^"\\])*(?:"|\Z))|(?P<char>'(?:\\[\s\S]|[^'\\])*(?:'|\Z))
    |(?P<number>0[xX][0-9a-fA-F]+[uUlL]*|[0-9]+(?:\.[0-9]+)?[uUlLfF]*)|(?P<ident>[A-Za-z_]\w*)
    |(?P<punct><<=|>>=|->\*|\.\.\.|::|->|\+\+|--|<<|>>|<=|>=|==|!=|&&|\|\||[-+*/%&|^]=|\.\*|[\s\S])""",
    re.X,
)


class Token:
    __slots__ = ("kind", "text", "start", "end")

    def __init__(self, match):
        self.kind, self.text, self.start, self.end = match.lastgroup, match.group(), match.start(), match.end()


def tokenize(source):
    return [Token(m) for m in TOKEN.finditer(source) if m.lastgroup != "skip"]


def function_spans(tokens):
    """Returns [(name, first_token_index, last_token_index)] of function bodies, by brace nesting."""
    spans = []
    stack = []  # (kind, name, start index); kind is "ns", "func", "type" or "block"
    statement_start = 0
    for k, t in enumerate(tokens):
        if t.text == "{":
            head = tokens[statement_start:k]
            texts = [h.text for h in head]
            kind, name = "block", None
            if any(kind == "func" for kind, _, _ in stack):
                pass
            elif "namespace" in texts or (texts[:1] == ["extern"] and any(h.kind == "string" for h in head)):
                kind = "ns"
            elif ("struct" in texts or "class" in texts or "enum" in texts) and "(" not in texts:
                kind = "type"
            elif "(" in texts and "=" not in texts[: texts.index("(")]:
                paren = texts.index("(")
                kind, name = "func", texts[paren - 1] if paren > 0 else "?"
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


class Mutant:
    occurrence = 1

    def __init__(self, path, source, start, end, replacement, operator, function):
        self.path, self.start, self.end = path, start, end
        self.replacement, self.operator, self.function = replacement, operator, function
        self.line = source.count("\n", 0, start) + 1
        self.lines = list(range(self.line, source.count("\n", 0, max(start, end - 1)) + 2))
        self.texts = source.splitlines()[self.line - 1 : self.lines[-1]]
        self.original = source[start:end]
        line_end = source.find("\n", start)
        self.line_text = source[source.rfind("\n", 0, start) + 1 : line_end if line_end >= 0 else None].strip()

    def apply(self, source):
        return source[: self.start] + self.replacement + source[self.end :]

    @property
    def key(self):
        # Survives edits elsewhere in the file: the function, the operator, what is replaced by what, and the
        # line it stands on.
        return "%s | %s | %s | %s -> %s | %s%s" % (
            self.path,
            self.function,
            self.operator,
            " ".join(self.original.split()),
            " ".join(self.replacement.split()),
            self.line_text,
            " #%d" % self.occurrence if self.occurrence > 1 else "",
        )

    def describe(self):
        shown = lambda s: " ".join(s.split())[:60]
        return "%s:%d:%s [%s] in %s: `%s` -> `%s`" % (
            self.path,
            self.line,
            self.operator,
            self.operator,
            self.function,
            shown(self.original),
            shown(self.replacement) or "(removed)",
        )


RELATIONAL = {">": [">="], ">=": [">"], "<": ["<="], "<=": ["<"], "==": ["!="], "!=": ["=="]}
LOGICAL = {"&&": "||", "||": "&&"}
FORMAT_SWAPS = [("%ld", "%lu"), ("%lu", "%ld"), ("%d", "%u"), ("%u", "%d")]
STATEMENT_KEYWORDS = set(
    "return break continue case default goto if else for while do switch const static char int unsigned bool auto"
    " struct enum namespace using typedef template void long short double float extern inline".split()
)
# Calls whose two arguments may be swapped without a change (kept in the sample, reported as equivalent); Samba's
# NT_STATUS_EQUAL compares the two codes' values with ==.
COMMUTATIVE = {"min", "max", "NT_STATUS_EQUAL"}
NOT_CALLS = {"if", "while", "for", "switch", "return", "sizeof", "static_cast", "reinterpret_cast", "const_cast"}
# Arguments whose swap the compiler would refuse (a handle, a text, a pointer beside a number) are not swapped.
HANDLE_NAMES = {"window", "dialog", "editor", "list", "instance", "AppInstance", "record", "buffer", "text"}


def is_spaced(source, t):
    """A binary operator as clang-format writes it: blanks on both sides."""
    return source[t.start - 1 : t.start] == " " and source[t.end : t.end + 1] == " "


def matching(tokens, k):
    depth = 0
    for j in range(k, len(tokens)):
        depth += {"(": 1, ")": -1}.get(tokens[j].text, 0)
        if depth == 0:
            return j
    return None


def in_array_bound(tokens, k, lo):
    """Whether token k is inside the [...] of a declaration (an array size), not of an index."""
    j = k - 1
    while j >= lo and tokens[j].text not in ("[", ";", "{", "}", "(", ")"):
        j -= 1
    if j < lo or tokens[j].text != "[":
        return False
    return j >= 2 and tokens[j - 1].kind == "ident" and tokens[j - 2].kind == "ident" and tokens[j - 2].text not in (
        "return",
        "case",
    )


def add_constant(add, t, name):
    digits = re.match(r"0[xX][0-9a-fA-F]+|\d+", t.text).group(0)
    octal = len(digits) > 1 and digits.startswith("0") and digits.isdigit()  # file modes: 0644, 07777
    value = int(digits, 8 if octal else 0)
    # 0 and 1 stand for no, yes, none and first; their faults are those of the forced conditions and removed
    # statements, so they are not moved.
    if value < 2:
        return
    suffix = t.text[len(digits) :]
    for v in (value + 1, value - 1):
        shown = hex(v) if digits.lower().startswith("0x") else "0%o" % v if octal else str(v)
        add(t.start, t.end, shown + suffix, "constant", name)


def add_formats(add, t, name):
    for old, new in FORMAT_SWAPS:
        for m in re.finditer(re.escape(old), t.text):
            # %ld is not %d; %lu is not %u; %% is no conversion.
            if old in ("%d", "%u") and t.text[m.start() + 1 : m.start() + 2] == "l":
                continue
            if not t.text[: m.start()].endswith("%"):
                add(t.start + m.start(), t.start + m.end(), new, "format", name)


def forced(add, a, b, name):
    add(a, b, "true", "condition-true", name)
    add(a, b, "false", "condition-false", name)


def call_arguments(tokens, k, close):
    """The (first, last) token indexes of each argument of the call whose "(" is token k."""
    args, depth, first = [], 0, k + 1
    for j in range(k + 1, close):
        x = tokens[j].text
        if x in ("(", "[", "{"):
            depth += 1
        elif x in (")", "]", "}"):
            depth -= 1
        elif x == "," and depth == 0:
            args.append((first, j - 1))
            first = j + 1
    return args + ([(first, close - 1)] if first < close else [])


def swappable(argument):
    a = argument.strip()
    if a.startswith('"') or a.startswith("&") or a in ("NULL", "nullptr") or a in HANDLE_NAMES:
        return False
    return not re.match(r"^(GetDlgItem|LoadCursorA|reinterpret_cast|\(LPARAM\)|\(LPBYTE\))", a)


def is_expression_statement(head):
    first = head[0]
    if first.text in ("++", "--"):
        return True
    if first.kind != "ident" or first.text in STATEMENT_KEYWORDS or len(head) < 2:
        return False
    # A declaration starts with two names in a row (type, then variable) or a qualified type; an expression
    # statement with a call or an assignment.
    j = 1
    while j + 1 < len(head) and head[j].text == "::" and head[j + 1].kind == "ident":
        j += 2
    if j < len(head) and head[j].kind == "ident":
        return False
    if j + 1 < len(head) and head[j].text in ("*", "&") and head[j + 1].kind == "ident":
        return False  # `Type *name`, or a product the program does not write as a statement
    texts = [h.text for h in head]
    return any(x in texts for x in ("(", "=", "+=", "-=", "|=", "&=", "++", "--"))


def mutants_of_file(path, source):
    tokens = tokenize(source)
    result = []

    def add(start, end, replacement, operator, function):
        result.append(Mutant(path, source, start, end, replacement, operator, function))

    spans = function_spans(tokens)
    # File-scope constants and format strings (`const int kAddButton = 101;`, `const char kModified[] = "...
    # %ld ..."`), named after what they declare.
    inside = {k for _, lo, hi in spans for k in range(lo, hi + 1)}
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
        for k in range(lo, hi + 1):
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
            if t.text in ("if", "while") and t.kind == "ident" and k + 1 <= hi and tokens[k + 1].text == "(":
                close = matching(tokens, k + 1)
                if close is not None:
                    forced(add, tokens[k + 2].start, tokens[close - 1].end, name)
            # Ternary conditions forced: back to the open parenthesis, `=`, `,`, `;`, `{` or `return`.
            if t.text == "?" and is_spaced(source, t):
                j, depth = k - 1, 0
                while j > lo:
                    x = tokens[j].text
                    if x == "(" and depth == 0 or depth == 0 and x in ("=", ",", ";", "{", "return"):
                        break
                    depth += {")": 1, "(": -1}.get(x, 0)
                    j -= 1
                forced(add, tokens[j + 1].start, tokens[k - 1].end, name)
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
                close = matching(tokens, k + 1)
                if close is not None:
                    args = call_arguments(tokens, k + 1, close)
                    for (a1, b1), (a2, b2) in zip(args, args[1:]):
                        s1 = source[tokens[a1].start : tokens[b1].end]
                        s2 = source[tokens[a2].start : tokens[b2].end]
                        if s1 != s2 and swappable(s1) and swappable(s2):
                            add(tokens[a1].start, tokens[b2].end, s2 + ", " + s1, "argument-swap", name)
                            result[-1].call = t.text
        # Statements removed: expression statements (calls, assignments, increments) at any depth of the body.
        statement_start = lo + 1
        depth_paren = 0
        for k in range(lo + 1, hi):
            x = tokens[k].text
            if x == "(":
                depth_paren += 1
            elif x == ")":
                depth_paren -= 1
                opener = tokens[statement_start].text if statement_start < k else None
                if depth_paren == 0 and opener in ("if", "while", "for", "switch"):
                    statement_start = k + 1
            elif depth_paren == 0 and (
                x in ("{", "}", "else") or x == ":" and tokens[statement_start].text in ("case", "default")
            ):
                statement_start = k + 1
            elif depth_paren == 0 and x == ";":
                head = tokens[statement_start:k]
                if head and is_expression_statement(head):
                    add(head[0].start, tokens[k].end, ";", "statement-removed", name)
                statement_start = k + 1
    return result


def collect(folders):
    mutants = []
    for folder in folders:
        for name in sorted(os.listdir(os.path.join(ROOT, folder))):
            path = folder + "/" + name
            if not name.endswith((".cpp", ".c")) or path in WINDOWS_ONLY:
                continue
            with open(os.path.join(ROOT, path), encoding="utf-8") as f:
                found = mutants_of_file(path, f.read())
            # The same change on the same text twice in a function: the later ones are told apart by number.
            seen = {}
            for m in found:
                base = m.key
                seen[base] = seen.get(base, 0) + 1
                m.occurrence = seen[base]
            mutants.extend(found)
    return mutants


def area_of(path):
    folder = os.path.dirname(path)
    return next(name for name, area in AREAS.items() if folder in area.folders)


def load_equivalents():
    """{key: reason}: each block is `#` lines (the reason), then keys, up to a blank line."""
    equivalents, reason = {}, None
    with open(EQUIVALENT_LIST, encoding="utf-8") as f:
        for line in f.read().splitlines():
            if not line.strip():
                reason = None
            elif line.startswith("#"):
                reason = (reason + " " if reason else "") + line[1:].strip()
            else:
                equivalents[line.strip()] = reason or ""
    return equivalents


class HandWritten:
    """A fault of scripts/mutate-faults.txt: exact replacements of whole lines of one file."""

    operator = "hand-written"

    def __init__(self, path, name, edits, source):
        self.path, self.function, self.edits = path, name, edits
        self.start = source.find(edits[0][0])
        self.line = source.count("\n", 0, self.start) + 1
        self.lines, self.texts = [], []
        for old, _ in edits:
            first = source.count("\n", 0, source.find(old)) + 1
            self.lines += range(first, first + old.count("\n") + 1)
            self.texts += old.splitlines()
        self.key = "%s | hand-written | %s" % (path, name)
        self.apply(source)  # fails loudly when the code has moved on

    def apply(self, source):
        for old, new in self.edits:
            if source.count(old) != 1:
                raise ValueError("%s: `%s` does not stand exactly once in %s" % (self.function, old, self.path))
            source = source.replace(old, new)
        return source

    def describe(self):
        return "%s:%d:hand-written [hand-written] %s" % (self.path, self.line, self.function)


def hand_written(folders):
    """Reads blocks of a `# name` line, an `@ path` line, then `- old` and `+ new` lines in pairs."""
    faults = []
    with open(FAULT_LIST, encoding="utf-8") as f:
        blocks = re.split(r"^# ", f.read(), flags=re.M)[1:]
    for block in blocks:
        name, *lines = block.splitlines()
        paths = [line[2:].strip() for line in lines if line.startswith("@ ")]
        olds = [line[2:] for line in lines if line.startswith("- ")]
        news = [line[2:] for line in lines if line.startswith("+")]
        if paths and olds and len(olds) == len(news) and os.path.dirname(paths[0]) in folders:
            with open(os.path.join(ROOT, paths[0]), encoding="utf-8") as f:
                faults.append(HandWritten(paths[0], name.strip(), list(zip(olds, news)), f.read()))
    return faults


def run(command, cwd, timeout=None):
    """Runs `command` under nice in its own process group; returns (rc, output), rc None on a timeout."""
    process = subprocess.Popen(
        ["nice"] + command, cwd=cwd, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, start_new_session=True
    )
    try:
        output, _ = process.communicate(timeout=timeout)
        return process.returncode, output.decode("utf-8", "replace")
    except subprocess.TimeoutExpired:
        os.killpg(process.pid, signal.SIGKILL)
        process.communicate()
        return None, "timeout"
    except BaseException:
        os.killpg(process.pid, signal.SIGKILL)  # interrupted: its own session would outlive us
        raise


def configure(work, folder, flags, link=""):
    # Warnings are no errors here: a mutant may leave a variable unused, a fault to find. lld links faster.
    linker = "-fuse-ld=lld " if os.path.exists("/usr/bin/ld.lld") else ""
    command = ["cmake", "-S", "src", "-B", folder, "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Debug"]
    return run(command + ["-DCMAKE_CXX_FLAGS=-O0 -w " + flags, "-DCMAKE_C_FLAGS=-O0 -w " + flags,
                          "-DCMAKE_EXE_LINKER_FLAGS=" + linker + flags + link,
                          "-DCMAKE_SHARED_LINKER_FLAGS=" + flags + link], work)


# Many cases end a child process with _exit (forked writers) or abort (death tests of a program fault), which
# skip the exit handlers that write gcov's counts: the coverage build's _exit and abort write them first.
DUMP_AT_EXIT = """
extern void __gcov_dump(void);
extern void __real__exit(int);
void __wrap__exit(int code) { __gcov_dump(); __real__exit(code); }
extern void __real_abort(void);
void __wrap_abort(void) { __gcov_dump(); __real_abort(); }
"""


def measure_coverage(work, jobs, areas):
    """Builds work/build-coverage under gcov and measures which lines each CTest case executes."""
    folder = os.path.join(work, "build-coverage")
    dump = os.path.join(work, "gcov_dump_at_exit")
    write(dump + ".c", DUMP_AT_EXIT)
    rc, out = run(["gcc", "-c", "-fPIC", "-o", dump + ".o", dump + ".c"], work)
    if rc != 0:
        sys.exit("cannot build the coverage build's _exit:\n" + out)
    rc, out = configure(work, folder, "--coverage", " -Wl,--wrap=_exit -Wl,--wrap=abort " + dump + ".o")
    print("building the scratch copy under gcov ...", flush=True)
    if rc == 0:
        rc, out = run(["ninja", "-j%d" % jobs], folder)
    if rc != 0:
        sys.exit("the unmutated scratch copy does not build under gcov:\n" + out[-4000:])
    excluded = set.intersection(*[excluded_labels(area) for area in areas])
    return Coverage.measure(run, os.path.join(work, "src"), folder, excluded)


def build(work, jobs, areas, flags=""):
    """Configures and builds the scratch copy work/src in work/build (or work/build-sanitize, with flags, its
    quick steps only); returns the build folder and the time limit of each step, measured on the unmutated
    sources."""
    folder = os.path.join(work, "build-sanitize" if flags else "build")
    rc, out = configure(work, folder, flags)
    print("building the scratch copy%s ..." % (" under the sanitizers" if flags else ""), flush=True)
    steps = sorted({step for area in areas for step in AREAS[area].steps})
    if rc == 0:
        rc, out = run(["ninja", "-j%d" % jobs] + ([os.path.basename(s) for s in steps] if flags else []), folder)
    if rc != 0:
        sys.exit("the unmutated scratch copy does not build:\n" + out[-4000:])
    # Each quick step once, then CTest once with every label some area names.
    seconds = {}
    ctest = [] if flags else ["ctest"]
    excluded = set.intersection(*[excluded_labels(area) for area in areas])
    verdict, test = run_tests(os.path.join(work, "src"), folder, steps + ctest, excluded, {}, jobs, seconds)
    if verdict != "survived" and flags:
        # The survivors stay survivors rather than the whole run being lost.
        print("warning: under the sanitizers the unmutated sources fail %s; survivors are not judged again" % test)
        return None
    if verdict != "survived":
        sys.exit("the unmutated sources fail %s" % test)
    return folder, {step: 5 * s + 10 for step, s in seconds.items()}


WITHOUT = set()  # labels left out by --without
LEFT_OUT = []  # CTest case names (regular expressions) left out by --leave-out


def left_out(name):
    return any(re.search(pattern, name) for pattern in LEFT_OUT)


def excluded_labels(area):
    excluded = (HEAVY_LABELS - AREAS[area].labels) | WITHOUT
    # Not root: the root cases would fail on every mutant and the unmutated sources alike.
    return excluded | ({"root"} if os.geteuid() != 0 else set())


def run_tests(source, folder, steps, excluded, limits, jobs, seconds=None):
    """Builds and runs the steps (GoogleTest programs, SCENARIOS, "ctest" for CTest without the excluded
    labels), stopping at the first failure. Returns (verdict, test): verdict is 'killed', 'survived' or
    'stillborn'. The time of each step is put in seconds."""
    scenarios = os.path.join(source, "tests", "scenarios")
    seconds = {} if seconds is None else seconds
    for step in steps:
        target = [] if step == "ctest" else [os.path.basename(step)]  # CTest: everything
        rc, out = run(["ninja", "-j%d" % jobs] + target, folder)
        if rc != 0:
            return "stillborn", out.strip().splitlines()[-1] if out.strip() else "build failed"
        if step == SCENARIOS:
            files = sorted(os.path.join(scenarios, f) for f in os.listdir(scenarios) if f.endswith(".scenario"))
            command, cwd, name = [os.path.join(folder, step)] + files, source, "scenarios"
        elif step == "ctest":
            labels = "^(%s)$" % "|".join(sorted(excluded))
            # Two at a time at least: many cases mostly wait (locks, child processes, tmux).
            command = ["ctest", "--test-dir", folder, "--stop-on-failure", "-j%d" % max(2, jobs), "-LE", labels]
            command += ["-E", "|".join(LEFT_OUT)] if LEFT_OUT else []
            cwd, name = folder, "ctest"
        else:
            command = [os.path.join(folder, step), "--gtest_fail_fast", "--gtest_brief=1"] + GTEST_ARGUMENTS.get(step, [])
            cwd, name = os.path.join(folder, os.path.dirname(step)), os.path.basename(step)
        started = time.time()
        rc, out = run(command, cwd, timeout=limits.get(step, 3600))
        seconds[step] = max(seconds.get(step, 0), time.time() - started)
        if rc is None:
            return "killed", name + " (timeout)"
        failed = re.findall(r"^FAIL (.*)|\[  FAILED  \] (\S+)|^\s*\d+ - (\S+) \(", out, re.M)
        if rc != 0 and failed and failed[0][0]:
            return "killed", "scenario " + failed[0][0].replace(source + "/", "")[:200]
        if rc != 0:
            return "killed", "%s%s" % (name, ": " + (failed[0][1] or failed[0][2]) if failed else " (exit %d)" % rc)
    return "survived", None


# Cases of the labels left out (wine, say) may still execute them.
NOT_REACHED = "no test of this run executes its lines"


# CTest runs the costliest cases first, and the cases that kill most mutants take a second or less: the chosen cases
# run in tiers of what each takes alone (up to 2 s, up to 15 s, and the rest, the Samba servers' above all), each tier
# only once the quicker ones have passed.
CASE_TIERS = (2, 15)


def run_chosen(folder, names, seconds, case_limit, limit, jobs, every=False):
    """Builds everything and runs the named CTest cases (each taking seconds[i] alone), each within case_limit
    seconds and all within limit, the quick ones first, stopping at the first failure, or with every running
    them all and naming each that fails; (verdict, test)."""
    rc, out = run(["ninja", "-j%d" % jobs], folder)
    if rc != 0:
        return "stillborn", out.strip().splitlines()[-1] if out.strip() else "build failed"
    if not names:
        return "survived", NOT_REACHED
    bounds = (-1,) + CASE_TIERS + (float("inf"),)
    tiers = [[n for n, s in zip(names, seconds) if low < s <= high] for low, high in zip(bounds, bounds[1:])]
    for group in ([names] if every else [g for g in tiers if g]):
        command = ["ctest", "--test-dir", folder, "-j%d" % max(2, jobs), "-R", ctest_regex(group)]
        command += ["--timeout", "%d" % case_limit] + ([] if every else ["--stop-on-failure"])
        rc, out = run(command, folder, timeout=case_limit * len(group) if every else limit)
        if rc is None:
            return "killed", "ctest (timeout)"
        failed = re.findall(r"^\s*\d+ - (\S+) \(", out, re.M)
        if rc != 0:
            return "killed", "ctest: " + (", ".join(failed) if every else failed[0]) if failed else "ctest (exit %d)" % rc
    return "survived", None


def write(path, text):
    # A fresh modification time each time, so that the builds see every change.
    with open(path, "w", encoding="utf-8") as f:
        f.write(text)


def run_mutants(mutants, work, jobs, choose=True, done=None, every=False):
    """Plants each mutant in turn in the scratch copy; returns [(mutant, verdict, test)]. With choose, a
    mutant is judged by the CTest cases that execute its lines (measured on a gcov build), else by the
    area's quick steps and all of CTest; done(mutant, verdict, test) is told each verdict."""
    source = os.path.join(work, "src")
    os.makedirs(source, exist_ok=True)
    # Only changed files are rewritten (with a fresh time), so that a second run rebuilds only what changed.
    subprocess.run([os.path.join(ROOT, "scripts", "install-deps.sh"), "rsync"], check=True)
    excluded = ["--exclude=/build/", "--exclude=/.git", "--exclude=__pycache__"]
    rc, out = run(["rsync", "-rlp", "--checksum", "--delete"] + excluded + [ROOT + "/", source + "/"], work)
    if rc != 0:
        sys.exit("cannot copy the sources:\n" + out)
    areas = sorted({area_of(m.path) for m in mutants})
    if not areas:
        return []
    if os.geteuid() != 0:
        print("note: not root, so the cases labelled root are left out", flush=True)
    plain, sanitized = build(work, jobs, areas), None
    coverage = measure_coverage(work, jobs, areas) if choose else None
    results = []
    for m in mutants:
        full = os.path.join(source, m.path)
        area = area_of(m.path)
        with open(full, encoding="utf-8") as f:
            original = f.read()
        try:
            write(full, m.apply(original))
            steps, excluded = AREAS[area].steps, excluded_labels(area)
            chosen = coverage.cases_for(m.path, m.lines, m.texts, excluded) if coverage else None
            if chosen is None:
                # The quick steps would run the left-out cases too.
                steps = [] if LEFT_OUT else steps
                verdict, test = run_tests(source, plain[0], steps + ["ctest"], excluded, plain[1], jobs)
            else:
                # A limit for each case, so that a mutant that hangs one costs little, and one for all of them.
                seconds = [coverage.seconds_of(name) for name in chosen]
                case_limit = 5 * max(seconds, default=0) + 30
                limit = 5 * sum(seconds) + 60
                names = [n for n in chosen if not left_out(n)]
                verdict, test = run_chosen(plain[0], names, [coverage.seconds_of(n) for n in names], case_limit,
                                           limit, jobs, every)
            if verdict == "survived" and test != NOT_REACHED:
                if sanitized is None:
                    # Built and timed on the unmutated sources, at the first survivor (False when it fails).
                    write(full, original)
                    sanitized = build(work, jobs, areas, SANITIZE_FLAGS) or False
                    write(full, m.apply(original))
                if sanitized:
                    verdict, test = run_tests(source, sanitized[0], steps, excluded, sanitized[1], jobs)
                    test = test and test + " (sanitizers)"
        finally:
            write(full, original)
        results.append((m, verdict, test))
        if done:
            done(m, verdict, test)
        by = "\n    " + ("by " if verdict == "killed" else "") + test if test else ""
        print("[%d/%d] %s %s%s" % (len(results), len(mutants), verdict.upper(), m.describe(), by), flush=True)
    # Leaves the scratch builds matching the sources, ready for the next run.
    run(["ninja", "-j%d" % jobs], plain[0])
    if sanitized:
        steps = sorted({os.path.basename(step) for area in areas for step in AREAS[area].steps})
        run(["ninja", "-j%d" % jobs] + steps, sanitized[0])
    return results


def print_tally(mutants, equivalents, rows, areas):
    """Where the planned mutants stand in a report, per area, without running any; the score so far."""
    verdict_of = {row["key"]: row for row in rows}
    print("area      planned  equivalent  killed  survived (unreached)  stillborn  to judge  score so far")
    for area in areas:
        mine = [m for m in mutants if area_of(m.path) == area]
        found = [verdict_of.get(m.key) for m in mine if m.key not in equivalents]  # None: not judged yet
        count = {v: sum(1 for r in found if r and r["verdict"] == v) for v in ("killed", "survived", "stillborn")}
        unreached = sum(1 for r in found if r and r["verdict"] == "survived" and r["test"] == NOT_REACHED)
        live = count["killed"] + count["survived"]
        score = "%.1f%%" % (100.0 * count["killed"] / live) if live else "-"
        print("%-9s %7d  %10d  %6d  %8d (%d)  %13d  %8d  %s" % (
            area, len(mine), len(mine) - len(found), count["killed"], count["survived"], unreached,
            count["stillborn"], found.count(None), score))
    return 0


def print_score(results, areas):
    print("\n== Score (killed / (run - stillborn))")
    for area in areas + ["all"]:
        verdicts = [v for m, v, _ in results if area == "all" or area_of(m.path) == area]
        counts = [verdicts.count(v) for v in ("killed", "survived", "equivalent", "stillborn")]
        live = counts[0] + counts[1]
        score = "%.1f%%" % (100.0 * counts[0] / live) if live else "-"
        row = tuple([area] + counts + [score])
        print("%-8s killed %3d  survived %3d  equivalent %3d  stillborn %3d  score %s" % row)


# How tests are counted against the code (docs/testing.md): tests, their fixtures, fake hosts and test scripts
# count as tests wherever they live; the scenario interpreter with its two back ends is a test framework, like
# GoogleTest, and counts on neither side, nor do its own tests, this measuring tool, the fuzz corpora,
# documents, packaging and CI's script. Non-blank lines of source, build and script files.
COUNTED = re.compile(r"(\.(cpp|h|c|py|sh|rc|def|cmake|scenario)|(^|/)CMakeLists\.txt)$")
# The conformance suite's runner and its two hosts stand in for GoogleTest, which MinGW builds lack.
CONFORMANCE = "tests/platform/conformance/"
FRAMEWORK = ("frontends/scenario/", "tests/frontends/scenario/", "scripts/mutate.py", "scripts/mutation_coverage.py",
             CONFORMANCE + "conformance.h", CONFORMANCE + "conformance_main.cpp", CONFORMANCE + "test_host")
# The help viewer under platform/winhlp32 only records the requests of the program under test in Wine's tests.
TEST_SCRIPTS = re.compile(r"^(tests/|platform/winhlp32/|scripts/(test[-.][^/]*|fuzz\.sh)$)")
NEITHER = ("tests/fuzz/corpus/", "docs/", "debian/", "packaging/", "examples/", ".ci/")


def test_ratio():
    """(test lines, code lines) of the files git tracks."""
    listed = subprocess.run(["git", "-C", ROOT, "ls-files"], capture_output=True, text=True, check=True)
    counts = {"test": 0, "code": 0}
    for path in listed.stdout.splitlines():
        if not COUNTED.search(path) or path.startswith(FRAMEWORK + NEITHER):
            continue
        with open(os.path.join(ROOT, path), encoding="utf-8", errors="replace") as f:
            lines = sum(1 for line in f if line.strip())
        counts["test" if TEST_SCRIPTS.match(path) else "code"] += lines
    return counts["test"], counts["code"]


def report_files(report):
    """{path: area or None}: a report folder holds a file per area, AREA.json; else the one file."""
    if not os.path.isdir(report):
        return {report: None}
    return {os.path.join(report, area + ".json"): area for area in AREAS}


def read_report(report):
    rows = []
    for path in report_files(report):
        if os.path.exists(path):
            with open(path, encoding="utf-8") as f:
                rows += json.load(f)
    return rows


def write_report(report, rows):
    """Writes the rows whole, each file replaced at once, so that a run cut short leaves a report to resume."""
    for path, area in report_files(report).items():
        mine = [row for row in rows if area is None or area_of(row["key"].split(" | ")[0]) == area]
        if area is not None and not mine and not os.path.exists(path):
            continue
        with open(path + ".new", "w", encoding="utf-8") as f:
            json.dump(mine, f, ensure_ascii=False, indent=1)
        os.replace(path + ".new", path)


def fallen(row, survivors_first):
    """Whether a report's verdict must be judged again: a survivor, unless cases are left out (but for
    --survivors-first); a kill whose named killers are all left out (a case, "ctest: a, b", or a GoogleTest
    program's "program: Suite.Test")."""
    if row["verdict"] == "survived":
        return not LEFT_OUT or survivors_first
    if row["verdict"] != "killed" or not LEFT_OUT:
        return False
    test = row["test"] or ""
    if test.startswith("ctest: "):
        return all(left_out(name) for name in test[len("ctest: ") :].split(", "))
    # A quick step's kill ("terminal_tests: Suite.Test", matched by the case's name, which CTest's name ends
    # with), or one that names no case (a scenario file, a timeout): judged again.
    case = test.partition(": ")[2]
    return not case or " " in case or left_out(case)


def print_killers(reports):
    """Each test named as a killer in the reports, with its kills and its kills that no other test shares."""
    kills, alone = {}, {}
    for row in [row for report in reports for row in read_report(report)]:
        if row["verdict"] != "killed" or not (row["test"] or "").startswith("ctest: "):
            continue
        killers = row["test"][len("ctest: ") :].split(", ")
        for name in killers:
            kills[name] = kills.get(name, 0) + 1
            alone[name] = alone.get(name, 0) + (len(killers) == 1)
    print("kills  alone  test")
    for name in sorted(kills, key=lambda n: (alone[n], kills[n], n)):
        print("%5d  %5d  %s" % (kills[name], alone[name], name))


def print_ratio():
    tests, code = test_ratio()
    print("tests %d lines, code %d lines: ratio %.3f (keep at or under 0.40)" % (tests, code, tests / code))


def shard_of(text):
    """(K, N) of --shard's K/N, 1 <= K <= N."""
    match = re.fullmatch(r"(\d+)/(\d+)", text)
    if not match or not 1 <= int(match.group(1)) <= int(match.group(2)):
        raise argparse.ArgumentTypeError("K/N with 1 <= K <= N, not %r" % text)
    return int(match.group(1)), int(match.group(2))


def main():
    signal.signal(signal.SIGTERM, lambda *_: sys.exit("terminated"))
    parser = argparse.ArgumentParser(description=__doc__.split("\n\n")[0])
    parser.add_argument("--area", action="append", choices=list(AREAS) + ["all"], help="only this area (may repeat)")
    parser.add_argument("--folder", action="append", choices=FOLDERS, help="only this folder (may repeat)")
    parser.add_argument("--sample", type=int, help="run N generated mutants per area picked at random, and the hand-written")
    parser.add_argument("--seed", type=int, default=1, help="seed of --sample (default 1)")
    parser.add_argument("--without", action="append", default=[], choices=sorted(HEAVY_LABELS),
                        help="leave out the CTest cases with this label (may repeat; the report says so)")
    parser.add_argument("--no-faults", action="store_true", help="leave out the hand-written faults")
    parser.add_argument("--strict", action="store_true", help="exit 1 when a mutant survives (for CI)")
    parser.add_argument("--list", action="store_true", help="list the mutants and stop")
    parser.add_argument("--ratio", action="store_true", help="print the test ratio and stop")
    parser.add_argument("--work", default="/tmp/velmora-mutate-%s" % os.environ.get("USER", "user"))
    parser.add_argument("--jobs", type=int, default=1, help="build jobs (default 1)")
    parser.add_argument("--all-tests", action="store_true",
                        help="judge each mutant by its area's quick steps and all of CTest, not only by the cases "
                        "that execute its lines")
    parser.add_argument("--report", help="write the results as JSON to this file, after each mutant (to AREA.json "
                        "in it, when a folder)")
    parser.add_argument("--every-killer", action="store_true",
                        help="run every chosen case on a mutant and name each that fails, to find the tests that "
                        "kill no mutant alone (slower)")
    parser.add_argument("--killers", nargs="+", metavar="REPORT",
                        help="from reports of --every-killer runs: how many mutants each test kills, and how many "
                        "of those no other test kills; then stop")
    parser.add_argument("--resume", action="store_true",
                        help="with --report: keep the kills and stillbirths already there and run only the other "
                        "mutants (survivors again)")
    parser.add_argument("--survivors-first", action="store_true",
                        help="with --resume: judge the survivors again before the mutants never judged (once their "
                        "checks have landed)")
    parser.add_argument("--tally", action="store_true",
                        help="with --report: where the planned mutants stand in it, per area, without running any")
    parser.add_argument("--leave-out", action="append", default=[], metavar="REGEX",
                        help="with --resume: leave out the CTest cases whose names match, as if cut; judge again "
                        "only the kills that no other case made (survivors are kept, not judged again, but with "
                        "--survivors-first)")
    parser.add_argument("--only", metavar="REGEX", help="judge only the mutants whose keys match (those of checks "
                        "just written, say); the report keeps the others' verdicts")
    parser.add_argument("--shard", metavar="K/N", type=shard_of, help="judge only the Kth of every N mutants left "
                        "(K from 1), so that N runs, each with its own --work and --report, share a run out between "
                        "them")
    args = parser.parse_args()
    WITHOUT.update(args.without)
    LEFT_OUT.extend(args.leave_out)
    if args.killers:
        print_killers(args.killers)
        return 0
    if args.ratio:
        print_ratio()
        return 0
    areas = list(AREAS) if args.area and "all" in args.area else args.area or ["program"]
    folders = args.folder or [folder for area in areas for folder in AREAS[area].folders]
    areas = [area for area in AREAS if any(folder in AREAS[area].folders for folder in folders)]
    mutants = collect(folders)
    equivalents = load_equivalents()
    if args.sample is None:
        # An entry that names no mutant any more was left behind by a change.
        known = {m.key for m in mutants}
        for key in equivalents:
            if key not in known and os.path.dirname(key.split(" | ")[0]) in folders:
                print("warning: %s names no mutant: %s" % (os.path.basename(EQUIVALENT_LIST), key), file=sys.stderr)
    else:
        # Each mutant's place in the draw comes from the seed and its key alone, so that an area's sample does
        # not depend on the other areas run with it, and a change to the code moves only the mutants it adds
        # or removes, not the whole sample.
        def place(m):
            return hashlib.sha256(("%d %s" % (args.seed, m.key)).encode()).hexdigest()

        picked = []
        for area in areas:
            picked += sorted((m for m in mutants if area_of(m.path) == area), key=place)[: args.sample]
        mutants = sorted(picked, key=lambda m: (m.path, m.start))
    if not args.no_faults:
        mutants += hand_written(folders)
    if args.list:
        for m in mutants:
            print(("EQUIVALENT " if m.key in equivalents else "") + m.describe() + "\n    key: " + m.key)
        print("%d mutants" % len(mutants))
        return 0

    started = time.time()
    for m in mutants:
        if getattr(m, "call", None) in COMMUTATIVE:
            equivalents.setdefault(m.key, "%s gives the same whichever argument comes first" % m.call)
    results = [(m, "equivalent", equivalents[m.key]) for m in mutants if m.key in equivalents]
    rows = []
    if args.resume and args.report:
        rows = [row for row in read_report(args.report) if row["verdict"] != "equivalent"]
    # Kills and stillbirths stand; a survivor is judged again, since tests may have come for it since. Leaving
    # cases out kills nothing new, so survivors stand then (unless --survivors-first asks for them), and only the
    # kills that those cases alone made fall.
    again = {row["key"] for row in rows if fallen(row, args.survivors_first)}
    judged = {row["key"]: row for row in rows if row["key"] not in equivalents and row["key"] not in again}
    fell = {row["key"] for row in rows if row["verdict"] == "killed" and row["key"] not in judged}
    planned = {m.key for m in mutants}
    # A survivor to be judged again stays in the report until its new verdict replaces it, so that a run cut
    # short leaves it a survivor, not unjudged; a kill that fell is dropped at once.
    rows = [row for row in rows if row["key"] in judged or row["key"] not in planned or row["verdict"] == "survived"]
    results += [(m, judged[m.key]["verdict"], judged[m.key]["test"]) for m in mutants if m.key in judged]
    tree = subprocess.run(["git", "-C", ROOT, "describe", "--always", "--dirty"], capture_output=True, text=True)

    def keep(m, verdict, test):
        rows[:] = [row for row in rows if row["key"] != m.key]
        rows.append({"id": m.describe(), "key": m.key, "verdict": verdict, "test": test, "tree": tree.stdout.strip()})
        if args.report:
            write_report(args.report, rows)

    if args.tally:
        return print_tally(mutants, equivalents, read_report(args.report) if args.report else [], areas)
    if judged:
        print("%d mutants judged before, kept from %s" % (sum(m.key in judged for m in mutants), args.report))
    left = [m for m in mutants if m.key not in equivalents and m.key not in judged]
    # The hand-written faults first, then the kills whose killers were left out (they decide whether a cut may
    # stand), then the mutants never judged, and last the survivors judged again: tests written for those often
    # land while a long run is under way, and a later run judges them on the new tree.
    survivors = {row["key"] for row in rows if row["verdict"] == "survived"}
    left.sort(key=lambda m: (not isinstance(m, HandWritten), m.key not in fell,
                             (m.key in survivors) != args.survivors_first))
    if args.only:
        left = [m for m in left if re.search(args.only, m.key)]
    if args.shard:
        shard, shards = args.shard
        left = left[shard - 1 :: shards]
    results += run_mutants(left, args.work, args.jobs, not args.all_tests, keep, args.every_killer)
    results.sort(key=lambda r: (r[0].path, r[0].start))
    print("\n== Survivors")
    for m, verdict, _ in results:
        if verdict == "survived":
            print(m.describe() + "\n    key: " + m.key)
    print_score(results, areas)
    if WITHOUT:
        print("without the CTest cases labelled %s" % ", ".join(sorted(WITHOUT)))
    print("%d mutants in %.0f s" % (len(results), time.time() - started))
    print_ratio()
    return 1 if args.strict and any(v == "survived" for _, v, _ in results) else 0


if __name__ == "__main__":
    sys.exit(main())
