#!/usr/bin/env bash
# The one test command: installs what is missing, builds both builds, runs the
# Linux tests with ctest and the Windows tests under Wine, the Windows windows
# under Wine and Xvfb, the tests again under the sanitizers, and a short fuzz.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh all

echo "== Windows executable"
desc=$(file -b build/windows/Setup.exe)
echo "build/windows/Setup.exe: $desc"
case "$desc" in
  *"PE32 executable (GUI) Intel 80386"*) ;;
  *) echo "Setup.exe is not a 32-bit GUI executable" >&2; exit 1 ;;
esac

echo "== Linux tests"
(cd build/linux && ctest --output-on-failure -j "$(nproc)" --timeout 600 --progress)

echo "== Windows tests under Wine"
(cd build/windows && ctest --output-on-failure --timeout 900)
# Wine keeps a server per prefix; leave nothing running behind the tests.
WINEPREFIX="$PWD/build/windows/wineprefix" wineserver -k 2>/dev/null || true

echo "== Windows windows under Wine and Xvfb"
scripts/wine-smoke.sh build/windows

echo "== whole runs under Wine and Xvfb"
scripts/wine-e2e.sh build/windows

echo "== sanitizers"
scripts/sanitize.sh all

echo "== fuzzing (short)"
scripts/fuzz.sh "${TAVO_FUZZ_SECONDS:-20}"

echo "== all tests passed"
