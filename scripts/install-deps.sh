#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is missing.
# Usage: install-deps.sh [demo]   (demo: only what the demo's Skelder host build needs)
#        install-deps.sh --list [demo]   (print the package list and install nothing)
set -euo pipefail

# The demo: Skelder's host program over the simulated machine.
demo_packages=(make git cmake ninja-build g++ nlohmann-json3-dev libssl-dev)
# Everything else: 32-bit host programs and their libraries, tests, Windows builds, Wine
# (wine: the wine and wineboot commands; wine32:i386 runs the 32-bit programs), qemu-user
# (32-bit programs where the kernel runs none), fuzzing, benchmarks, a virtual display, lint.
all_packages=("${demo_packages[@]}" g++-multilib libssl-dev:i386 libgtest-dev libgmock-dev
              googletest g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine wine64 wine32:i386
              qemu-user clang-format clang-tidy cppcheck python3 clang llvm-14 libclang-rt-14-dev
              libbenchmark-dev libbenchmark-dev:i386 xvfb xauth xfonts-base)

list_only=false
if [ "${1:-}" = --list ]; then
  list_only=true
  shift
fi
if [ "${1:-}" = demo ]; then
  packages=("${demo_packages[@]}")
else
  packages=("${all_packages[@]}")
fi
if $list_only; then
  printf '%s\n' "${packages[@]}"
  exit 0
fi

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if [ ${#missing[@]} -eq 0 ]; then
  exit 0
fi
if [ "$(id -u)" -ne 0 ]; then
  echo "missing packages: ${missing[*]} (run as root, or install them)" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
if printf '%s\n' "${missing[@]}" | grep -q ':i386$'; then
  dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
fi
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
