#!/usr/bin/env bash
# Builds the Linux tests with AddressSanitizer and UndefinedBehaviorSanitizer
# and runs them all, then builds them with ThreadSanitizer and runs the tests
# that run threads (the debug log, the workers and their messages).
#   tests/sanitize.sh [asan|tsan|all]
set -euo pipefail
cd "$(dirname "$0")/.."
which=${1:-all}
jobs=$(nproc)

if [ "$which" = all ] || [ "$which" = asan ]; then
  cmake -S . -B build/asan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE=address,undefined >/dev/null
  cmake --build build/asan -j "$jobs"
  echo "== tests under AddressSanitizer and UndefinedBehaviorSanitizer"
  (cd build/asan && ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1 \
     ctest --output-on-failure -j "$jobs" --timeout 900 --no-tests=error)
fi
if [ "$which" = all ] || [ "$which" = tsan ]; then
  cmake -S . -B build/tsan -G Ninja -DCMAKE_BUILD_TYPE=Debug -DTAVO_SANITIZE=thread >/dev/null
  cmake --build build/tsan -j "$jobs" --target tests_app tests_ui tests_net
  echo "== threaded tests under ThreadSanitizer"
  (cd build/tsan && TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1 \
     ctest --output-on-failure -j "$jobs" --timeout 900 --no-tests=error \
       -R '^(DebugLogTest|UiCallQueue|WizardTest|HttpDownloaderTest)\.')
fi
