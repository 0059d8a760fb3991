#!/usr/bin/env python3
"""Compares two folders of kept traces (<case>/<n>.jsonl), record by record.

Scratch folders differ from run to run; they are the only thing left out of the comparison.
Cases are matched by name first; a case renamed between the two trees is matched by its
traces instead, so the verdict is about the wire, not about names: it holds when both sides
ran the same traces, as many times each. Exit status 0 then, else 1.
"""
import collections
import pathlib
import re
import sys

SCRATCH = re.compile(r'(/tmp/[^"\\ ]+|[A-Z]:\\\\tmp\\\\[^"]+)')


def records(path):
    return [SCRATCH.sub("<scratch>", line) for line in path.read_text().splitlines() if line]


def load(root):
    return {p.relative_to(root): records(p) for p in sorted(root.rglob("*.jsonl"))}


def first_difference(a, b):
    for i, (x, y) in enumerate(zip(a, b)):
        if x != y:
            return i, x, y
    i = min(len(a), len(b))
    return i, a[i] if i < len(a) else "(none)", b[i] if i < len(b) else "(none)"


def main():
    before, after = (load(pathlib.Path(p)) for p in sys.argv[1:3])
    key = lambda lines: "\n".join(lines)
    left = collections.Counter(key(v) for v in before.values())
    right = collections.Counter(key(v) for v in after.values())
    missing, extra = left - right, right - left
    # Name the traces that have no twin on the other side.
    for name, lines in before.items():
        if missing[key(lines)] > 0:
            missing[key(lines)] -= 1
            if name in after:
                line, was, now = first_difference(lines, after[name])
                print(f"differs: {name} at record {line + 1}\n  before: {was}\n  after:  {now}")
            else:
                print(f"before only: {name}")
    for name, lines in after.items():
        if extra[key(lines)] > 0:
            extra[key(lines)] -= 1
            if name not in before:
                print(f"after only: {name}")
    renamed = len(set(before) ^ set(after))
    unmatched = sum((left - right).values()) + sum((right - left).values())
    print(f"{len(before)} traces before, {len(after)} after; {unmatched} without an identical "
          f"twin on the other side; {renamed} case names on one side only")
    return 0 if unmatched == 0 else 1


if __name__ == "__main__":
    sys.exit(main())
