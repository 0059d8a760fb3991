#!/usr/bin/env bash
# clang-tidy (checks in .clang-tidy) and cppcheck on the project's code (the three programs,
# the application frame, the CSMI layouts, the host stand-ins and the simulator), tests left
# out, from a host build's compile commands. Any finding fails the run; the checks left out and
# the findings kept are explained in docs/static-analysis.md. First, the gtest names, which
# clang-tidy does not see.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=${1:-build/host}
jobs=${JOBS:-$(nproc)}
dirs='skelder|marlisk|norrixupdater|capturemachine|appframe|csmi|winapi|winsim'

echo "test names:"
./scripts/check-test-names.py
echo "  no findings"

echo "clang-tidy:"
# The test support is checked for its names only (tests/support/.clang-tidy).
run-clang-tidy -p "$build" -j "$jobs" -quiet \
  "^$root/($dirs|tests/support)/(?!(.*/)?tests/).*\.cpp$" >"$build/clang-tidy.log" 2>&1 || {
  grep -E "(warning|error):" "$build/clang-tidy.log" | sed 's/\x1b\[[0-9;]*m//g' | sort -u
  echo "clang-tidy: findings above (full output: $build/clang-tidy.log)" >&2
  exit 1
}
echo "  no findings"

echo "cppcheck:"
# cppcheck names a file relative to the working directory when it lies below it (a build in
# the source tree) and absolute otherwise, so every filter comes in both forms.
ignored=()
while IFS= read -r dir; do
  ignored+=("-i$root/$dir/" "-i$dir/")
done < <(find skelder marlisk norrixupdater capturemachine appframe csmi winapi winsim -type d -name tests)
filters=()
for dir in ${dirs//|/ }; do
  filters+=("--file-filter=$root/$dir/*" "--file-filter=$dir/*")
done
cppcheck --project="$build/compile_commands.json" "${filters[@]}" "${ignored[@]}" \
  --enable=warning,performance,portability --inline-suppr --quiet \
  --suppressions-list=scripts/cppcheck-suppressions.txt --error-exitcode=1 \
  --template='{file}:{line}: {severity}: {id}: {message}'
echo "  no findings"
