#!/usr/bin/env bash
# Smoke test of the Windows Setup.exe under Wine with a virtual display:
#
#   scripts/wine-smoke.sh [BUILD_DIR]        (default: build/windows)
#
# 1. The window tests of the Windows build (tests_ui.exe: controls, pages,
#    main dialog), which need a display, run under Xvfb.
# 2. Setup.exe /N with a settings file whose conflicting software is present
#    in the machine registry (64-bit view) and no notices: the wizard opens on
#    the error screen. Escape, Enter on a label and a refused Alt+F4 leave it
#    open; Enter on the exit button ends the launcher.
# 3. Setup.exe /N with two notices that apply: the notices page. Enter on the
#    confirm button starts the installation against a download server that
#    answers late; Alt+F4 and the close button during the installation only
#    inform; the failed
#    download shows the error screen; Enter ends the launcher.
# Each run is checked in the debug log (UTF-16LE) for the page lines.
#
# Needs: wine (win64 prefix with wine32), Xvfb, xdotool, iconv. The Wine
# prefix is the build tree's wineprefix-smoke, created on first use; Xvfb and
# the prefix's wineserver are ended when the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/windows}" && pwd)
setup_exe=${TAVO_SMOKE_SETUP_EXE:-$build/Setup.exe}
tests_ui=$build/bin/tests_ui.exe
dlserver=$build/host/dlserver

for tool in wine wineserver Xvfb xdotool iconv; do
  command -v "$tool" >/dev/null || { echo "wine-smoke: $tool is missing" >&2; exit 1; }
done
[ -f "$setup_exe" ] || { echo "wine-smoke: $setup_exe not found (build the Windows build first)" >&2; exit 1; }

export WINEPREFIX=$build/wineprefix-smoke
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-smoke.XXXXXX")
xvfb_pid=
server_pid=
setup_pid=

