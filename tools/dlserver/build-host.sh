#!/bin/sh
# Builds the loopback download server for the host. The Windows build uses it:
# its tests run under Wine and download from this Linux server on 127.0.0.1.
#   tools/dlserver/build-host.sh OUTPUT
set -eu
out=$1
dir=$(dirname -- "$0")
mkdir -p "$(dirname -- "$out")"
# shellcheck disable=SC2046
${HOST_CXX:-g++} -std=c++17 -O2 -Wall -o "$out.tmp" "$dir/dlserver.cpp" "$dir/body.cpp" "$dir/rules.cpp" \
  $(pkg-config --cflags --libs cpp-httplib) -pthread
mv -f "$out.tmp" "$out"
