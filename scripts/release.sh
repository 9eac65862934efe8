#!/usr/bin/env bash
# Builds the shipped 32-bit Setup.exe: Release, no tests, stripped, the same
# bytes from the same commit wherever it is built, signed with osslsigncode,
# with a SHA-256 list of what it wrote.
#
#   scripts/release.sh --key KEY.pem --cert CERT.pem [--trust OTHER_CERT.pem ...]
#                      [--version N] [--build-dir DIR] [--arch i686|x86_64] --out DIR
#                      [--max-age-hours N]
#
# The launcher trusts the public key of CERT.pem and of every --trust
# certificate (a key about to replace the current one) and nothing else.
# Without --key and --cert the build is unsigned and trusts no key: a
# development build, for trying the release build out. --arch x86_64 builds the
# same sources as a 64-bit program, as the tests do on a machine that runs no
# 32-bit programs; what ships is i686. --max-age-hours N makes the launcher
# refuse server files signed more than N hours ago (0, the default: any age),
# for a vendor that signs them again on a schedule (SECURITY.md).
#
# The signing time is the commit's time (or SOURCE_DATE_EPOCH), so that with an
# RSA key two runs sign alike; an ECDSA signature differs from run to run.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  sed -n '6,8p' "$0" | sed 's/^# *//' >&2
  exit 2
}
fail() {
  echo "release: $*" >&2
  exit 1
}

key="" cert="" out="" version="" build_dir="$root/build/release" arch=i686 max_age=0
trust=()
while [ $# -gt 0 ]; do
  case "$1" in
    --key) key=${2:?}; shift 2 ;;
    --cert) cert=${2:?}; shift 2 ;;
    --trust) trust+=("${2:?}"); shift 2 ;;
    --version) version=${2:?}; shift 2 ;;
    --build-dir) build_dir=${2:?}; shift 2 ;;
    --out) out=${2:?}; shift 2 ;;
    --arch) arch=${2:?}; shift 2 ;;
    --max-age-hours) max_age=${2:?}; shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$out" ] || usage
if { [ -n "$key" ] && [ -z "$cert" ]; } || { [ -z "$key" ] && [ -n "$cert" ]; }; then
  fail "--key and --cert go together"
fi
[ -z "$key" ] && [ ${#trust[@]} -gt 0 ] && fail "--trust needs --key and --cert: an unsigned build trusts no key"
if [ -n "$version" ]; then
  [[ "$version" =~ ^[0-9]{1,10}$ ]] && [ "$version" -le 4294967295 ] ||
    fail "--version must be an unsigned 32-bit number, not '$version'"
fi
case "$arch" in i686 | x86_64) ;; *) fail "--arch must be i686 or x86_64, not '$arch'" ;; esac
for tool in cmake ninja $arch-w64-mingw32-g++-posix openssl sha256sum; do
  command -v "$tool" >/dev/null || fail "$tool is not installed (scripts/install-deps.sh)"
done

# The SHA-256 of a certificate's public key (DER SubjectPublicKeyInfo), as the launcher pins it.
key_digest() {
  local der
  der=$(openssl x509 -in "$1" -pubkey -noout 2>/dev/null | openssl pkey -pubin -outform DER 2>/dev/null |
    sha256sum | cut -d' ' -f1) || true
  # The digest of nothing means the certificate could not be read.
  [ -n "$der" ] && [ "$der" != e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855 ] ||
    fail "cannot read the public key of the certificate $1"
  echo "$der"
}

pins=""
if [ -n "$key" ]; then
  command -v osslsigncode >/dev/null || fail "osslsigncode is not installed"
  [ -r "$key" ] || fail "cannot read the key $key"
  signer=$(key_digest "$cert")
  own=$(openssl pkey -in "$key" -pubout -outform DER 2>/dev/null | sha256sum | cut -d' ' -f1)
  [ "$own" = "$signer" ] || fail "the key $key does not belong to the certificate $cert"
  pins=$signer
  for other in "${trust[@]}"; do
    digest=$(key_digest "$other")
    case ";$pins;" in *";$digest;"*) ;; *) pins="$pins;$digest" ;; esac
  done
fi

if [ -z "${SOURCE_DATE_EPOCH:-}" ]; then
  SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct 2>/dev/null) ||
    fail "not a git checkout: set SOURCE_DATE_EPOCH to the release's commit time"
fi
export SOURCE_DATE_EPOCH
if git -C "$root" status --porcelain 2>/dev/null | grep -q .; then
  echo "release: warning: the tree has uncommitted changes; this build is not the commit's" >&2
fi

args=(-S "$root" -B "$build_dir" -G Ninja -DCMAKE_BUILD_TYPE=Release -DTAVO_BUILD_TESTS=OFF
  -DTAVO_REPRODUCIBLE=ON -DCMAKE_TOOLCHAIN_FILE="$root/cmake/mingw-$arch.cmake" "-DTAVO_PINNED_KEYS=$pins"
  "-DTAVO_ANSWER_MAX_AGE_HOURS=$max_age")
[ -n "$version" ] && args+=("-DTAVO_LAUNCHER_VERSION=$version")
cmake "${args[@]}" >/dev/null
cmake --build "$build_dir" --target Setup -j "$(nproc)"

# Everything is made beside the output and moved in at the end, so that a
# failed run leaves the last good release as it was.
mkdir -p "$out"
stage=$(mktemp -d "$out/.release.XXXXXX")
trap 'rm -rf "$stage"' EXIT
if [ -n "$key" ]; then
  osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "TAVO Setup" -time "$SOURCE_DATE_EPOCH" \
    -in "$build_dir/Setup.exe" -out "$stage/Setup.exe" >"$stage/sign.log" 2>&1 ||
    { cat "$stage/sign.log" >&2; fail "signing failed"; }
  rm -f "$stage/sign.log"
else
  cp "$build_dir/Setup.exe" "$stage/Setup.exe"
fi
(cd "$stage" && sha256sum Setup.exe >SHA256SUMS)
mv -f "$stage/Setup.exe" "$out/Setup.exe"
mv -f "$stage/SHA256SUMS" "$out/SHA256SUMS"
echo "release: $out/Setup.exe ($(stat -c %s "$out/Setup.exe") bytes, $([ -n "$key" ] && echo "signed, trusts $pins" || echo "unsigned, trusts no key"))"
