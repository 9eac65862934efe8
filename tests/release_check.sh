#!/usr/bin/env bash
# The release build (scripts/release.sh) with keys made here and a loopback
# time-stamping authority (tests/release_tsa.py): two builds from copies of the
# tree at different paths give the same image, the shipped signature fits the
# rebuilt one, the launcher fits its size, the signature verifies against the
# test CA and, timestamped, after the certificate expired; every file of the
# release folder is in the signed SHA-256 list and the SBOM names the linked
# runtime; an unsigned build is unsigned and named so; bad input and a dirty
# tree are refused before anything is built; and publish.py signs and
# timestamps the packages it publishes.
#   tests/release_check.sh
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
limit=1500000  # bytes: the size the release Setup.exe must stay within

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() {
  echo "release_check: FAIL: $*" >&2
  exit 1
}
step() { echo "release_check: $*"; }

# --- keys: a test root, the vendor's signer, a second vendor key, a stranger ---------
cd "$work"
python3 "$root/tests/matrix/keys.py" signers "$work" vendor next stranger
spki() { openssl x509 -in "$1" -pubkey -noout | openssl pkey -pubin -outform DER | sha256sum | cut -d' ' -f1; }

# --- a loopback time-stamping authority issued by the test root -----------------
mkdir tsa && cp root.pem root.key tsa/
python3 "$root/tests/release_tsa.py" "$work/tsa" >tsa/url 2>tsa/log &
tsa_pid=$!
trap 'kill $tsa_pid 2>/dev/null; rm -rf "$work"' EXIT
until [ -s tsa/url ]; do kill -0 $tsa_pid 2>/dev/null || { cat tsa/log >&2; fail "the time-stamping authority did not start"; }; sleep 0.1; done
tsa=$(cat tsa/url)
later=$(($(date +%s) + 86400 * 400))  # a year after the test certificates expired

# --- the trees: copies at different paths, a a git checkout of its own ------------
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
for tree in a b; do
  mkdir -p "$work/tree-$tree/src"
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && xargs -0 cp --parents -t "$work/tree-$tree/src")
done
git -C tree-a/src init -q && git -C tree-a/src add -A &&
  git -C tree-a/src -c user.name=t -c user.email=t@t commit -qm tree --date="@$SOURCE_DATE_EPOCH"

# --- bad input is refused before any build, and leaves the output alone -------
mkdir out-bad && echo keep >out-bad/Setup.exe
signed="--key vendor.key --cert vendor.pem --no-timestamp"
for args in "" "--key vendor.key --no-timestamp" "--key vendor.key --cert stranger.pem --no-timestamp" \
  "--key vendor.key --cert missing.pem --no-timestamp" "--trust next.pem --unsigned-development" \
  "--key vendor.key --cert vendor.pem" "--unsigned-development --no-timestamp" \
  "$signed --timestamp-url $tsa" "$signed --version 4294967296"; do
  # shellcheck disable=SC2086
  if "$root/scripts/release.sh" $args --out out-bad --build-dir "$work/never" >bad.log 2>&1; then
    fail "release.sh accepted: '$args'"
  fi
  [ ! -e never ] || fail "release.sh built with: $args"
done
echo changed >>tree-a/src/README.md
tree-a/src/scripts/release.sh $signed --out out-bad --build-dir "$work/never" >bad.log 2>&1 &&
  fail "release.sh built from a tree with uncommitted changes"
[ ! -e never ] || fail "release.sh built from a tree with uncommitted changes"
git -C tree-a/src checkout -q README.md
[ "$(cat out-bad/Setup.exe)" = keep ] || fail "a refused release changed the output folder"

# A release folder: every file listed in the signed SHA256SUMS, Setup.exe signed, the SBOM naming
# the four runtime components with the versions of the packages they came from.
check_folder() {
  local dir=$1 exe=$2 listed
  (cd "$dir" && sha256sum --quiet -c SHA256SUMS) || fail "$dir: SHA256SUMS does not match the files"
  for f in "$dir"/*; do
    case "${f##*/}" in SHA256SUMS | SHA256SUMS.p7s) continue ;; esac
    listed=$(cut -d' ' -f3 "$dir/SHA256SUMS" | grep -cxF "${f##*/}") || true
    [ "$listed" = 1 ] || fail "$dir: ${f##*/} is not in SHA256SUMS"
  done
  for f in "$exe" BUILDINFO SBOM.spdx.json THIRD-PARTY-NOTICES.txt; do [ -s "$dir/$f" ] || fail "$dir: no $f"; done
  for field in commit source_date_epoch version pinned_keys unsigned_sha256 c++_compiler binutils cmake ninja osslsigncode \
    runtime_mingw-w64-crt; do
    grep -q "^$field: ." "$dir/BUILDINFO" || fail "$dir: BUILDINFO has no $field"
  done
  python3 - "$dir/SBOM.spdx.json" <<'PY' || fail "$dir: the SBOM lacks the runtime"
