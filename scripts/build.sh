#!/usr/bin/env bash
# Builds both builds: build/linux (the simulated machine's Setup.exe, tools
# and tests) and build/windows (the real 32-bit Setup.exe and its tests; on a
# machine that runs no 32-bit programs the Windows tests are built as a
# 64-bit program in build/windows64, see scripts/lib/windows-tests.sh).
#   scripts/build.sh [linux|windows|all]
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/windows-tests.sh
which=${1:-all}
jobs=$(nproc)

if [ "$which" = all ] || [ "$which" = linux ]; then
  cmake -S . -B build/linux -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
  cmake --build build/linux -j "$jobs"
fi
if [ "$which" = all ] || [ "$which" = windows ]; then
  tests=$(windows_test_build)
  own_tests=OFF
  [ "$tests" = build/windows ] && own_tests=ON
  cmake -S . -B build/windows -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_BUILD_TESTS=$own_tests \
    -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-i686.cmake >/dev/null
  cmake --build build/windows -j "$jobs"
  if [ "$tests" = build/windows64 ]; then
    cmake -S . -B build/windows64 -G Ninja -DCMAKE_BUILD_TYPE=Release \
      -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-x86_64.cmake >/dev/null
    cmake --build build/windows64 -j "$jobs"
  fi
fi
