#!/usr/bin/env bash
# Saves a PNG of every screen of the Windows Setup.exe, run under Wine on a
# virtual display (not part of the tests; for looking at the windows):
#
#   scripts/screenshots.sh [BUILD_DIR] [OUTPUT_DIR]
#       BUILD_DIR   the Windows build (default build/windows)
#       OUTPUT_DIR  where the pictures go (default BUILD_DIR/screenshots)
#
# Real runs of Setup.exe give the start-up dialog, the notices page (also
# with a row under the mouse), the installation page, the information and
# question boxes and the error screens for a failed download and for
# conflicting software. The completion page for every result (and the
# installation page with download progress) comes from the showcase of the
# window tests (tests_ui.exe, WizardWindowsTest.DISABLED_Showcase), which
# shows one result at a time.
#
# Japanese text needs fonts-noto-cjk: the prefix (BUILD_DIR/wineprefix-screens)
# gets font replacements for "MS UI Gothic", "メイリオ", "MS Shell Dlg" (and
# the message boxes' "Tahoma") pointing at Noto Sans CJK JP.
# Needs: wine, Xvfb, xdotool, ImageMagick's import and convert.
set -euo pipefail
cd "$(dirname "$0")/.."
build=$(cd "${1:-build/windows}" && pwd)
out=${2:-$build/screenshots}
setup_exe=${TAVO_SCREENS_SETUP_EXE:-$build/Setup.exe}
tests_ui=$build/bin/tests_ui.exe
dlserver=$build/host/dlserver
mkdir -p "$out"
out=$(cd "$out" && pwd)

for tool in wine wineserver Xvfb xdotool import convert; do
  command -v "$tool" >/dev/null || { echo "screenshots: $tool is missing" >&2; exit 1; }
done
[ -f "$setup_exe" ] || { echo "screenshots: $setup_exe not found" >&2; exit 1; }
fc-list 2>/dev/null | grep "Noto Sans CJK JP" >/dev/null ||
  echo "screenshots: fonts-noto-cjk is not installed; Japanese text will not show" >&2

export WINEPREFIX=$build/wineprefix-screens
export WINEARCH=win64
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
export LANG=C.UTF-8
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-screens.XXXXXX")
xvfb_pid=
server_pid=
saved=()
missed=()

