#!/usr/bin/env bash
# Installs everything the two builds, their tests and the demo need, from
# Debian's packages. Run as root on Debian 12; does nothing when all is there.
set -euo pipefail

packages=(
  cmake ninja-build pkg-config g++ make file curl xxd python3 python3-pytest python3-pytest-xdist
  libxml2-dev libcurl4-openssl-dev libssl-dev libgtest-dev googletest libcpp-httplib-dev
  g++-mingw-w64-i686-posix g++-mingw-w64-x86-64-posix mingw-w64-tools
  wine wine64 wine32:i386 xvfb xdotool x11-apps imagemagick fonts-noto-cjk
  clang libclang-rt-14-dev valgrind osslsigncode
)

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q "ok installed" || missing+=("$p")
done
if [ "${#missing[@]}" -eq 0 ]; then
  exit 0
fi

if [ "$(id -u)" -ne 0 ]; then
  echo "install-deps: these packages are missing; run this script as root: ${missing[*]}" >&2
  exit 1
fi
echo "install-deps: installing ${missing[*]}"
if ! dpkg --print-foreign-architectures | grep -qx i386; then
  dpkg --add-architecture i386
fi
export DEBIAN_FRONTEND=noninteractive
apt-get update -qq
apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
