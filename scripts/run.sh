#!/usr/bin/env bash
# Runs the launcher's main job on the Linux build: the launcher starts on the
# built-in default machine (Windows 10 x64) beside the sample settings file,
# and the debug log path is printed at the end.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/install-deps.sh
scripts/build.sh linux >/dev/null

cp samples/SetupLauncherV2.xml build/linux/SetupLauncherV2.xml
tmp=${TMPDIR:-/tmp}
unset SETUP_MACHINE
build/linux/Setup.exe /N "$@"
echo
echo "Debug log: ${tmp%/}/TAVODebugLog.txt (UTF-16LE: iconv -f UTF-16LE ${tmp%/}/TAVODebugLog.txt)"
