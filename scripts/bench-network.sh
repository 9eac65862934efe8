#!/usr/bin/env bash
# Benchmark of the launcher's network side on loopback, run by hand (not in CI):
#
#   scripts/bench-network.sh [LINUX_BUILD_DIR]
#
# The build folder (default build/linux) must hold bin/dlserver and
# bin/net_bench (cmake --build DIR --target dlserver net_bench). Prints, side
# by side, what the launcher achieves against the plain tools:
#
#   download   1 GiB: HttpDownloader.Download against curl -o, the best of
#              ROUNDS (at least 5) rounds each (throughput ratio, goal at
#              least 0.95)
#   md5        1 GiB: VerifyPackageHash against md5sum (goal at least 0.9)
#   memory     peak resident memory while downloading and verifying 1 GiB
#              (goal under 16 MiB)
#   config     a 2,000-package DownloadConfig.xml: parse and all reads against
#              the bare libxml2 parse (time ratio, goal at most 3)
#   resume     a 64 MiB package from a server that cuts every connection after
#              40 % of the file: the launcher's three attempts, each going on
#              where the last stopped, against the same server without ranges
#              (goal: installed, at most 1.3 times the file sent)
#   trickle    a package served one byte every 6 s (goal: ends as timed out
#              within the rate floor's window of 60 s)
#   deadline   the version file (10 s timeout, 30 s deadline) served at
#              700 bytes/s, which keeps the rate floor, and with its head sent
#              one byte every 300 ms (goal: each ends as timed out within 30 s)
#   hostile    a 300 MiB DownloadConfig.xml fetched and parsed (goal: refused,
#              under 32 MiB peak RSS); settings and notices files whose one
#              entry has a far-off index (goal: read in under 1 s each)
#
# Each timing is the best of ROUNDS runs (default 5), the two sides taking
# turns. The files go to BENCH_DIR, by default /dev/shm when it has room
# (disk write-back would otherwise dominate both sides), else $TMPDIR or /tmp.
set -euo pipefail

here=$(cd "$(dirname -- "$0")/.." && pwd)
build=${1:-$here/build/linux}
rounds=${ROUNDS:-5}
[ "$rounds" -ge 5 ] || rounds=5  # fewer rounds leave the noise of a shared machine in the ratio
dlserver=$build/bin/dlserver
net_bench=$build/bin/net_bench
for tool in "$dlserver" "$net_bench" curl md5sum; do
  if ! command -v "$tool" >/dev/null 2>&1; then
    echo "bench-network: $tool not found; build the targets dlserver and net_bench first" >&2
    exit 1
  fi
done

if [ -z "${BENCH_DIR:-}" ]; then
  if [ -d /dev/shm ] && [ "$(df -Pk /dev/shm | awk 'NR==2 {print $4}')" -gt $((4 * 1024 * 1024)) ]; then
    BENCH_DIR=/dev/shm
  else
    BENCH_DIR=${TMPDIR:-/tmp}
  fi
fi
work=$(mktemp -d "$BENCH_DIR/tavo-bench.XXXXXX")
server_pid=
cleanup() {
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; wait "$server_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT

mkdir -p "$work/root" "$work/out"
echo "bench-network: preparing files in $work ..." >&2
head -c $((1024 * 1024 * 1024)) /dev/urandom >"$work/root/f1g.bin"
hash1g=$(md5sum "$work/root/f1g.bin" | cut -d' ' -f1)

# A download configuration with 2,000 packages, every key filled in.
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<DownloadConfig>\n'
  printf '  <PackageDownloadServerCount>2000</PackageDownloadServerCount>\n'
  for ((i = 0; i < 2000; i++)); do
    printf '  <Package%02d>\n' "$i"
    printf '    <PackageDownloadURL>http://dl.example.com/tavo/pkg%d.msi</PackageDownloadURL>\n' "$i"
    printf '    <PackageVersion>9.0.%d.1</PackageVersion><PackageName>TAVO package %d</PackageName>\n' "$i" "$i"
    printf '    <SaveFilePath>*USERTEMP*pkg%d.msi</SaveFilePath><ExecCommand>"*USERTEMP*pkg%d.exe" /q</ExecCommand>\n' "$i" "$i"
    printf '    <PackageHash>0123456789abcdef0123456789abcdef</PackageHash><PackageFileName>pkg%d.msi</PackageFileName>\n' "$i"
    printf '    <ExecType>1</ExecType><ErrorSkip>0</ErrorSkip><ExecSuccessCode>0</ExecSuccessCode><Architecture>99</Architecture>\n'
    printf '    <ProductType>99</ProductType><PackageFileSize>51200</PackageFileSize><TargetOS>0</TargetOS>\n'
    printf '    <IsManual>0</IsManual><ManualType>99</ManualType><LauncherVersion>130</LauncherVersion>\n'
    printf '  </Package%02d>\n' "$i"
  done
  printf '</DownloadConfig>\n'
} >"$work/DownloadConfig.xml"

