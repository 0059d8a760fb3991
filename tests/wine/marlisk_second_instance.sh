#!/usr/bin/env bash
# A second Marlisk started under Wine while a first one is updating a slow simulated drive
# ends at once with 3, sends nothing and writes no log; the first one is not disturbed.
# Usage: marlisk_second_instance.sh <flavour dir> <source dir>
set -euo pipefail
flavour_dir=$1
source_dir=$2
. "$source_dir/tests/wine/wine_prefix_slot.sh"

work=$(mktemp -d "${TMPDIR:-/tmp}/fwu-second-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir first second

# 40 blocks at 50 ms a command. From its twelfth device call (ten blocks sent) the first
# run is held while the file "hold" exists, so it keeps the mutex until the second has run,
# however slowly Wine starts the second.
head -c $((40 * 512)) /dev/urandom > first/KX20B002.enc
cp first/KX20B002.enc second/KX20B002.enc
. "$source_dir/tests/wine/slow_dravoni.sh"
write_slow_dravoni_machine "$source_dir" 50
export WINSIM_MACHINE=$work/machine.json WINSIM_CLOCK=real WINEDEBUG=-all
touch hold

(cd first && FWU_SIM_HOLD_FILE=../hold FWU_SIM_HOLD_AT_CALL=12 \
  WINSIM_TRACE=$work/first.jsonl exec wine "$flavour_dir/marlisk_sim.exe" \
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
rm -f hold
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
