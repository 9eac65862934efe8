#!/usr/bin/env bash
# The release build (scripts/release.sh) with keys made here: two builds from
# copies of the tree at different paths give the same bytes, the launcher fits
# its size, the signature verifies against the test CA, the SHA-256 list checks
# out, an unsigned build is unsigned, bad keys are refused before anything is
# built; and publish.py signs the packages it publishes.
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

# --- bad input is refused before any build, and leaves the output alone -------
mkdir out-bad && echo keep >out-bad/Setup.exe
for args in "--key vendor.key" "--key vendor.key --cert stranger.pem" "--key vendor.key --cert missing.pem" \
  "--trust next.pem" "--key vendor.key --cert vendor.pem --version 4294967296"; do
  # shellcheck disable=SC2086
  if "$root/scripts/release.sh" $args --out out-bad --build-dir "$work/never" >bad.log 2>&1; then
    fail "release.sh accepted: $args"
  fi
  [ ! -e never ] || fail "release.sh built with: $args"
done
[ "$(cat out-bad/Setup.exe)" = keep ] || fail "a refused release changed the output folder"

# --- two signed builds from two places ------------------------------------------
# The second tree is a copy at another path; both build in folders of their own.
export SOURCE_DATE_EPOCH
SOURCE_DATE_EPOCH=$(git -C "$root" log -1 --format=%ct)
for tree in a b; do
  mkdir -p "$work/tree-$tree/src"
  git -C "$root" ls-files -z --cached --others --exclude-standard |
    (cd "$root" && xargs -0 cp --parents -t "$work/tree-$tree/src")
done
started=$(date +%s)
for tree in a b; do
  step "signed build in tree $tree"
  "$work/tree-$tree/src/scripts/release.sh" --key vendor.key --cert vendor.pem --trust next.pem \
    --out "$work/out-$tree" --build-dir "$work/tree-$tree/build" >"build-$tree.log" 2>&1 ||
    { tail -n 30 "build-$tree.log" >&2; fail "release.sh failed in tree $tree"; }
done
step "two builds took $(($(date +%s) - started)) s"

cmp out-a/Setup.exe out-b/Setup.exe || fail "two builds of the same sources differ"
cmp out-a/SHA256SUMS out-b/SHA256SUMS || fail "the SHA-256 lists differ"
(cd out-a && sha256sum --quiet -c SHA256SUMS) || fail "the SHA-256 list does not match the files"
size=$(stat -c %s out-a/Setup.exe)
step "Setup.exe: $size bytes (limit $limit)"
[ "$size" -le "$limit" ] || fail "Setup.exe is $size bytes, more than $limit"
i686-w64-mingw32-objdump -h out-a/Setup.exe | grep -q '\.debug' && fail "Setup.exe carries debug sections"
grep -qa "$work" out-a/Setup.exe && fail "Setup.exe holds its build path"
python3 "$root/tests/check_imports.py" out-a/Setup.exe || fail "the release Setup.exe imports more than KnownDLLs"

osslsigncode verify -CAfile root.pem -in out-a/Setup.exe >verify.log 2>&1 ||
  { cat verify.log >&2; fail "the signed Setup.exe does not verify against the test CA"; }
mkdir other-ca && python3 "$root/tests/matrix/keys.py" signers "$work/other-ca"
osslsigncode verify -CAfile other-ca/root.pem -in out-a/Setup.exe >/dev/null 2>&1 &&
  fail "the signature verifies against a CA that did not issue it"

pins=$(sed -n 's/^TAVO_PINNED_KEYS:[A-Z]*=//p' tree-a/build/CMakeCache.txt)
[ "$pins" = "$(spki vendor.pem);$(spki next.pem)" ] || fail "the pin list is '$pins'"

# --- without a key: unsigned, trusting no key (reusing tree a's build) ----------
step "unsigned build"
"$work/tree-a/src/scripts/release.sh" --out out-unsigned --build-dir "$work/tree-a/build" >unsigned.log 2>&1 ||
  { tail -n 30 unsigned.log >&2; fail "the unsigned release failed"; }
osslsigncode verify -CAfile root.pem -in out-unsigned/Setup.exe >/dev/null 2>&1 && fail "the unsigned build is signed"
(cd out-unsigned && sha256sum --quiet -c SHA256SUMS) || fail "the unsigned build's SHA-256 list does not match"
pins=$(sed -n 's/^TAVO_PINNED_KEYS:[A-Z]*=//p' tree-a/build/CMakeCache.txt)
[ -z "$pins" ] || fail "the unsigned build pins '$pins'"

# --- publish.py signs the packages it publishes -----------------------------------
step "publish.py signing"
mkdir -p pub/packages
cp out-unsigned/Setup.exe pub/packages/tool.exe
echo "not a program" >pub/packages/readme.txt
cat >pub/desc.json <<'EOF'
{"packages": [{"file": "tool.exe"}, {"file": "readme.txt", "exec_type": 2}]}
EOF
python3 "$root/tools/publish/publish.py" pub/desc.json served --base-url http://127.0.0.1:1/ \
  --sign-key vendor.key --sign-cert vendor.pem
osslsigncode verify -CAfile root.pem -in served/packages/tool.exe >verify.log 2>&1 ||
  { cat verify.log >&2; fail "the published package does not verify"; }
cmp -s pub/packages/readme.txt served/packages/readme.txt || fail "a file that is not a program was changed"
grep -q "<PackageHash>$(md5sum <served/packages/tool.exe | cut -d' ' -f1)</PackageHash>" served/DownloadConfig.xml ||
  fail "the published digest is not that of the signed package"
grep -q "<PackageSha256>$(sha256sum <served/packages/tool.exe | cut -d' ' -f1)</PackageSha256>" served/DownloadConfig.xml ||
  fail "the published SHA-256 is not that of the signed package"
openssl cms -verify -binary -inform DER -in served/DownloadConfig.xml.sig -content served/DownloadConfig.xml \
  -CAfile root.pem -purpose any -out /dev/null 2>verify.log ||
  { cat verify.log >&2; fail "the published configuration's signature does not verify"; }
if python3 "$root/tools/publish/publish.py" pub/desc.json served2 --base-url http://127.0.0.1:1/ \
  --sign-key stranger.key --sign-cert vendor.pem >/dev/null 2>&1; then
  fail "publish.py signed with a key that does not belong to the certificate"
fi
step "passed"
