#!/usr/bin/env bash
# Installs the Debian packages the builds and tests need, when any is missing.
set -euo pipefail
packages=(cmake ninja-build g++ g++-multilib libgtest-dev libgmock-dev googletest
          nlohmann-json3-dev g++-mingw-w64-x86-64 g++-mingw-w64-i686 wine64 wine32:i386
          clang-format clang-tidy cppcheck python3 clang libclang-rt-14-dev
          libbenchmark-dev libbenchmark-dev:i386 xvfb xauth xfonts-base)
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
# 32-bit Wine runs the 32-bit programs.
dpkg --print-foreign-architectures | grep -qx i386 || dpkg --add-architecture i386
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
