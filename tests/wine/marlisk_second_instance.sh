#!/usr/bin/env bash
# A second Marlisk started under Wine while a first one is updating a slow simulated drive
# ends at once with 3, sends nothing and writes no log; the first one is not disturbed.
# Usage: marlisk_second_instance.sh <flavour dir> <source dir>
set -euo pipefail
flavour_dir=$1
source_dir=$2

work=$(mktemp -d "${TMPDIR:-/tmp}/fwu-second-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir first second

# 40 blocks at 250 ms a command: the first run holds the mutex for about ten seconds.
head -c $((40 * 512)) /dev/urandom > first/KX20B002.enc
cp first/KX20B002.enc second/KX20B002.enc
python3 - "$source_dir/examples/default-machine.json" > machine.json <<'PY'
import json, sys
machine = json.load(open(sys.argv[1]))
for drive in machine["drives"]:
    if drive["id"] == "pd1-dravoni":
        drive["command_time_ms"] = 250
print(json.dumps(machine))
PY
dravoni='\\?\scsi#disk&ven_dravoni&prod_kx2000#4&2f3b1c0&0&010000#{53f56307-b6bf-11d0-94f2-00a0c91efb8b}'
export WINSIM_MACHINE=$work/machine.json WINSIM_CLOCK=real WINEDEBUG=-all

(cd first && WINSIM_TRACE=$work/first.jsonl exec wine "$flavour_dir/marlisk_sim.exe" \
  "/t:$dravoni" /d:KX20B002.enc /l) &
first=$!

# Start the second only once the first is sending blocks (DOWNLOAD MICROCODE is 146).
for _ in $(seq 1 1200); do
  grep -q '"command":146' first.jsonl 2>/dev/null && break
  sleep 0.1
done
grep -q '"command":146' first.jsonl || { echo "the first run never started its download"; exit 1; }

set +e
(cd second && WINSIM_TRACE=$work/second.jsonl exec wine "$flavour_dir/marlisk_sim.exe" \
  "/t:$dravoni" /d:KX20B002.enc /l)
second_code=$?
wait "$first"
first_code=$?
set -e

echo "first exit code $first_code, second exit code $second_code"
[ "$second_code" -eq 3 ] || { echo "the second instance did not end with 3"; exit 1; }
[ "$first_code" -eq 0 ] || { echo "the first instance did not finish its update"; exit 1; }
if grep -q '"call":"ata"' second.jsonl 2>/dev/null; then
  echo "the second instance sent commands to the drive"
  exit 1
fi
[ ! -e second/FwUpdateTool.log ] || { echo "the second instance wrote a log"; exit 1; }
grep -q 'FwUpdate Success.' first/FwUpdateTool.log || { echo "the first log does not end in success"; exit 1; }