cleanup() {
  wineserver -k 2>/dev/null || true
  if [ -n "$server_pid" ]; then kill "$server_pid" 2>/dev/null || true; fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

exec 8>"$work/display"
Xvfb -displayfd 8 -screen 0 1024x768x24 -nolisten tcp >"$work/xvfb.log" 2>&1 &
xvfb_pid=$!
for _ in $(seq 1 100); do
  [ -s "$work/display" ] && break
  sleep 0.1
done
DISPLAY=:$(head -n1 "$work/display")
export DISPLAY
exec 8>&-

if [ ! -f "$WINEPREFIX/.tavo-prefix-ready" ]; then
  mkdir -p "$WINEPREFIX"
  wineboot -i >/dev/null 2>&1
  wineserver -w
  touch "$WINEPREFIX/.tavo-prefix-ready"
fi
for face in "MS UI Gothic" "メイリオ" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma"; do
  wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "Noto Sans CJK JP" /f \
    >/dev/null 2>&1
done
wineserver -k 2>/dev/null || true

# --- helpers -------------------------------------------------------------------
window_of() { xdotool search --name "^$1\$" 2>/dev/null | head -n1; }
wait_window() {  # title, seconds
  local end=$((SECONDS + $2))
  while [ "$SECONDS" -lt "$end" ]; do
    [ -n "$(window_of "$1")" ] && return 0
    sleep 0.3
  done
  return 1
}
# The main window as the user sees it: the inside of its region.
capture() {  # name [settle seconds]
  sleep "${2:-1.5}"
  local w
  w=$(window_of Setup)
  if [ -z "$w" ]; then
    missed+=("$1")
    return 0
  fi
  eval "$(xdotool getwindowgeometry --shell "$w")"
  import -window root "$work/screen.png"
  convert "$work/screen.png" -crop "769x395+$((X + 3))+$((Y + 3))" +repage "$out/$1.png"
  saved+=("$1")
}
# The whole screen, for message boxes over the window.
capture_screen() {  # name
  sleep 1.5
  import -window root "$out/$1.png"
  saved+=("$1")
}
keys() {  # window title, keys...
  local w
  w=$(window_of "$1")
  shift
  [ -n "$w" ] || return 0
  xdotool windowfocus --sync "$w" 2>/dev/null || true
  sleep 0.3
  xdotool key --delay 150 "$@"
}
stop_wine() { wineserver -k 2>/dev/null || true; sleep 0.5; }
start_setup() {  # folder, arguments...
  local folder=$1
  shift
  (cd "$folder" && exec wine Setup.exe "$@" >"$work/setup.out" 2>&1) &
}
showcase() {  # name, environment assignments...
  local name=$1
  shift
  (cd "$work" && exec env "$@" wine "$tests_ui" --gtest_also_run_disabled_tests \
    --gtest_filter=WizardWindowsTest.DISABLED_Showcase >"$work/showcase.out" 2>&1) &
  if wait_window Setup 60; then capture "$name" 2; else missed+=("$name"); fi
  stop_wine
}
settings() {  # server address, conflict key
  # Backslashes of the key path are doubled for sed's replacement text.
  sed -e "s|@SERVER@|$1|" -e "s|@CONFLICT@|${2//\\/\\\\}|" <<'EOF'
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
    <DownloadServer0>@SERVER@</DownloadServer0>
  </DownloadServerData>
  <ConfrictRegistory>
    <ConfrictDataCount>1</ConfrictDataCount>
    <ConfrictPackage00 PackageName="Example Antivirus">@CONFLICT@</ConfrictPackage00>
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

# A download server whose every answer comes late, so that the start-up
# dialog and the installation page stay on screen.
server=http://127.0.0.1:9/
if [ -x "$dlserver" ]; then
  mkdir -p "$work/served"
  "$dlserver" --root "$work/served" --port 0 --port-file "$work/port" --rule "* delay-ms=10000" \
    >"$work/dlserver.out" 2>&1 &
  server_pid=$!
  for _ in $(seq 1 100); do
    [ -s "$work/port" ] && break
    sleep 0.1
  done
  [ -s "$work/port" ] && server="http://127.0.0.1:$(cat "$work/port")/"
fi

mkdir -p "$work/run"
cp "$setup_exe" "$work/run/Setup.exe"
settings "$server" 'SOFTWARE\TavoScreens\ConflictAV' >"$work/run/SetupLauncherV2.xml"
cat >"$work/run/SetupNotification.xml" <<'EOF'
<?xml version="1.0" encoding="UTF-8"?>
<NotificationDataSet>
  <NotificationVersion>1</NotificationVersion>
  <NotificationDataValueCount>3</NotificationDataValueCount>
  <NotificationDataValue00><NFDTitle>【重要】Windows 11 をご利用のお客様へ</NFDTitle><NFDURL>https://example.invalid/1</NFDURL><STRCOLOR>204,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></NotificationDataValue00>
  <NotificationDataValue01><NFDTitle>インストール前に他社製のセキュリティソフトをアンインストールしてください_BR_（アンインストール方法はこちら）</NFDTitle><NFDURL>https://example.invalid/2</NFDURL><STRCOLOR>0,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></NotificationDataValue01>
  <NotificationDataValue02><NFDTitle>サポート期間終了のお知らせ</NFDTitle><NFDURL>https://example.invalid/3</NFDURL><STRCOLOR>0,102,204</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>97</NFDConditionValue></NotificationDataValue02>
</NotificationDataSet>
EOF

# --- Setup.exe -----------------------------------------------------------------
echo "== start-up dialog"
# Without /N the start-up dialog (no caption, at the top-left corner) waits
# for the late version file.
start_setup "$work/run"
sleep 6
import -window root "$work/startup.png"
convert "$work/startup.png" -crop 767x430+0+0 +repage "$work/startup-crop.png"
shown() { awk "BEGIN { exit !($(convert "$1" -format '%[fx:mean]' info:) > 0.05) }"; }
if [ -z "$(window_of Setup)" ] && shown "$work/startup-crop.png"; then
  cp "$work/startup-crop.png" "$out/00-startup.png"
  saved+=("00-startup")
else
  stop_wine
  # The same dialog from the window tests' showcase.
  if [ -f "$tests_ui" ]; then
    (cd "$work" && exec env TAVO_SHOWCASE_STARTUP=1 wine "$tests_ui" --gtest_also_run_disabled_tests \
      --gtest_filter=WizardWindowsTest.DISABLED_Showcase >"$work/showcase.out" 2>&1) &
    sleep 6
    import -window root "$work/startup.png"
    convert "$work/startup.png" -crop 767x430+0+0 +repage "$work/startup-crop.png"
  fi
  if shown "$work/startup-crop.png"; then
    cp "$work/startup-crop.png" "$out/00-startup-showcase.png"
    saved+=("00-startup-showcase")
  else
    missed+=("00-startup")
  fi
fi
stop_wine

echo "== notices, installation, boxes, failed download"
start_setup "$work/run" /N
if wait_window Setup 60; then
  capture 01-notices
  w=$(window_of Setup)
  eval "$(xdotool getwindowgeometry --shell "$w")"
  # The second row under the mouse, then the confirm button.
  xdotool mousemove $((X + 10 + 150 + 12 + 100)) $((Y + 10 + 40 + 162 + 32))
  capture 02-notices-row-under-mouse 1
  xdotool mousemove $((X + 10 + 150 + 375 + 60)) $((Y + 10 + 40 + 290 + 18))
  capture 03-notices-confirm-under-mouse 1
  xdotool mousemove 5 5
  keys Setup Return
  capture 04-installation 2
  keys Setup alt+F4
  if wait_window "情報" 10; then
    capture_screen 05-close-during-installation
    keys "情報" Return
  else
    missed+=(05-close-during-installation)
  fi
  # The server answers after its delay: the error screen follows.
  for _ in $(seq 1 60); do
    sleep 1
    [ -n "$(window_of Setup)" ] || break
    iconv -f UTF-16LE -t UTF-8 "$(find "$WINEPREFIX/drive_c/users" -name TAVODebugLog.txt | head -n1)" 2>/dev/null |
      grep -qF "エラー画面に遷移します(メイン画面)。" && break
  done
  capture 06-error-download 2
  for _ in 1 2; do
    keys Setup alt+F4
    wait_window "確認" 10 && break
  done
  if wait_window "確認" 1; then
    capture_screen 07-close-question
    keys "確認" n
  else
    missed+=(07-close-question)
  fi
else
  missed+=(01-notices 04-installation 06-error-download)
fi
stop_wine

echo "== conflicting software"
wine reg add 'HKLM\SOFTWARE\TavoScreens\ConflictAV' /v Installed /t REG_SZ /d 1 /reg:64 /f >/dev/null 2>&1
rm -f "$work/run/SetupNotification.xml"
start_setup "$work/run" /N
if wait_window Setup 60; then
  capture 08-error-conflict 2
  keys Setup Tab
  capture 09-error-conflict-link-focused 1
else
  missed+=(08-error-conflict)
fi
stop_wine
wine reg delete 'HKLM\SOFTWARE\TavoScreens' /reg:64 /f >/dev/null 2>&1 || true
stop_wine

# --- showcase of the completion page ---------------------------------------------
if [ -f "$tests_ui" ]; then
  echo "== completion page for every result"
  # The installation page with progress, then the success inside the frame.
  (cd "$work" && exec env TAVO_SHOWCASE_RESULT=1 TAVO_SHOWCASE_INSTALL=1 wine "$tests_ui" \
    --gtest_also_run_disabled_tests --gtest_filter=WizardWindowsTest.DISABLED_Showcase >"$work/showcase.out" 2>&1) &
  if wait_window Setup 60; then
    capture 10-installation-progress 3
    capture 11-result-01-complete 6
  fi
  stop_wine
  showcase result-02 TAVO_SHOWCASE_RESULT=2
  showcase result-03 TAVO_SHOWCASE_RESULT=3
  showcase result-04 TAVO_SHOWCASE_RESULT=4
  showcase result-05 TAVO_SHOWCASE_RESULT=5
  showcase result-06 TAVO_SHOWCASE_RESULT=6
  for detail in 1 4 5 7 1603; do
    showcase "result-07-detail-$detail" TAVO_SHOWCASE_RESULT=7 TAVO_SHOWCASE_DETAIL=$detail
  done
  showcase result-08-detail-4-message TAVO_SHOWCASE_RESULT=8 TAVO_SHOWCASE_DETAIL=4 \
    "TAVO_SHOWCASE_MESSAGE=：StopService"
  showcase result-09 TAVO_SHOWCASE_RESULT=9
  showcase result-12-one TAVO_SHOWCASE_RESULT=12 "TAVO_SHOWCASE_NAMES=Example Antivirus"
  showcase result-12-four TAVO_SHOWCASE_RESULT=12 \
    "TAVO_SHOWCASE_NAMES=Example Antivirus 2024|Other Security Suite|Third AV|Fourth AV"
  showcase result-13 TAVO_SHOWCASE_RESULT=13 "TAVO_SHOWCASE_NAMES=Old Antivirus"
  showcase result-15 TAVO_SHOWCASE_RESULT=15
  showcase result-16 TAVO_SHOWCASE_RESULT=16
  showcase result-17 TAVO_SHOWCASE_RESULT=17
  showcase result-21 TAVO_SHOWCASE_RESULT=21 TAVO_SHOWCASE_PRODUCT=2
fi

echo "== saved ${#saved[@]} pictures in $out"
printf '   %s.png\n' "${saved[@]}"
if [ "${#missed[@]}" -gt 0 ]; then
  echo "== not reached (the screen did not appear):"
  printf '   %s\n' "${missed[@]}"
fi