# The hostile files.
head -c $((64 * 1024 * 1024)) /dev/urandom >"$work/root/f64.bin"
ln "$work/root/f64.bin" "$work/root/f64-noranges.bin"
hash64=$(md5sum "$work/root/f64.bin" | cut -d' ' -f1)
printf 'x' >"$work/root/trickle.bin"
head -c $((64 * 1024)) /dev/zero >>"$work/root/trickle.bin"
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<DownloadConfig><PackageDownloadServerCount>0</PackageDownloadServerCount><!--'
  head -c $((300 * 1024 * 1024)) /dev/zero | tr '\0' 'x'
  printf -- '--></DownloadConfig>\n'
} >"$work/root/huge.xml"
printf '<LaunchData><ConflictSoftware><ConflictSoftwareCount>-1</ConflictSoftwareCount><ConflictSoftwareName99999999999>x</ConflictSoftwareName99999999999><ConflictSoftwareName4294967295>far</ConflictSoftwareName4294967295></ConflictSoftware></LaunchData>\n' >"$work/far-settings.xml"
printf '<NotificationDataSet><NotificationDataValueCount>-1</NotificationDataValueCount><NotificationDataValue4000000000><NFDTitle>far</NFDTitle></NotificationDataValue4000000000></NotificationDataSet>\n' >"$work/far-notices.xml"
cut=$((64 * 1024 * 1024 * 4 / 10))
cat >"$work/rules" <<EOF
/f64.bin close-after=$cut
/f64-noranges.bin close-after=$cut ranges=0
/trickle.bin drip-bytes=1 drip-ms=6000
/slow-version.xml drip-bytes=70 drip-ms=100
/head-version.xml head-drip-ms=300
EOF
{
  printf '<?xml version="1.0" encoding="UTF-8"?>\n<SetupLauncherVer><!--'
  head -c $((64 * 1024)) /dev/zero | tr '\0' 'x'
  printf -- '--></SetupLauncherVer>\n'
} >"$work/root/slow-version.xml"
cp "$work/root/slow-version.xml" "$work/root/head-version.xml"

"$dlserver" --root "$work/root" --port-file "$work/port" --rules "$work/rules" --sent-log "$work/sent.log" \
  >/dev/null 2>&1 &
server_pid=$!
for _ in $(seq 1 500); do [ -s "$work/port" ] && break; sleep 0.01; done
port=$(cat "$work/port")
base=http://127.0.0.1:$port

now() { date +%s.%N; }
# Runs a command and prints its wall time in seconds.
timed() {
  local start end
  start=$(now)
  "$@" >/dev/null
  end=$(now)
  awk -v a="$end" -v b="$start" 'BEGIN { printf "%.3f", a - b }'
}
min() { if [ -z "$1" ]; then echo "$2"; else awk -v a="$1" -v b="$2" 'BEGIN { print (b < a) ? b : a }'; fi; }

echo "bench-network: downloading 1 GiB, $rounds rounds ..." >&2
curl_best= ours_best=
for ((r = 0; r < rounds; r++)); do
  rm -f "$work/out/"*
  curl_best=$(min "$curl_best" "$(timed curl -s -f -o "$work/out/curl.bin" "$base/f1g.bin")")
  rm -f "$work/out/"*
  ours_best=$(min "$ours_best" "$(timed "$net_bench" download "$base/f1g.bin" "$work/out/ours.bin")")
done
cmp -s "$work/out/ours.bin" "$work/root/f1g.bin" || { echo "bench-network: downloaded file differs" >&2; exit 1; }
rm -f "$work/out/"*

echo "bench-network: hashing 1 GiB, $rounds rounds ..." >&2
md5sum_best= verify_best=
for ((r = 0; r < rounds; r++)); do
  md5sum_best=$(min "$md5sum_best" "$(timed md5sum "$work/root/f1g.bin")")
  verify_best=$(min "$verify_best" "$(timed "$net_bench" md5 "$work/root/f1g.bin" "$hash1g")")
done