cleanup() {
  local status=$?
  if [ -n "$setup_pid" ]; then kill "$setup_pid" 2>/dev/null || true; fi
  wineserver -k 2>/dev/null || true
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  if [ "$status" -ne 0 ]; then
    echo "wine-smoke: FAILED; files kept in $work" >&2
  else
    rm -rf "$work"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

tag=wine-smoke
# shellcheck source=scripts/lib/wine-common.sh
. scripts/lib/wine-common.sh

fail() {
  echo "wine-smoke: $*" >&2
  if [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
    import -window root "$work/failure.png" 2>/dev/null && echo "wine-smoke: screen saved as $work/failure.png" >&2
  fi
  [ -f "${log_file:-}" ] && { echo "--- debug log" >&2; iconv -f UTF-16LE -t UTF-8 "$log_file" | tail -40 >&2; }
  exit 1
}

# --- display ---------------------------------------------------------------
exec 8>"$work/display"
Xvfb -displayfd 8 -screen 0 1280x1024x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
[ -s "$work/display" ] || fail "Xvfb did not start"
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
exec 8>&-
echo "== display $DISPLAY, prefix $WINEPREFIX"

if [ ! -f "$WINEPREFIX/.tavo-prefix-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1 || fail "could not create the Wine prefix"
  wineserver -w
  touch "$WINEPREFIX/.tavo-prefix-ready"
fi
temp_dir=$(find "$WINEPREFIX/drive_c/users" -maxdepth 2 -type d -name Temp | head -n1)
[ -n "$temp_dir" ] || fail "no temporary folder in the prefix"
log_file=$temp_dir/TAVODebugLog.txt

# --- 1. window tests ---------------------------------------------------------
if [ -f "$tests_ui" ]; then
  echo "== window tests (tests_ui.exe) under Xvfb"
  (cd "$work" && TAVO_REQUIRE_DISPLAY=1 wine "$tests_ui" --gtest_brief=1 \
    --gtest_filter='WizardWindowsTest.*:MainDialogTest.*') || fail "window tests failed"
fi

# --- helpers -----------------------------------------------------------------
# wait_for, window_of, window_exists, window_gone and send_keys come from
# scripts/lib/wine-common.sh; this script keeps its own fail, and matches log
# text as substrings.
setup_ended() { ! kill -0 "$setup_pid" 2>/dev/null; }
log_text() { if [ -f "$log_file" ]; then iconv -f UTF-16LE -t UTF-8 "$log_file" || true; fi; }
expect_log() {
  local line
  for line in "$@"; do
    log_text | grep -F -- "$line" >/dev/null || fail "the debug log lacks: $line"
  done
}
start_setup() {  # folder, arguments...
  local folder=$1
  shift
  rm -f "$log_file"
  (cd "$folder" && exec wine Setup.exe "$@" >"$work/setup.out" 2>&1) &
  setup_pid=$!
}

settings() {  # server address, conflict key
  cat <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<LaunchData>
  <LaunchBase>
    <ProductType>5</ProductType>
    <PackageType>1</PackageType>
    <LineupType>11</LineupType>
    <PackageVersionWin>10.0</PackageVersionWin>
    <PackageVersionMac>0.0</PackageVersionMac>
    <ManualType>99</ManualType>
    <DownloaderVersion>2000000</DownloaderVersion>
    <SetupLauncherXMLVersion>1</SetupLauncherXMLVersion>
    <ProviderType>KOTA</ProviderType>
    <InstallType>0</InstallType>
    <EnableServerCheck>0</EnableServerCheck>
  </LaunchBase>
  <DownloadServerData>
    <DownloadServerCount>1</DownloadServerCount>
    <DownloadServer0>$1</DownloadServer0>
  </DownloadServerData>
  <ConfrictRegistory>
    <ConfrictDataCount>1</ConfrictDataCount>
    <ConfrictPackage00 PackageName="Smoke Antivirus">$2</ConfrictPackage00>
  </ConfrictRegistory>
  <ConflictSoftware>
    <ConflictSoftwareCount>0</ConflictSoftwareCount>
  </ConflictSoftware>
  <ConflictSecurityCenter>
    <ConflictSecurityCenterCount>0</ConflictSecurityCenterCount>
  </ConflictSecurityCenter>
</LaunchData>
EOF
}

# --- 2. error screen -----------------------------------------------------------
echo "== error screen: a conflicting product in the registry, no notices"
wine reg add 'HKLM\SOFTWARE\TavoSmoke\ConflictAV' /v Installed /t REG_SZ /d 1 /reg:64 /f >/dev/null 2>&1 ||
  fail "could not create the conflict key"
mkdir -p "$work/error"
cp "$setup_exe" "$work/error/Setup.exe"
settings "http://127.0.0.1:9/" 'SOFTWARE\TavoSmoke\ConflictAV' >"$work/error/SetupLauncherV2.xml"
start_setup "$work/error" /N
wait_for "the wizard window" 60 window_exists Setup
wait_for "the error screen in the log" 20 eval 'log_text | grep -F "エラー画面に遷移します(メイン画面)。" >/dev/null'
sleep 1
send_keys Setup Escape
window_exists Setup || fail "Escape closed the wizard"
# Alt+F4 asks; No keeps the wizard open.
send_keys Setup alt+F4
wait_for "the close question" 20 window_exists "確認"
send_keys "確認" n
wait_for "the question to close" 20 window_gone "確認"
window_exists Setup || fail "answering No closed the wizard"
setup_ended && fail "the launcher ended after No"
send_keys Setup Return
wait_for "the launcher to end" 30 setup_ended
window_gone Setup || fail "the wizard window is still there"
expect_log "お知らせ画面をスキップします。" \
  "エラー画面に遷移します(競合製品を検出)。" \
  "インストールウィザードを表示します。" \
  "ダイアログの初期化処理を実行します。(フレーム画面）" \
  "ダイアログの初期化処理を実行します。(完了画面)" \
  "エラー番号:12" \
  "エラー画面に遷移します(メイン画面)。" \
  "終了ボタンをクリックしました。" \
  "プログラムを終了します。"
wine reg delete 'HKLM\SOFTWARE\TavoSmoke' /reg:64 /f >/dev/null 2>&1 || true
echo "   ok"

# --- 3. notices page -----------------------------------------------------------
echo "== notices page, installation, close refused, failure"
server=http://127.0.0.1:9/
if [ -x "$dlserver" ]; then
  mkdir -p "$work/served"
  # Every answer comes late, so that the installation step stays on screen.
  "$dlserver" --root "$work/served" --port 0 --port-file "$work/port" --rule "* delay-ms=8000" \
    >"$work/dlserver.out" 2>&1 &
  server_pid=$!
  wait_for "the download server" 20 test -s "$work/port"
  server="http://127.0.0.1:$(cat "$work/port")/"
fi
mkdir -p "$work/notices"
cp "$setup_exe" "$work/notices/Setup.exe"
settings "$server" 'SOFTWARE\TavoSmoke\NotInstalled' >"$work/notices/SetupLauncherV2.xml"
cat >"$work/notices/SetupNotification.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<NotificationDataSet>
  <NotificationVersion>1</NotificationVersion>
  <NotificationDataValueCount>2</NotificationDataValueCount>
  <NotificationDataValue00><NFDTitle>スモークテストのお知らせ</NFDTitle><NFDURL>https://example.invalid/1</NFDURL><STRCOLOR>204,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></NotificationDataValue00>
  <NotificationDataValue01><NFDTitle>二行の_BR_お知らせ</NFDTitle><NFDURL></NFDURL><STRCOLOR>0,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></NotificationDataValue01>
</NotificationDataSet>
EOF
start_setup "$work/notices" /N
wait_for "the wizard window" 60 window_exists Setup
wait_for "the notices page in the log" 20 eval 'log_text | grep -F "フレーム画面に遷移します(メイン画面)。" >/dev/null'
sleep 1
expect_log "ダイアログの初期化処理を実行します。(お知らせ画面)" "以下の通知情報を追加しました。" \
  "スモークテストのお知らせ"
send_keys Setup Escape
window_exists Setup || fail "Escape closed the wizard"
# Enter on the confirm button (it has the focus) starts the installation.
send_keys Setup Return
wait_for "the installation to start" 20 eval 'log_text | grep -F "インストールスレッドを開始します。" >/dev/null'
if [ -n "$server_pid" ]; then
  # Alt+F4, then the frame's close button (Tab from the minimize button, which
  # has the focus on this page): both only inform while installing.
  send_keys Setup alt+F4
  wait_for "the information box" 20 window_exists "情報"
  send_keys "情報" Return
  wait_for "the information box to close" 20 window_gone "情報"
  send_keys Setup Tab Return
  wait_for "the information box" 20 window_exists "情報"
  send_keys "情報" Return
  wait_for "the information box to close" 20 window_gone "情報"
  window_exists Setup || fail "a close during the installation closed the wizard"
  setup_ended && fail "a close during the installation ended the launcher"
fi
wait_for "the error screen" 90 eval 'log_text | grep -F "エラー画面に遷移します(メイン画面)。" >/dev/null'
sleep 1
send_keys Setup Return
wait_for "the launcher to end" 30 setup_ended
expect_log "「確認」ボタンをクリックしました。" "TAVO製品のインストールをチェックします。" \
  "ダイアログの初期化処理を実行します。（インストール画面）" "インストールスレッドを実行します。" \
  "完了画面に遷移します。" "終了ボタンをクリックしました。" "プログラムを終了します。"
if [ -n "$server_pid" ]; then
  expect_log "閉じるボタンをクリックしました。" \
    "プログラムのインストール中に、インストーラーを終了することはできません。"
fi
echo "   ok"
echo "== wine smoke test passed"
