#!/usr/bin/env bash
# Marlisk's progress window for real: marlisk_sim.exe updates a slow simulated Dravoni
# drive under Wine on a virtual X display, while marlisk_window_check.exe finds the dialog
# and checks its texts, the bar's range and a position.
# Usage: marlisk_window_under_xvfb.sh <flavour dir> <source dir> [picture.bmp]
set -euo pipefail
flavour_dir=$1
source_dir=$2
. "$source_dir/tests/wine/wine_prefix_slot.sh"
picture=${3:-}

work=$(mktemp -d "${TMPDIR:-/tmp}/fwu-window-XXXXXX")
trap 'rm -rf "$work"' EXIT
cd "$work"

# 24 blocks of 512 bytes at 100 ms a command. From its twelfth device call (ten blocks sent)
# the simulated machine holds the transfer while the file "hold" exists: the window stays up
# until the check has looked, however slowly Wine starts either program.
head -c $((24 * 512)) /dev/urandom > KX20B002.enc
. "$source_dir/tests/wine/slow_dravoni.sh"
write_slow_dravoni_machine "$source_dir" 100

export WINSIM_MACHINE=$work/machine.json WINSIM_TRACE=$work/trace.jsonl WINSIM_CLOCK=real
export FWU_SIM_ANSWER_MESSAGES=1 FWU_SIM_HOLD_FILE=hold FWU_SIM_HOLD_AT_CALL=12 WINEDEBUG=-all
touch hold
picture_arg=()
if [ -n "$picture" ]; then
  picture_arg=("$picture") # Wine reads /x/y as Z:\x\y
fi
xvfb-run -a -s "-screen 0 640x480x24" bash -c '
  wine "$1/marlisk_sim.exe" "/t:$2" /D:KX20B002.enc &
  updater=$!
  shift 2
  wine "$@"
  check=$?
  rm -f hold
  wait $updater
  update=$?
  echo "marlisk exit code $update, window check exit code $check"
  [ $update -eq 0 ] && [ $check -eq 0 ]' _ "$flavour_dir" "$dravoni" \
  "$flavour_dir/marlisk_window_check.exe" "DRAVONI KX2000" KX20B001 KX20B002 24 "${picture_arg[@]}"
