#!/usr/bin/env bash
# Builds the shipped 32-bit Setup.exe: Release, no tests, stripped, the same
# bytes from the same commit wherever it is built, signed with osslsigncode
# and timestamped, with the records of how it was built, all listed in a
# signed SHA-256 list.
#
#   scripts/release.sh --key KEY.pem --cert CERT.pem (--timestamp-url URL | --no-timestamp)
#                      [--trust OTHER_CERT.pem ...] [--version N] [--build-dir DIR]
#                      [--arch i686|x86_64] [--allow-dirty] [--max-age-hours N] --out DIR
#   scripts/release.sh --unsigned-development [--version N] ... --out DIR
#
# The launcher trusts the public key of CERT.pem and of every --trust
# certificate (a key about to replace the current one) and nothing else.
# --timestamp-url names an RFC 3161 time-stamping authority: its timestamp
# keeps the signature valid after the certificate has expired. Signing without
# one must be asked for (--no-timestamp). Without --key and --cert the build is
# unsigned and trusts no key, which must be asked for (--unsigned-development):
# a development build for trying the release build out, written as
# Setup-UNSIGNED-DEVELOPMENT.exe so that it is never taken for a release.
# --arch x86_64 builds the same sources as a 64-bit program, as the tests do on
# a machine that runs no 32-bit programs; what ships is i686. A tree with
# uncommitted changes is refused unless --allow-dirty (BUILDINFO says so).
#
# The output folder holds the launcher, BUILDINFO (commit, SOURCE_DATE_EPOCH,
# version, pins, tool versions, the SHA-256 of the image before signing), an
# SPDX SBOM (SBOM.spdx.json) of the launcher and the runtime linked into it,
# THIRD-PARTY-NOTICES.txt, SHA256SUMS of all of them and, when signed,
# SHA256SUMS.p7s (a detached CMS signature by the same key).
# --max-age-hours N makes the launcher refuse server files signed more than N
# hours ago (0, the default: any age), for a vendor that signs them again on a
# schedule (SECURITY.md).
#
# The signing time is the commit's time (or SOURCE_DATE_EPOCH), so that with an
# RSA key and no timestamp two runs sign alike. A timestamp differs from run to
# run: a rebuilder checks a timestamped Setup.exe by rebuilding the unsigned
# image (its SHA-256 is in BUILDINFO) and attaching the shipped signature:
#   osslsigncode extract-signature -in Setup.exe -out sig.der
#   osslsigncode attach-signature -sigin sig.der -in rebuilt.exe -out check.exe
#   cmp check.exe Setup.exe
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)

usage() {
  sed -n '7,10p' "$0" | sed 's/^# *//' >&2
  exit 2
}
fail() {
  echo "release: $*" >&2
  exit 1
}

key="" cert="" out="" version="" build_dir="$root/build/release" arch=i686
tsa="" no_tsa="" unsigned="" allow_dirty="" max_age=0
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
    --timestamp-url) tsa=${2:?}; shift 2 ;;
    --no-timestamp) no_tsa=1; shift ;;
    --unsigned-development) unsigned=1; shift ;;
    --allow-dirty) allow_dirty=1; shift ;;
    --max-age-hours) max_age=${2:?}; shift 2 ;;
    *) usage ;;
  esac
done
[ -n "$out" ] || usage
if { [ -n "$key" ] && [ -z "$cert" ]; } || { [ -z "$key" ] && [ -n "$cert" ]; }; then
  fail "--key and --cert go together"
