#!/usr/bin/env python3
"""One line for a whole test run: cases run, passed, failed and skipped, and why any were
skipped, from the JUnit files ctest wrote (--output-junit). A skipped case says why in its
output ("skipped: <reason>"); cases are grouped by that reason.

Usage: test-summary.py <junit.xml> ...
"""
import collections
import re
import sys
import xml.etree.ElementTree as ElementTree


def main(paths):
    passed = failed = 0
    reasons = collections.Counter()
    for path in paths:
        for case in ElementTree.parse(path).getroot().iter("testcase"):
            if case.find("skipped") is not None:
                output = case.findtext("system-out") or ""
                match = re.search(r"^skipped: (.+)$", output, re.M)
                reasons[match.group(1).strip() if match else "no reason given"] += 1
            elif case.get("status") == "run" and case.find("failure") is None:
                passed += 1
            else:
                failed += 1  # failed, timed out, or could not start
    skipped = sum(reasons.values())
    why = "; ".join(f"{count}: {reason}" for reason, count in reasons.most_common())
    print(f"make test: {passed + failed} cases run, {passed} passed, {failed} failed, "
          f"{skipped} skipped" + (f" ({why})" if why else ""))
    return 1 if failed else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1:]))
