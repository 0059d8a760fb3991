#!/usr/bin/env bash
# Makes (init) or stops (stop) the Wine prefixes <base>-0 .. <base>-<count-1>, one for each
# case that may run at a time. With a 64-bit loader named, everything goes through it (where
# the kernel runs no 32-bit programs, Debian's wrapper cannot start).
# Usage: wine_prefixes.sh init|stop <base> <count> [64-bit loader]
set -euo pipefail
action=$1
base=$2
count=$3
loader64=${4:-}
export WINEDEBUG=-all
for ((i = 0; i < count; i++)); do
  export WINEPREFIX=$base-$i
  if [ "$action" = init ]; then
    if [ -n "$loader64" ]; then
      WINELOADER=$loader64 "$loader64" wineboot --init
    else
      wineboot --init
    fi
    # wineboot returns before the prefix's server has written everything out.
    wineserver -w
  else
    wineserver -k || true
  fi
done
