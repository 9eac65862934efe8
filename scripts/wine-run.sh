#!/usr/bin/env bash
# Runs a program of the Windows build under Wine: the emulator of the
# cross-compiled tests (ctest) and the way to start Setup.exe by hand.
#
#   scripts/wine-run.sh build/windows/bin/tests_platform.exe --gtest_brief=1
#   scripts/wine-run.sh build/windows/Setup.exe
#
# The prefix is a 64-bit one (the launcher is a 32-bit program and must see
# WoW64 as on a customer's 64-bit Windows). It lives in the Windows build tree
# (the folder holding CMakeCache.txt above the program), or where
# TAVO_WINEPREFIX says, and is created on first use. The program's exit code
# is passed through.
set -euo pipefail

if [ "$#" -lt 1 ]; then
  echo "usage: $0 PROGRAM.exe [ARGS...]" >&2
  exit 2
fi

# The build tree: the nearest folder above the program that holds a CMake
# cache; else the folder above the program's own.
find_build_tree() {
  local dir
  dir=$(cd "$(dirname -- "$1")" 2>/dev/null && pwd) || dir=$(pwd)
  local probe=$dir
  while [ "$probe" != "/" ]; do
    if [ -f "$probe/CMakeCache.txt" ]; then
      echo "$probe"
      return
    fi
    probe=$(dirname -- "$probe")
  done
  (cd "$dir/.." && pwd)
}

if [ -n "${TAVO_WINEPREFIX:-}" ]; then
  prefix=$TAVO_WINEPREFIX
else
  prefix=$(find_build_tree "$1")/wineprefix
fi
mkdir -p "$prefix"
prefix=$(cd "$prefix" && pwd)

export WINEPREFIX=$prefix
export WINEARCH=win64
export WINEDEBUG=-all
# No Mono or Gecko installer dialogs while the prefix is made; nothing here needs them.
export WINEDLLOVERRIDES="mscoree,mshtml=${WINEDLLOVERRIDES:+;$WINEDLLOVERRIDES}"

# A machine whose kernel runs no 32-bit programs cannot start Wine's 32-bit
# loader; 64-bit programs (the 64-bit test build) then start through the
# 64-bit one.
loader=wine
if ! wine --version >/dev/null 2>&1 && [ -x /usr/lib/wine/wine64 ]; then
  loader=/usr/lib/wine/wine64
fi

# Parallel test runs share one prefix: the first one creates it, the others wait.
ready=$prefix/.tavo-prefix-ready
if [ ! -f "$ready" ]; then
  exec 9>"$prefix.lock"
  flock 9
  if [ ! -f "$ready" ]; then
    "$loader" wineboot -i >/dev/null 2>&1 || {
      echo "wine-run: could not create the Wine prefix $prefix" >&2
      exit 1
    }
    wineserver -w
    touch "$ready"
  fi
  flock -u 9
  exec 9>&-
fi

exec "$loader" "$@"
