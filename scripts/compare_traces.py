#!/usr/bin/env python3
"""Compares two folders of kept traces (<case>/<n>.jsonl), record by record.

Scratch folders differ from run to run; they are the only thing left out of the comparison.
Exit status 0 when every case that ran on both sides has identical traces and no case ran on
one side only.
"""
import pathlib
import re
import sys

SCRATCH = re.compile(r'(/tmp/[^"\\ ]+|[A-Z]:\\\\tmp\\\\[^"]+)')


def records(path):
    return [SCRATCH.sub("<scratch>", line) for line in path.read_text().splitlines() if line]


def main():
    before, after = (pathlib.Path(p) for p in sys.argv[1:3])
    names = lambda root: {p.relative_to(root) for p in root.rglob("*.jsonl")}
    left, right = names(before), names(after)
    differing = []
    for name in sorted(left & right):
        a, b = records(before / name), records(after / name)
        if a != b:
            first = next((i for i, (x, y) in enumerate(zip(a, b)) if x != y), min(len(a), len(b)))
            differing.append((name, first, a[first] if first < len(a) else "(none)",
                              b[first] if first < len(b) else "(none)"))
    for name, line, was, now in differing:
        print(f"differs: {name} at record {line + 1}\n  before: {was}\n  after:  {now}")
    for name in sorted(left - right):
        print(f"before only: {name}")
    for name in sorted(right - left):
        print(f"after only: {name}")
    same = len(left & right) - len(differing)
    print(f"{same} of {len(left | right)} traces identical; {len(differing)} differ, "
          f"{len(left - right)} before only, {len(right - left)} after only")
    return 0 if not differing and left == right else 1


if __name__ == "__main__":
    sys.exit(main())
