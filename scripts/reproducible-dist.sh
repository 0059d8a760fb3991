#!/usr/bin/env bash
# CI: `make dist` here, then again in a fresh clone of the same commit in another folder once
# the first has ended; the zips must be the same bytes (capture-machine's two programs the same
# in every zip), and Skelder's banner date the commit's.
set -euo pipefail
cd "$(dirname "$0")/.."
make dist
second=$(mktemp -d /tmp/fwu-dist-XXXXXX)
trap 'rm -rf "$second"' EXIT
git clone -q --no-local . "$second/source"
git -C "$second/source" checkout -q "$(git rev-parse HEAD)"
make -C "$second/source" dist
cmp dist/SHA256SUMS "$second/source/dist/SHA256SUMS"
# Each zip the same bytes; when not, the files that differ are named. The capture program is the
# same binary in every zip, as it is one program built once.
python3 - dist "$second/source/dist" <<'PY'
import hashlib, pathlib, sys, zipfile
first, second = map(pathlib.Path, sys.argv[1:])
captures = set()
for path in sorted(first.glob("*.zip")):
    one, two = zipfile.ZipFile(path), zipfile.ZipFile(second / path.name)
    differ = sorted(n for n in set(one.namelist()) | set(two.namelist())
                    if n not in one.namelist() or n not in two.namelist() or one.read(n) != two.read(n))
    if differ or path.read_bytes() != (second / path.name).read_bytes():
        sys.exit(f"{path.name} differs between the two builds: {differ or 'zip metadata'}")
    for name in ("capture-machine.exe", "capture-machine-dryrun.exe"):
        member = next((n for n in one.namelist() if n.endswith("/" + name)), None)
        if member is None:
            sys.exit(f"{path.name} holds no {name}")
        captures.add((name, hashlib.sha256(one.read(member)).hexdigest()))
if len(captures) != 2:
    sys.exit(f"the zips hold different capture programs: {sorted(captures)}")
PY
# __DATE__ pads a one-digit day with a blank, as `date +%e` does.
date=$(date -u -d "@$(git log -1 --format=%ct)" '+%b %e %Y')
python3 - "$date" dist/skelder-*.zip <<'PY'
import sys, zipfile
archive = zipfile.ZipFile(sys.argv[2])
exe = next(n for n in archive.namelist() if n.endswith("/skelder.exe"))
if sys.argv[1].encode() not in archive.read(exe):
    sys.exit(f"skelder.exe does not carry the commit's date {sys.argv[1]!r}")
PY
echo "reproducible: $(cat dist/SHA256SUMS | tr '\n' ' ')"
