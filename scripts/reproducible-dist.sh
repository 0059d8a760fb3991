#!/usr/bin/env bash
# CI: `make dist` here, then again in a fresh clone of the same commit in another folder once
# the first has ended; the zips must be the same bytes, and Skelder's banner date the commit's.
set -euo pipefail
cd "$(dirname "$0")/.."
make dist
second=$(mktemp -d /tmp/fwu-dist-XXXXXX)
trap 'rm -rf "$second"' EXIT
git clone -q --no-local . "$second/source"
git -C "$second/source" checkout -q "$(git rev-parse HEAD)"
make -C "$second/source" dist
for file in SHA256SUMS dist/*.zip; do
  file=${file#dist/}
  cmp "dist/$file" "$second/source/dist/$file"
done
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
