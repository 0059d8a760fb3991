#!/usr/bin/env python3
"""Fails on a gtest suite or case name that is not UpperCamelCase (GoogleTest's own
convention), in every C++ file of the repository. clang-tidy does not see these names:
the macros paste them into class names."""
import pathlib
import re
import subprocess
import sys

MACRO = re.compile(
    r"\b(TEST|TEST_F|TEST_P|TYPED_TEST|TYPED_TEST_P|INSTANTIATE_TEST_SUITE_P|"
    r"INSTANTIATE_TYPED_TEST_SUITE_P)\s*\(\s*(\w+)\s*,\s*(\w+)")
UPPER_CAMEL = re.compile(r"[A-Z][A-Za-z0-9]*")


def main():
    root = pathlib.Path(__file__).resolve().parent.parent
    files = subprocess.run(["git", "ls-files", "*.cpp", "*.h"], cwd=root, check=True,
                           capture_output=True, text=True).stdout.split()
    bad = 0
    for name in files:
        text = (root / name).read_text(encoding="utf-8", errors="replace")
        for match in MACRO.finditer(text):
            line = text.count("\n", 0, match.start()) + 1
            for part in match.group(2, 3):
                if not UPPER_CAMEL.fullmatch(part):
                    print(f"{name}:{line}: {match.group(1)} name '{part}' is not UpperCamelCase")
                    bad += 1
    if bad:
        print(f"{bad} test names to rename", file=sys.stderr)
        return 1
    return 0


if __name__ == "__main__":
    sys.exit(main())