import json, subprocess, sys
got = {p["name"]: p.get("versionInfo") for p in json.load(open(sys.argv[1]))["packages"]}
version = lambda pkg: subprocess.run(["dpkg-query", "-W", "-f=${Version}", pkg], capture_output=True, text=True).stdout
want = {"libstdc++": version("g++-mingw-w64-i686-posix"), "libgcc": version("gcc-mingw-w64-i686-posix"),
        "winpthreads": version("mingw-w64-i686-dev"), "mingw-w64-crt": version("mingw-w64-i686-dev")}
if any(not v or got.get(n) != v for n, v in want.items()): sys.exit("SBOM %r, want %r" % (got, want))
PY
}

# --- two signed builds from two places ------------------------------------------
started=$(date +%s)
for tree in a b; do
  step "signed build in tree $tree"
  stamp="--timestamp-url $tsa"
  [ $tree = a ] || stamp=--no-timestamp
  # shellcheck disable=SC2086
  "$work/tree-$tree/src/scripts/release.sh" --key vendor.key --cert vendor.pem --trust next.pem $stamp \
    --out "$work/out-$tree" --build-dir "$work/tree-$tree/build" >"build-$tree.log" 2>&1 ||
    { tail -n 30 "build-$tree.log" >&2; fail "release.sh failed in tree $tree"; }
done
step "two builds took $(($(date +%s) - started)) s"

cmp tree-a/build/Setup.exe tree-b/build/Setup.exe || fail "two builds of the same sources differ"
unsigned=$(sed -n 's/^unsigned_sha256: \([0-9a-f]*\).*/\1/p' out-a/BUILDINFO)
[ "$unsigned" = "$(sha256sum <tree-b/build/Setup.exe | cut -d' ' -f1)" ] || fail "BUILDINFO's unsigned digest is '$unsigned'"
# A rebuilder attaches the shipped signature to the rebuilt image and gets the shipped file.
osslsigncode extract-signature -in out-a/Setup.exe -out shipped.sig >/dev/null &&
  osslsigncode attach-signature -sigin shipped.sig -CAfile root.pem -TSA-CAfile root.pem -in tree-b/build/Setup.exe \
    -out rebuilt.exe >/dev/null && cmp -s rebuilt.exe out-a/Setup.exe || fail "the shipped signature does not fit the rebuilt image"
for tree in a b; do check_folder out-$tree Setup.exe; done
openssl cms -verify -binary -inform DER -in out-a/SHA256SUMS.p7s -content out-a/SHA256SUMS -CAfile root.pem \
  -purpose any -out /dev/null 2>/dev/null || fail "SHA256SUMS.p7s does not verify"
echo "x" >>out-b/SHA256SUMS
openssl cms -verify -binary -inform DER -in out-b/SHA256SUMS.p7s -content out-b/SHA256SUMS -CAfile root.pem \
  -purpose any -out /dev/null 2>/dev/null && fail "SHA256SUMS.p7s verifies a changed list"
size=$(stat -c %s out-a/Setup.exe)
step "Setup.exe: $size bytes (limit $limit)"
[ "$size" -le "$limit" ] || fail "Setup.exe is $size bytes, more than $limit"
i686-w64-mingw32-objdump -h out-a/Setup.exe | grep -q '\.debug' && fail "Setup.exe carries debug sections"
grep -qa "$work" out-a/Setup.exe && fail "Setup.exe holds its build path"
python3 "$root/tests/check_imports.py" out-a/Setup.exe || fail "the release Setup.exe imports more than KnownDLLs"

# The timestamp keeps the signature valid after the certificate expired; without one it is not.
osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -in out-a/Setup.exe >verify.log 2>&1 ||
  { cat verify.log >&2; fail "the signed Setup.exe does not verify against the test CA"; }
grep -q "^Timestamp Server Signature verification: ok" verify.log || fail "the signed Setup.exe carries no timestamp"
osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -time "$later" -in out-a/Setup.exe >/dev/null 2>&1 ||
  fail "the timestamped Setup.exe does not verify after its certificate expired"
