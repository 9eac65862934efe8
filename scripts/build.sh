#!/usr/bin/env bash
# Builds both builds: build/linux (the simulated machine's Setup.exe, tools
# and tests) and build/windows (the real 32-bit Setup.exe and its tests).
#   scripts/build.sh [linux|windows|all]
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-all}
jobs=$(nproc)

if [ "$which" = all ] || [ "$which" = linux ]; then
  cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/linux -j "$jobs"
fi
if [ "$which" = all ] || [ "$which" = windows ]; then
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
  cmake --build build/windows -j "$jobs"
fi
