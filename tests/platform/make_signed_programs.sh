#!/usr/bin/env bash
# Makes, for the signature tests under Wine, a test root and two code-signing
# keys ("vendor", "other"), and copies of a program signed by each, unsigned,
# and signed by the vendor then changed by one byte; each key's digest as a
# release build pins it.
#   make_signed_programs.sh OUT_DIR PROGRAM.exe
set -euo pipefail
out=$1
program=$2
rm -rf "$out.tmp"
mkdir -p "$out.tmp"
cd "$out.tmp"
quiet() { "$@" >/dev/null 2>&1 || { echo "failed: $*" >&2; exit 1; }; }
quiet openssl req -x509 -newkey rsa:2048 -nodes -keyout root.key -out root.pem -days 30 -subj "/CN=TAVO test root" \
  -addext basicConstraints=critical,CA:TRUE -addext keyUsage=critical,keyCertSign,cRLSign
printf 'basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n' >signer.ext
for name in vendor other; do
  quiet openssl req -newkey rsa:2048 -nodes -keyout $name.key -out $name.csr -subj "/CN=TAVO test $name"
  quiet openssl x509 -req -in $name.csr -CA root.pem -CAkey root.key -CAcreateserial -days 30 -extfile signer.ext \
    -out $name.pem
  openssl x509 -in $name.pem -pubkey -noout | openssl pkey -pubin -outform DER | sha256sum | cut -c1-64 >$name.digest
  quiet osslsigncode sign -certs $name.pem -key $name.key -ac root.pem -n TAVO -in "$program" -out $name.exe
done
cp "$program" unsigned.exe
python3 - <<'PY'
data = bytearray(open("vendor.exe", "rb").read())
data[data.index(b"This program")] ^= 0x20
open("changed.exe", "wb").write(data)
PY
rm -rf "$out"
mv "$out.tmp" "$out"