echo "bench-network: downloading and verifying 1 GiB ..." >&2
fetch=$("$net_bench" fetch-verify "$base/f1g.bin" "$work/out/f1g.bin" "$hash1g")
case $fetch in ok=1*) ;; *) echo "bench-network: fetch-verify failed: $fetch" >&2; exit 1 ;; esac
peak_kib=${fetch##*peak_rss_kib=}
rm -f "$work/out/"*

echo "bench-network: reading the 2,000-package configuration ..." >&2
config=$("$net_bench" config "$work/DownloadConfig.xml" 50)
bare=$("$net_bench" xmlparse "$work/DownloadConfig.xml" 50)
config_s=$(echo "$config" | sed 's/.*seconds=\([0-9.]*\).*/\1/')
bare_s=$(echo "$bare" | sed 's/.*seconds=\([0-9.]*\).*/\1/')

echo "bench-network: a 64 MiB package cut after 40 % of every answer, with and without ranges ..." >&2
sent_by() { awk -v p="$1" -F '\t' '$1 == p { n += $2 } END { printf "%.2f", n / (64 * 1024 * 1024) }' "$work/sent.log"; }
resumed=$("$net_bench" package "$base/f64.bin" "$work/out/f64.bin" "$hash64" || true)
whole=$("$net_bench" package "$base/f64-noranges.bin" "$work/out/f64-noranges.bin" "$hash64" || true)
sleep 1  # the server writes its sent log when the connection has closed
resumed_sent=$(sent_by /f64.bin)
whole_sent=$(sent_by /f64-noranges.bin)
rm -f "$work/out/"*

echo "bench-network: a package trickling one byte every 6 s (about a minute) ..." >&2
trickle=$("$net_bench" download "$base/trickle.bin" "$work/out/trickle.bin" || true)

echo "bench-network: the version file at 700 bytes/s and with a trickled head (about a minute) ..." >&2
slow_version=$("$net_bench" xml "$base/slow-version.xml" "$work/out/v.xml" 10000 30000 || true)
head_version=$("$net_bench" xml "$base/head-version.xml" "$work/out/v.xml" 10000 30000 || true)

echo "bench-network: the hostile files ..." >&2
huge=$("$net_bench" fetch-config "$base/huge.xml" "$work/out/DownloadConfig.xml")
rm -f "$work/out/"*
far_settings=$("$net_bench" settings "$work/far-settings.xml")
far_notices=$("$net_bench" notices "$work/far-notices.xml")

field() { echo "$2" | sed -n "s/.*$1=\([0-9.]*\).*/\1/p"; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.2f", a / b }'; }
mib() { awk -v a="$1" 'BEGIN { printf "%.1f", a / 1024 }'; }
mbps() { awk -v a="$1" -v b="$2" 'BEGIN { printf "%.0f", a / b }'; }

printf '\n%-10s %-44s %-30s %-8s %s\n' "measure" "launcher" "reference" "ratio" "goal"
printf '%-10s %-44s %-30s %-8s %s\n' "download" \
  "HttpDownloader ${ours_best}s ($(mbps 1024 "$ours_best") MiB/s)" "curl -o ${curl_best}s ($(mbps 1024 "$curl_best") MiB/s)" \
  "$(ratio "$curl_best" "$ours_best")" ">= 0.95 (throughput)"
printf '%-10s %-44s %-30s %-8s %s\n' "md5" \
  "VerifyPackageHash ${verify_best}s" "md5sum ${md5sum_best}s" \
  "$(ratio "$md5sum_best" "$verify_best")" ">= 0.9 (speed)"
printf '%-10s %-44s %-30s %-8s %s\n' "memory" \
  "download+verify 1 GiB: $(mib "$peak_kib") MiB peak RSS" "-" "-" "< 16 MiB"
printf '%-10s %-44s %-30s %-8s %s\n' "config" \
  "parse+reads ${config_s}s" "libxml2 parse ${bare_s}s" \
  "$(ratio "$config_s" "$bare_s")" "<= 3 (time)"
printf '%-10s %-44s %-30s %-8s %s\n' "resume" \
  "ok=$(field ok "$resumed") in $(field seconds "$resumed")s, ${resumed_sent}x sent" \
  "no ranges: ok=$(field ok "$whole"), ${whole_sent}x sent" "-" "installs, <= 1.3x sent"
printf '%-10s %-44s %-30s %-8s %s\n' "trickle" \
  "1 byte/6 s: ok=$(field ok "$trickle") after $(field seconds "$trickle")s" "-" "-" "ends within 60 s"
printf '%-10s %-44s %-30s %-8s %s\n' "deadline" \
  "700 B/s: ok=$(field ok "$slow_version") after $(field seconds "$slow_version")s" \
  "trickled head: ok=$(field ok "$head_version") after $(field seconds "$head_version")s" "-" "each ends within 30 s"
printf '%-10s %-44s %-30s %-8s %s\n' "hostile" \
  "300 MiB config: parsed=$(field parsed "$huge"), $(mib "$(field peak_rss_kib "$huge")") MiB" "-" "-" \
  "refused, < 32 MiB"
printf '%-10s %-44s %-30s %-8s %s\n' "far-off" \
  "settings $(field seconds "$far_settings")s, notices $(field seconds "$far_notices")s" "-" "-" "< 1 s each"
