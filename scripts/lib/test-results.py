#!/usr/bin/env python3
"""Sums up CTest's JUnit files (ctest --output-junit) in checks, not in tests.

  test-results.py totals [--per-file] NAME.xml...   the SKIP lines, a line per test with totals
                                                    of its own (or per file that is there), and
                                                    the closing line
  test-results.py rounds NAME.ROUND.xml...          per test of each NAME, how many rounds were
                                                    good, and the failures and last lines of each
                                                    bad one; the closing line

A test's checks are those of its last "N passed, M failed" line; else of GoogleTest's summary;
else its "ok - " and "FAIL - " lines; else the test itself. A failed test counts at least one
failure, a skipped test one skip. The closing line is "N passed, M failed, K skipped"; under
CI=true a skip is a failure too. Exits with 1 when anything failed.
"""
import os
import re
import sys
import xml.etree.ElementTree as ElementTree

TOTALS = re.compile(r"^(\d+) passed, (\d+) failed$")


def tests_of(path):
    for case in ElementTree.parse(path).getroot().iter("testcase"):
        output = (case.findtext("system-out") or "").replace("\r", "")
        yield case.get("name"), case.get("status"), float(case.get("time") or 0), output.splitlines()


def checks(status, lines):
    """(passed, failed, skipped) of one test."""
    if status == "notrun":
        return 0, 0, 1
    totals = [m for m in map(TOTALS.match, lines) if m]
    gtest = [re.match(r"^\[  (PASSED|FAILED)  \] (\d+) tests?[.,]", line) for line in lines]
    if totals:
        passed, failed = int(totals[-1][1]), int(totals[-1][2])
    elif any(gtest):
        passed = sum(int(m[2]) for m in gtest if m and m[1] == "PASSED")
        failed = sum(int(m[2]) for m in gtest if m and m[1] == "FAILED")
    else:
        passed = sum(line.startswith("ok - ") for line in lines)
        failed = sum(line.startswith("FAIL - ") for line in lines)
    if passed + failed == 0:
        passed = 1
    if status != "run":
        failed = max(failed, 1)
    return passed, failed, 0


def closing_line(sums):
    if sums[2] and os.environ.get("CI") == "true":
        print(f"FAIL - CI=true: nothing may be skipped on CI's machine (skipped: {sums[2]})")
        sums = add(sums, (0, 1, 0))
    print(summary(sums))
    return 1 if sums[1] else 0


def summary(sums):
    return "{} passed, {} failed, {} skipped".format(*sums)


def add(sums, more):
    return tuple(a + b for a, b in zip(sums, more))


def totals(paths, per_file):
    sums = (0, 0, 0)
    top = os.path.commonpath([os.path.dirname(os.path.abspath(path)) for path in paths])
    for path in filter(os.path.exists, paths):
        name = os.path.basename(path).removesuffix(".xml")
        of_file = (0, 0, 0)
        for test, status, seconds, lines in tests_of(path):
            counted = checks(status, lines)
            of_file = add(of_file, counted)
            if counted[2]:
                print("\n".join(line for line in lines if line.startswith("SKIP - ")) or f"SKIP - {name} {test}")
            elif not per_file and any(map(TOTALS.match, lines)):
                print(f"# {name} {test}: {counted[0]} passed, {counted[1]} failed ({seconds:.0f} s)")
        if per_file:
            print(f"# {os.path.relpath(path, top).removesuffix('.xml')}: {summary(of_file)}")
        sums = add(sums, of_file)
    return closing_line(sums)


def last_lines(lines):
    """The first 10 failures of a bad run, then its last lines before any stall report."""
    failures = [line for line in lines if line.startswith("FAIL")][:10]
    stall = next((i for i, line in enumerate(lines) if "has got no further for" in line), len(lines))
    return failures + ["..."] + lines[:stall][-6:]


def rounds(paths, _):
    sums = (0, 0, 0)
    runs = {}
    for path in paths:
        name, round_number = os.path.basename(path).removesuffix(".xml").rsplit(".", 1)
        for test, status, seconds, lines in tests_of(path):
            counted = checks(status, lines)
            sums = add(sums, counted)
            if not counted[2]:
                runs.setdefault(f"{name} {test}", []).append((round_number, counted[1] == 0, lines))
    for key, results in runs.items():
        print(f"# {key}: {sum(good for _, good, _ in results)} of {len(results)} runs good")
        for round_number, good, lines in results:
            if not good:
                print(f"#   bad run {round_number}, its failures (the first 10), then its last lines:")
                print("\n".join(f"#     {line}" for line in last_lines(lines)))
    return closing_line(sums)


if __name__ == "__main__":
    if len(sys.argv) < 2 or sys.argv[1] not in ("totals", "rounds"):
        sys.exit(__doc__)
    per_file = sys.argv[2:3] == ["--per-file"]
    sys.exit((totals if sys.argv[1] == "totals" else rounds)(sys.argv[2 + per_file :], per_file))
