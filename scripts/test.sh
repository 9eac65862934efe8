#!/usr/bin/env bash
# The one test command: installs what is missing, checks that no file includes
# a higher layer, builds both builds, and runs the Linux unit tests, the
# Windows unit tests under Wine, the outcome matrix of whole runs of the real
# launcher on both builds and, beside it, the release build's check, the unit
# tests again under the sanitizers, and a short fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/windows-tests.sh

# Each stage says when it starts, in seconds since the start.
stage() { echo "== $* ($((SECONDS))s)"; }

scripts/install-deps.sh
stage "layers"
python3 tests/check_layers.py
scripts/build.sh all
wintests=$(windows_test_build)

stage "Windows executable"
desc=$(file -b build/windows/Setup.exe)
echo "build/windows/Setup.exe: $desc"
case "$desc" in
  *"PE32 executable (GUI) Intel 80386"*) ;;
  *) echo "Setup.exe is not a 32-bit GUI executable" >&2; exit 1 ;;
esac
# Only KnownDLLs may be imported at load time: anything else would be looked
# for beside Setup.exe first, in a folder every user can write.
python3 tests/check_imports.py build/windows/Setup.exe $([ "$wintests" = build/windows64 ] && echo build/windows64/Setup.exe)

# The release builds with test keys that the matrix's release rows run (the Windows one and the
# simulated machine's), built beside the unit tests.
pinned_log=build/pinned-build.log
(/usr/bin/python3 tests/matrix/pinned.py "$wintests" && /usr/bin/python3 tests/matrix/pinned.py build/linux) \
  >"$pinned_log" 2>&1 &
pinned=$!

# The Linux unit tests run beside the Windows ones, which mostly wait on Wine; their output follows.
stage "Linux unit tests, and beside them the Windows unit tests under Wine ($wintests)"
linux_log=build/linux-unit-tests.log
(cd build/linux && ctest --output-on-failure -j "$(nproc)" --timeout 600 --no-tests=error) >"$linux_log" 2>&1 &
linux_unit=$!
# The window tests must run here: without a display they fail instead of skipping. No window manager runs
# on it, and Wine, unless told that none manages its windows, waits two seconds at each window's end for
# one; the prefix is told so for the tests only, since it is also the one for starting Setup.exe by hand.
x11='HKCU\Software\Wine\X11 Driver' wine_run=$PWD/scripts/wine-run.sh prefix=$PWD/$wintests/wineprefix
wine_status=0
(cd "$wintests" && TAVO_REQUIRE_DISPLAY=1 xvfb-run -a bash -c '
  TAVO_WINEPREFIX=$2 "$1" reg add "$0" /v Managed /d N /f >/dev/null &&
    ctest -j "$(nproc)" --output-on-failure --timeout 900 --no-tests=error' "$x11" "$wine_run" "$prefix") ||
  wine_status=$?
TAVO_WINEPREFIX=$prefix "$wine_run" reg delete "$x11" /v Managed /f >/dev/null 2>&1 || true
# Wine keeps a server per prefix; leave nothing running behind the tests.
WINEPREFIX=$prefix wineserver -k 2>/dev/null || true
linux_status=0
wait "$linux_unit" || linux_status=$?
cat "$linux_log"
[ "$linux_status" -eq 0 ] || { echo "the Linux unit tests failed" >&2; exit "$linux_status"; }
[ "$wine_status" -eq 0 ] || { echo "the Windows unit tests failed" >&2; exit "$wine_status"; }

wait "$pinned" || { cat "$pinned_log"; echo "the release build with test keys failed" >&2; exit 1; }

# The release, sanitizer and fuzz stages build programs of their own. They run
# beside the matrix, whose Windows rows mostly wait on Wine and on the
# launcher's own pauses; their output is shown when the matrix has ended.
side_log=build/side-stages.log
(
  stage "the release build: alike twice, within 1.5 MB, signed, SHA-256 list, publish signing"
  timeout 1800 tests/release_check.sh
  stage "sanitizers"
  tests/sanitize.sh all
  stage "fuzzing (short)"
  tests/fuzz.sh "${TAVO_FUZZ_SECONDS:-20}"
) >"$side_log" 2>&1 &
side=$!

stage "the outcome matrix: whole runs on both builds"
# The Windows rows are spread over Wine prefixes, a worker each, and the Linux rows over workers of their own.
# Every command of a row is bounded; the stage as a whole is bounded too.
bound=${TAVO_MATRIX_STAGE_SECONDS:-1800}
export TAVO_WINE_PREFIXES=${TAVO_WINE_PREFIXES:-2} TAVO_LINUX_WORKERS=${TAVO_LINUX_WORKERS:-2}
status=0
timeout --kill-after=60 "$bound" /usr/bin/python3 -m pytest -q -p no:cacheprovider \
  -n $((TAVO_WINE_PREFIXES + TAVO_LINUX_WORKERS)) \
  --dist loadgroup --durations=25 \
  tests/matrix --builds linux,windows --windows-build "$wintests" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "the outcome matrix hung: it did not end within $bound s" >&2
fi

side_status=0
wait "$side" || side_status=$?
cat "$side_log"
[ "$status" -eq 0 ] || exit "$status"
[ "$side_status" -eq 0 ] || { echo "the sanitizer or fuzz stage failed" >&2; exit "$side_status"; }

stage "all tests passed"
