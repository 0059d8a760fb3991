#!/usr/bin/env bash
# The main job: Skelder updates the Halvern drive of the default simulated machine with a
# segmented download, then the trace is checked for the image the drive assembled.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
demo="$root/build/demo"
mkdir -p "$demo"
cd "$demo"

# A 1 MiB sample image: the size the default drive expects before it activates.
head -c 1048576 < <(yes "HALVERN SAMPLE FIRMWARE IMAGE 1.0.3 ") > fw.LOD
rm -f trace.jsonl

echo "\$ skelder \\\\.\\PhysicalDrive0 /D:fw.LOD /s /v"
set +e
WINSIM_CLOCK=virtual WINSIM_TRACE="$demo/trace.jsonl" \
  "$root/build/demo-host/bin/skelder" '\\.\PhysicalDrive0' /D:fw.LOD /s /v
code=$?
set -e
echo
echo "exit code: $code"

want=$(sha256sum fw.LOD | cut -d' ' -f1)
exit_record=$(grep '"call":"exit"' trace.jsonl | tail -n 1)
commands=$(grep -c '"call":"ata"' trace.jsonl || true)
echo "ATA commands on the wire: $commands (trace: $demo/trace.jsonl)"
if [ "$code" -eq 0 ] && grep -q "\"sha256\":\"$want\"" <<<"$exit_record"; then
  echo "drive image sha256 $want equals the file: update delivered"
else
  echo "the drive's image does not equal the file, or the run failed" >&2
  exit 1
fi