fi
[ -z "$key" ] && [ ${#trust[@]} -gt 0 ] && fail "--trust needs --key and --cert: an unsigned build trusts no key"
if [ -z "$key" ]; then
  [ -n "$unsigned" ] || fail "no --key and --cert: a release is signed (--unsigned-development makes an unsigned development build)"
  [ -z "$tsa$no_tsa" ] || fail "--timestamp-url and --no-timestamp need --key and --cert"
else
  [ -z "$unsigned" ] || fail "--unsigned-development takes no --key and --cert"
  [ -n "$tsa" ] || [ -n "$no_tsa" ] ||
    fail "no --timestamp-url: without a timestamp the signature fails when the certificate expires (--no-timestamp signs so anyway)"
  [ -z "$tsa" ] || [ -z "$no_tsa" ] || fail "--timestamp-url and --no-timestamp exclude each other"
  [[ -z "$tsa" || "$tsa" =~ ^https?://[^[:space:]]+$ ]] || fail "--timestamp-url must be an http:// or https:// address, not '$tsa'"
fi
if [ -n "$version" ]; then
  [[ "$version" =~ ^[0-9]{1,10}$ ]] && [ "$version" -le 4294967295 ] ||
    fail "--version must be an unsigned 32-bit number, not '$version'"
fi
case "$arch" in i686 | x86_64) ;; *) fail "--arch must be i686 or x86_64, not '$arch'" ;; esac
for tool in cmake ninja $arch-w64-mingw32-g++-posix openssl sha256sum python3 dpkg-query; do
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
commit=$(git -C "$root" rev-parse HEAD 2>/dev/null || echo unknown)
tree_state=clean
if git -C "$root" status --porcelain 2>/dev/null | grep -q .; then
  [ -n "$allow_dirty" ] || fail "the tree has uncommitted changes: a release is built from a commit (--allow-dirty builds it anyway)"
  tree_state=dirty
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
exe=Setup.exe
[ -n "$key" ] || exe=Setup-UNSIGNED-DEVELOPMENT.exe
unsigned_sha=$(sha256sum <"$build_dir/Setup.exe" | cut -d' ' -f1)
if [ -n "$key" ]; then
  ts=()
  [ -z "$tsa" ] || ts=(-ts "$tsa")
  osslsigncode sign -certs "$cert" -key "$key" -h sha256 -n "TAVO Setup" -time "$SOURCE_DATE_EPOCH" "${ts[@]}" \
    -in "$build_dir/Setup.exe" -out "$stage/$exe" >"$stage/sign.log" 2>&1 ||
    { cat "$stage/sign.log" >&2; fail "signing failed${tsa:+ (or the time-stamping authority $tsa did not answer)}"; }
  rm -f "$stage/sign.log"
else
  cp "$build_dir/Setup.exe" "$stage/$exe"
fi

# --- how it was built --------------------------------------------------------
cxx=$arch-w64-mingw32-g++-posix
first_line() { "$@" 2>/dev/null | head -n 1 || true; }
# The Debian package that holds a file the compiler links in, and its version.
owner() { dpkg -S "$1" 2>/dev/null | head -n 1 | cut -d: -f1 || true; }
pkg_version() { dpkg-query -W -f='${Version}' "$1" 2>/dev/null || echo unknown; }
# A tool's own version line and the package it came from.
with_package() {
  local package
  package=$(owner "$(realpath "$(command -v "$1")")")
  echo "$(first_line "$1" --version) (${package:-unknown} $(pkg_version "${package:-none}"))"
}
runtime=()  # name|file|package|version|licence
for part in "libstdc++|libstdc++.a|GPL-3.0-or-later WITH GCC-exception-3.1" \
  "libgcc|libgcc.a|GPL-3.0-or-later WITH GCC-exception-3.1" \
  "winpthreads|libwinpthread.a|MIT AND BSD-3-Clause" \
  "mingw-w64-crt|libmsvcrt.a|ZPL-2.1 AND LicenseRef-mingw-w64-public-domain"; do
  IFS='|' read -r name file licence <<<"$part"
  path=$(realpath "$($cxx -print-file-name="$file")")
  package=$(owner "$path")
  [ -n "$package" ] || fail "cannot tell which package holds $path"
  runtime+=("$name|$path|$package|$(pkg_version "$package")|$licence")
done
{
  echo "commit: $commit"
  echo "tree: $tree_state"
  echo "source_date_epoch: $SOURCE_DATE_EPOCH"
  echo "version: $(sed -n 's/^TAVO_LAUNCHER_VERSION:[A-Z]*=//p' "$build_dir/CMakeCache.txt")"
  echo "arch: $arch"
  echo "signed: $([ -n "$key" ] && echo yes || echo "no (development build)")"
  echo "pinned_keys: ${pins:-none}"
  echo "timestamp_url: ${tsa:-none}"
  echo "unsigned_sha256: $unsigned_sha  (the image before signing; see scripts/release.sh for checking a signed one)"
  echo "c++_compiler: $(with_package "$cxx")"
  echo "c_compiler: $(with_package "$arch-w64-mingw32-gcc-posix")"
  echo "binutils: $(with_package "$arch-w64-mingw32-ld")"
  for r in "${runtime[@]}"; do
    IFS='|' read -r name _ package pversion _ <<<"$r"
    echo "runtime_$name: $package $pversion"
  done
  echo "cmake: $(first_line cmake --version)"
  echo "ninja: $(first_line ninja --version)"
  echo "osslsigncode: $(first_line osslsigncode --version)"
  echo "openssl: $(first_line openssl version)"
} >"$stage/BUILDINFO"

# The SBOM: the launcher and what is linked into it, in SPDX 2.3.
python3 - "$stage/SBOM.spdx.json" "$exe" "$(sha256sum <"$stage/$exe" | cut -d' ' -f1)" \
  "$(sed -n 's/^version: //p' "$stage/BUILDINFO")" "$SOURCE_DATE_EPOCH" "$commit" "${runtime[@]}" <<'PY'
import json, sys, time
out, exe, digest, version, epoch, commit, *runtime = sys.argv[1:]
created = time.strftime("%Y-%m-%dT%H:%M:%SZ", time.gmtime(int(epoch)))
packages = [{"SPDXID": "SPDXRef-Package-Setup", "name": "TAVO Setup launcher", "versionInfo": version,
             "supplier": "Organization: TAVO", "downloadLocation": "NOASSERTION", "filesAnalyzed": False,
             "packageFileName": exe, "checksums": [{"algorithm": "SHA256", "checksumValue": digest}],
             "licenseConcluded": "NOASSERTION", "licenseDeclared": "NOASSERTION", "copyrightText": "NOASSERTION",
             "externalRefs": [{"referenceCategory": "OTHER", "referenceType": "vcs-commit", "referenceLocator": commit}]}]
relationships = [{"spdxElementId": "SPDXRef-DOCUMENT", "relationshipType": "DESCRIBES",
                  "relatedSpdxElement": "SPDXRef-Package-Setup"}]
for entry in runtime:
    name, path, package, pversion, licence = entry.split("|")
    ident = "SPDXRef-Package-" + "".join(c if c.isalnum() else "-" for c in name)
    packages.append({"SPDXID": ident, "name": name, "versionInfo": pversion, "downloadLocation": "NOASSERTION",
                     "filesAnalyzed": False, "sourceInfo": "linked statically from %s (Debian package %s)" % (path, package),
                     "licenseConcluded": licence, "licenseDeclared": licence, "copyrightText": "NOASSERTION"})
    relationships.append({"spdxElementId": "SPDXRef-Package-Setup", "relationshipType": "STATIC_LINK",
                          "relatedSpdxElement": ident})
doc = {"spdxVersion": "SPDX-2.3", "dataLicense": "CC0-1.0", "SPDXID": "SPDXRef-DOCUMENT",
       "name": "TAVO Setup launcher " + version, "documentNamespace": "https://www.tavo-security.jp/spdx/setup/%s/%s" % (version, commit),
       "creationInfo": {"created": created, "creators": ["Tool: scripts/release.sh"]},
       "packages": packages, "relationships": relationships}
with open(out, "w") as f:
    json.dump(doc, f, indent=1, sort_keys=True)
    f.write("\n")
PY

# The licences of the runtime that ships inside Setup.exe, as its packages state them.
{
  echo "Setup.exe of TAVO contains the following third-party software, linked in statically."
  for r in "${runtime[@]}"; do
    IFS='|' read -r name _ package pversion licence <<<"$r"
    printf '\n==============================================================================\n'
    printf '%s %s (%s)\nLicence: %s\n\n' "$name" "$pversion" "$package" "$licence"
    copyright=/usr/share/doc/$package/copyright
    [ -r "$copyright" ] || copyright=/usr/share/doc/$(dpkg-query -W -f='${source:Package}' "$package" 2>/dev/null)/copyright
    [ -r "$copyright" ] || copyright=$(ls /usr/share/doc/gcc-mingw-w64-base/copyright 2>/dev/null || true)
    [ -n "$copyright" ] && [ -r "$copyright" ] || fail "no licence text for $package"
    cat "$copyright"
  done
} >"$stage/THIRD-PARTY-NOTICES.txt"

(cd "$stage" && sha256sum "$exe" BUILDINFO SBOM.spdx.json THIRD-PARTY-NOTICES.txt >SHA256SUMS)
if [ -n "$key" ]; then
  openssl cms -sign -binary -noattr -md sha256 -in "$stage/SHA256SUMS" -signer "$cert" -inkey "$key" \
    -outform DER -out "$stage/SHA256SUMS.p7s" || fail "signing SHA256SUMS failed"
fi
# A release folder holds one build: what an earlier build of the other kind left goes.
rm -f "$out/Setup.exe" "$out/Setup-UNSIGNED-DEVELOPMENT.exe" "$out/SHA256SUMS.p7s"
for f in "$stage"/* ; do mv -f "$f" "$out/"; done
echo "release: $out/$exe ($(stat -c %s "$out/$exe") bytes, $([ -n "$key" ] && echo "signed${tsa:+ and timestamped}, trusts $pins" || echo "UNSIGNED DEVELOPMENT BUILD, trusts no key"))"
