# SPDX-License-Identifier: GPL-3.0-or-later
"""Which CTest cases execute which source lines, for scripts/mutate.py's choice of tests.

A mutant can change what a test sees only if the test executes a line that the mutant changed. So each
CTest case is run alone once, on a build instrumented by gcov, from unmutated sources, and the lines it
executed are kept; a mutant is then judged by the cases that execute its lines, cheapest first. Where the
mutant's lines hold no instrumented code (a file-scope constant, a declaration) or a `case` label (a case
never taken can still catch a value once the label moves), no choice is made and every case runs.
"""

import glob
import hashlib
import json
import os
import subprocess
import time


def tree_digest(source):
    """One hash of every file of the scratch copy, names and contents, but for the measuring tool's own and its
    reports (written as it runs)."""
    digest = hashlib.sha256()
    for folder, subfolders, files in os.walk(source):
        subfolders.sort()
        for name in sorted(files):
            path = os.path.join(folder, name)
            relative = os.path.relpath(path, source)
            if relative.startswith("docs/mutation/") or relative in ("scripts/mutate.py", "scripts/mutation_coverage.py"):
                continue
            digest.update(relative.encode() + b"\0")
            if not os.path.islink(path):
                with open(path, "rb") as f:
                    digest.update(f.read())
    return digest.hexdigest()


def ctest_regex(names):
    """A CTest -R expression that matches exactly these test names."""
    special = set("\\^$.|?*+()[]{}")
    escaped = ["".join("\\" + c if c in special else c for c in name) for name in names]
    return "^(%s)$" % "|".join(escaped)


def listed_tests(folder, excluded):
    """[(name, labels)] of the CTest cases of the build folder, without those with an excluded label."""
    command = ["ctest", "--test-dir", folder, "--show-only=json-v1"]
    if excluded:
        command += ["-LE", "^(%s)$" % "|".join(sorted(excluded))]
    listing = json.loads(subprocess.run(command, capture_output=True, text=True, check=True).stdout)
    tests = []
    for test in listing["tests"]:
        labels = next((p["value"] for p in test.get("properties", []) if p["name"] == "LABELS"), [])
        tests.append((test["name"], sorted(labels)))
    return tests


def executed_lines(folder, source):
    """{path: (instrumented lines, executed lines)} of the gcov data in the build folder, for files of the
    scratch copy (paths relative to it)."""
    data = glob.glob(os.path.join(folder, "**", "*.gcda"), recursive=True)
    lines = {}
    if not data:
        return lines
    out = subprocess.run(
        ["gcov", "--json-format", "--stdout"] + data, cwd=folder, capture_output=True, text=True, check=True
    ).stdout
    for document in out.splitlines():
        for entry in json.loads(document)["files"]:
            path = os.path.normpath(os.path.join(folder, entry["file"]))
            if not path.startswith(source + os.sep):
                continue
            mine = lines.setdefault(os.path.relpath(path, source), (set(), set()))
            for line in entry["lines"]:
                mine[0].add(line["line_number"])
                if line["count"] > 0:
                    mine[1].add(line["line_number"])
    return lines


# Raised when the way of measuring changes, so that measures kept from before are not reused.
METHOD = 2


class Coverage:
    """The lines each CTest case executed, measured once per scratch copy's contents and kept in
    folder/coverage.json."""

    def __init__(self, tests, seconds, instrumented, executed_by):
        self.tests, self.seconds = tests, seconds  # [(name, labels)], [seconds]
        self.seconds_by_name = {name: seconds[i] for i, (name, _) in enumerate(tests)}
        self.instrumented = instrumented  # {path: set of lines}
        self.executed_by = executed_by  # {path: {line: set of test indexes}}

    @classmethod
    def measure(cls, run, source, folder, excluded):
        """Runs each case alone on the instrumented build in folder; exits when one fails."""
        digest = tree_digest(source)
        kept = os.path.join(folder, "coverage.json")
        if os.path.exists(kept):
            with open(kept, encoding="utf-8") as f:
                saved = json.load(f)
            # Measured with fewer labels left out serves too: the cases of the others are passed over.
            same = (saved.get("method"), saved["digest"]) == (METHOD, digest)
            if same and set(saved["excluded"]) <= set(excluded):
                print("the lines each test executes: as measured before", flush=True)
                return cls.from_saved(saved)
        tests = listed_tests(folder, excluded)
        print("measuring the lines each of %d tests executes ..." % len(tests), flush=True)
        # Cases that run processes as other users: those write their counts into the build's folders too.
        for path, _, _ in os.walk(folder):
            os.chmod(path, 0o777)
        seconds, instrumented, executed_by = [], {}, {}
        for index, (name, _) in enumerate(tests):
            for stale in glob.glob(os.path.join(folder, "**", "*.gcda"), recursive=True):
                os.remove(stale)
            started = time.time()
            ctest = ["ctest", "--test-dir", folder, "-R", ctest_regex([name])]
            rc, out = run(["sh", "-c", 'umask 0 && exec "$@"', "sh"] + ctest, folder, 3600)
            seconds.append(time.time() - started)
            if rc != 0:
                raise SystemExit("on the unmutated sources, with coverage, %s fails:\n%s" % (name, out[-3000:]))
            for path, (lines, executed) in executed_lines(folder, source).items():
                instrumented.setdefault(path, set()).update(lines)
                by_line = executed_by.setdefault(path, {})
                for line in executed:
                    by_line.setdefault(line, set()).add(index)
        coverage = cls(tests, seconds, instrumented, executed_by)
        with open(kept, "w", encoding="utf-8") as f:
            json.dump(coverage.saved(digest, excluded), f)
        return coverage

    @classmethod
    def from_saved(cls, saved):
        instrumented = {path: set(lines) for path, lines in saved["instrumented"].items()}
        executed_by = {
            path: {int(line): set(indexes) for line, indexes in by_line.items()}
            for path, by_line in saved["executed_by"].items()
        }
        return cls([tuple(t) for t in saved["tests"]], saved["seconds"], instrumented, executed_by)

    def saved(self, digest, excluded):
        return {
            "method": METHOD,
            "digest": digest,
            "excluded": sorted(excluded),
            "tests": self.tests,
            "seconds": self.seconds,
            "instrumented": {path: sorted(lines) for path, lines in self.instrumented.items()},
            "executed_by": {
                path: {str(line): sorted(indexes) for line, indexes in by_line.items()}
                for path, by_line in self.executed_by.items()
            },
        }

    def cases_for(self, path, lines, texts, excluded):
        """The names of the cases that execute any of the lines of path, cheapest first, without those with
        an excluded label; None when every case must run (see the module's note)."""
        if not set(lines) & self.instrumented.get(path, set()):
            return None
        if any(text.lstrip().startswith(("case ", "default:")) for text in texts):
            return None
        by_line = self.executed_by.get(path, {})
        indexes = set().union(*[by_line.get(line, set()) for line in lines])
        chosen = [i for i in indexes if not set(self.tests[i][1]) & excluded]
        return [self.tests[i][0] for i in sorted(chosen, key=lambda i: self.seconds[i])]

    def seconds_of(self, name):
        """How long the case took alone, unmutated."""
        return self.seconds_by_name.get(name, 60)
