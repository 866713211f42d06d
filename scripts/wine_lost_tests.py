#!/usr/bin/env python3
"""Reads CTest's JUnit results (ctest --output-junit FILE) of a run under Wine and prints the
failed tests that Wine lost at their start: no output at all, ended in under 0.5 s. Exits 1
when any other test failed, since only those may be run again."""
import sys
import xml.etree.ElementTree as ET

QUICK = 0.5  # seconds; a test program that really ran prints GoogleTest's banner first


def classify(path):
    lost, failed = [], []
    for case in ET.parse(path).getroot().iter("testcase"):
        if case.get("status") != "fail":
            continue
        silent = not (case.findtext("system-out") or "").strip()
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
