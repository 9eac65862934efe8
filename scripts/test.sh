#!/usr/bin/env bash
# The one test command: installs what is missing, checks that no file includes
# a higher layer, builds both builds, and runs the Linux unit tests, the Windows unit tests under Wine, the outcome matrix
# of whole runs of the real launcher on both builds, the unit tests again
# under the sanitizers, and a short fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."
. scripts/lib/windows-tests.sh

scripts/install-deps.sh
echo "== layers"
python3 tests/check_layers.py
scripts/build.sh all
wintests=$(windows_test_build)

echo "== Windows executable"
desc=$(file -b build/windows/Setup.exe)
echo "build/windows/Setup.exe: $desc"
case "$desc" in
  *"PE32 executable (GUI) Intel 80386"*) ;;
  *) echo "Setup.exe is not a 32-bit GUI executable" >&2; exit 1 ;;
esac
# Only KnownDLLs may be imported at load time: anything else would be looked
# for beside Setup.exe first, in a folder every user can write.
python3 tests/check_imports.py build/windows/Setup.exe $([ "$wintests" = build/windows64 ] && echo build/windows64/Setup.exe)

echo "== Linux unit tests"
(cd build/linux && ctest --output-on-failure -j "$(nproc)" --timeout 600 --no-tests=error)

echo "== Windows unit tests under Wine ($wintests)"
# The window tests must run here: without a display they fail instead of skipping.
(cd "$wintests" && TAVO_REQUIRE_DISPLAY=1 xvfb-run -a ctest --output-on-failure --timeout 900 --no-tests=error)
# Wine keeps a server per prefix; leave nothing running behind the tests.
WINEPREFIX="$PWD/$wintests/wineprefix" wineserver -k 2>/dev/null || true

echo "== the outcome matrix: whole runs on both builds"
# Two workers: the Linux rows spread over both, the Windows rows share one.
# Every command of a row is bounded; the stage as a whole is bounded too.
bound=${TAVO_MATRIX_STAGE_SECONDS:-1800}
status=0
timeout --kill-after=60 "$bound" /usr/bin/python3 -m pytest -q -p no:cacheprovider -n 2 --dist loadgroup \
  tests/matrix --builds linux,windows --windows-build "$wintests" || status=$?
if [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
  echo "the outcome matrix hung: it did not end within $bound s" >&2
fi
[ "$status" -eq 0 ] || exit "$status"

echo "== sanitizers"
tests/sanitize.sh all

echo "== fuzzing (short)"
tests/fuzz.sh "${TAVO_FUZZ_SECONDS:-20}"

echo "== all tests passed"
