#!/usr/bin/env bash
# Builds the libFuzzer targets with clang (AddressSanitizer and
# UndefinedBehaviorSanitizer) in build/fuzz and runs each one for a set time,
# printing its executions, executions a second and peak memory (at most 600 MB).
#   tests/fuzz.sh [SECONDS_PER_TARGET]   (default 60; CI uses a short run)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}

CC=clang CXX=clang++ cmake -S . -B build/fuzz -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTAVO_FUZZ=ON >/dev/null
targets=(xml_reader settings_files installer_log command_line versions_colors)
cmake --build build/fuzz -j "$(nproc)" --target "${targets[@]/#/fuzz_}"

# ASan's default quarantine (256 MB of freed blocks) costs most of an execution in page faults; the
# last 32 MB still catch a use after free within one input.
export ASAN_OPTIONS=quarantine_size_mb=32${ASAN_OPTIONS:+:$ASAN_OPTIONS}
mkdir -p build/fuzz/artifacts
for t in "${targets[@]}"; do
  corpus=build/fuzz/corpus/$t
  mkdir -p "$corpus"
  cp -n tests/fuzz/corpus/$t/* "$corpus"/ 2>/dev/null || true
  echo "== fuzz_$t for ${seconds}s"
  log=build/fuzz/fuzz_$t.log
  if ! build/fuzz/bin/fuzz_$t -max_total_time="$seconds" -max_len=65536 -timeout=10 -rss_limit_mb=600 \
      -print_final_stats=1 -artifact_prefix=build/fuzz/artifacts/$t- "$corpus" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "fuzz_$t found a failing input (build/fuzz/artifacts/)" >&2
    exit 1
  fi
  grep -E "stat::number_of_executed_units|stat::average_exec_per_sec|stat::peak_rss_mb" "$log" | sed "s/^/  /"
done