osslsigncode verify -CAfile root.pem -time "$later" -in out-b/Setup.exe >/dev/null 2>&1 &&
  fail "a Setup.exe without timestamp verifies after its certificate expired"
mkdir other-ca && python3 "$root/tests/matrix/keys.py" signers "$work/other-ca"
osslsigncode verify -CAfile other-ca/root.pem -in out-a/Setup.exe >/dev/null 2>&1 &&
  fail "the signature verifies against a CA that did not issue it"

pins=$(sed -n 's/^TAVO_PINNED_KEYS:[A-Z]*=//p' tree-a/build/CMakeCache.txt)
[ "$pins" = "$(spki vendor.pem);$(spki next.pem)" ] || fail "the pin list is '$pins'"

# --- without a key: unsigned, trusting no key, named so (reusing tree a's build) ----
step "unsigned build"
"$work/tree-a/src/scripts/release.sh" --unsigned-development --version 3001002 --out out-unsigned \
  --build-dir "$work/tree-a/build" >unsigned.log 2>&1 || { tail -n 30 unsigned.log >&2; fail "the unsigned release failed"; }
dev=out-unsigned/Setup-UNSIGNED-DEVELOPMENT.exe
[ ! -e out-unsigned/Setup.exe ] && [ -f $dev ] || fail "the unsigned build is not named as one"
osslsigncode verify -CAfile root.pem -in $dev >/dev/null 2>&1 && fail "the unsigned build is signed"
check_folder out-unsigned Setup-UNSIGNED-DEVELOPMENT.exe
pins=$(sed -n 's/^TAVO_PINNED_KEYS:[A-Z]*=//p' tree-a/build/CMakeCache.txt)
[ -z "$pins" ] || fail "the unsigned build pins '$pins'"
# The manifest's version and the copyright follow the build.
grep -qa 'name="TAVO.SetupLauncher" version="3.1.2.0"' $dev || fail "the manifest does not carry version 3.1.2.0"
python3 -c 'import re, sys; sys.exit(not re.search("LegalCopyright\0+Copyright \\(C\\) %s TAVO\0" % sys.argv[2],
  open(sys.argv[1], "rb").read().decode("utf-16-le", "replace")))' $dev "$(date -u -d "@$SOURCE_DATE_EPOCH" +%Y)" ||
  fail "the version resource has no LegalCopyright of the build's year"

# --- publish.py signs and timestamps the packages it publishes ----------------------
step "publish.py signing"
mkdir -p pub/packages
cp $dev pub/packages/tool.exe
echo "not a program" >pub/packages/readme.txt
cat >pub/desc.json <<'EOF2'
{"packages": [{"file": "tool.exe"}, {"file": "readme.txt", "exec_type": 2}]}
EOF2
python3 "$root/tools/publish/publish.py" pub/desc.json served --base-url http://127.0.0.1:1/ \
  --sign-key vendor.key --sign-cert vendor.pem --timestamp-url "$tsa"
osslsigncode verify -CAfile root.pem -TSA-CAfile root.pem -in served/packages/tool.exe >verify.log 2>&1 ||
  { cat verify.log >&2; fail "the published package does not verify"; }
grep -q "^Timestamp Server Signature verification: ok" verify.log || fail "the published package carries no timestamp"
cmp -s pub/packages/readme.txt served/packages/readme.txt || fail "a file that is not a program was changed"
grep -q "<PackageHash>$(md5sum <served/packages/tool.exe | cut -d' ' -f1)</PackageHash>" served/DownloadConfig.xml ||
  fail "the published digest is not that of the signed package"
grep -q "<PackageSha256>$(sha256sum <served/packages/tool.exe | cut -d' ' -f1)</PackageSha256>" served/DownloadConfig.xml ||
  fail "the published SHA-256 is not that of the signed package"
openssl cms -verify -binary -inform DER -in served/DownloadConfig.xml.sig -content served/DownloadConfig.xml \
  -CAfile root.pem -purpose any -out /dev/null 2>verify.log ||
  { cat verify.log >&2; fail "the published configuration's signature does not verify"; }
for args in "--sign-key stranger.key --sign-cert vendor.pem --no-timestamp" "--sign-key vendor.key --sign-cert vendor.pem"; do
  # shellcheck disable=SC2086
  if python3 "$root/tools/publish/publish.py" pub/desc.json served2 --base-url http://127.0.0.1:1/ $args >/dev/null 2>&1; then
    fail "publish.py signed with: $args"
  fi
done
step "passed"
