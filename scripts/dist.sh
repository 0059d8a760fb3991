#!/usr/bin/env bash
# Release archives in dist/ (README, Releases): the Windows programs and their dry-run
# flavours built in fresh trees with the commit's time as SOURCE_DATE_EPOCH (the build does
# not notice a changed setting in an old tree), then packed by release_archives.py.
set -euo pipefail
cd "$(dirname "$0")/.."
export SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(git log -1 --format=%ct)}
tree=$PWD/build/dist
rm -rf "$tree" dist
build() {
  local preset=$1
  shift
  cmake --preset "$preset" -B "$tree/$preset" -DFWU_BIN_DIR="$tree/bin" \
    -DFWU_SIM_BIN_DIR="$tree/sim" -DFWU_DRYRUN_BIN_DIR="$tree/bin" >/dev/null
  cmake --build "$tree/$preset" -j "${JOBS:-$(nproc)}" --target "$@"
}
build windows-x64 skelder skelder_dryrun
build windows-x86 norrixupdater norrixupdater_dryrun marlisk marlisk_dryrun capture-machine \
  capture-machine_dryrun
python3 scripts/release_archives.py --source . --bin "$tree/bin" --dryrun "$tree/bin" \
  --out dist skelder norrixupdater marlisk
