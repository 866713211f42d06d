#!/usr/bin/env python3
"""Reads CTest's JUnit results (ctest --output-junit FILE) of a run under Wine and prints the
failed tests that Wine lost at their start: ended in under 0.5 s with no output but Wine's own
word that it lost its server ("wine client error:..."). Exits 1 when any other test failed, since
only those may be run again."""
import re
import sys
import xml.etree.ElementTree as ET

QUICK = 0.5  # seconds; a test program that really ran prints GoogleTest's banner first
# What Wine prints when a program loses its connection to the Wine server, not the test's own.
WINE_LOST = re.compile(r"^wine client error:")


def classify(path):
    lost, failed = [], []
    for case in ET.parse(path).getroot().iter("testcase"):
        if case.get("status") != "fail":
            continue
        output = (case.findtext("system-out") or "").splitlines()
        silent = all(not line.strip() or WINE_LOST.match(line) for line in output)
        if silent and float(case.get("time") or QUICK) < QUICK:
            lost.append(case.get("name"))
        else:
            failed.append(case.get("name"))
    return lost, failed


if __name__ == "__main__":
    lost, failed = classify(sys.argv[1])
    if failed:
        sys.exit(1)
    print("\n".join(lost))
