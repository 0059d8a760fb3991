#!/usr/bin/env bash
# Every case that writes a trace (host runs and the Windows simulator flavour under Wine), run at
# two commits with the traces kept, then compared record by record: a change that must not move
# a byte on the wire leaves them identical.
#   scripts/compare-wire.sh <before> <after> [ctest regex]
# COMPARE_WIRE_SIDE=before runs the earlier side alone.
# The trees are built in a scratch folder (COMPARE_WIRE_DIR, default a new one under /tmp); the
# report names every case whose traces differ and every case that ran on one side only. A side
# whose run at the same commit and filter ended in that folder before is reused, so the earlier
# side can be run once while the later one is still being written.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -lt 2 ]; then
  echo "usage: $0 <before> <after> [ctest regex]" >&2
  exit 2
fi
filter=${3:-}
work=${COMPARE_WIRE_DIR:-$(mktemp -d /tmp/compare-wire.XXXXXX)}
jobs=${JOBS:-$(nproc)}

run_side() {
  local side=$1 rev
  rev=$(git -C "$root" rev-parse --verify "$2^{commit}")
  local src="$work/$side/src" traces="$work/$side/traces" stamp="$work/$side/done"
  if [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$rev $filter" ]; then
    echo "$side ($rev): $(find "$traces" -name '*.jsonl' | wc -l) traces, kept from an earlier run"
    return
  fi
  rm -f "$stamp"
  rm -rf "$traces" && mkdir -p "$traces"
  if [ ! -d "$src" ]; then
    git -C "$root" worktree add --detach "$src" "$rev" >/dev/null
  else
    git -C "$src" checkout --detach "$rev" >/dev/null
  fi
  (
    cd "$src"
    export PATH=/usr/sbin:/usr/bin:/sbin:/bin:$PATH
    cmake --preset host >/dev/null
    cmake --build --preset host -j "$jobs" >/dev/null
    for preset in windows-x64 windows-x86; do
      cmake --preset $preset >/dev/null
      cmake --build --preset $preset -j "$jobs" >/dev/null
    done
    # A failing case still leaves its traces; the comparison is what this script judges.
    FWU_KEEP_TRACES="$traces" ctest --test-dir build/host -j "$jobs" \
      --resource-spec-file "$src/build/host/ctest-resources.json" \
      ${filter:+-R "$filter"} >"$work/$side/ctest.log" 2>&1 || true
  )
  echo "$rev $filter" >"$stamp"
  echo "$side ($rev): $(find "$traces" -name '*.jsonl' | wc -l) traces"
}

run_side before "$1"
[ "${COMPARE_WIRE_SIDE:-}" = before ] && exit 0
run_side after "$2"
python3 "$root/scripts/compare_traces.py" "$work/before/traces" "$work/after/traces"
