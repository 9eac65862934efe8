#!/usr/bin/env bash
# The Windows half of the demo (scripts/run.sh --windows): the real Setup.exe
# under Wine, started beside its settings file in DEMO_DIR/launcher, on a
# fresh Wine prefix (DEMO_DIR/wineprefix) that plays the fresh machine.
#
#   scripts/lib/wine-demo.sh DEMO_DIR STATE
#
# STATE is one of run.sh's machine states; under Wine it is made with
# registry keys in the 64-bit view (conflict, older, latest, other-edition)
# or with Wine's Windows version for Setup.exe (unsupported: Windows Server
# 2008 R2); dead-server needs nothing here.
#
# With a display (DISPLAY set) the launcher opens there and the user clicks
# through it. Without one it runs on a virtual display of its own and is
# driven by keys, the way a user would: the notices are confirmed, the
# installation runs, and the page it ends on is left with Enter. Screenshots
# of each screen go to DEMO_DIR/screenshots. The demo package is made for
# the simulated Windows Installer of the Linux build, and Wine keeps no
# "MsiInstaller" records in an event log, so under Wine an installation ends
# on result 15 (not executed).
set -euo pipefail
cd "$(dirname "$0")/../.."
demo=$1
state=$2
tag=run.sh
work=$demo/wine
mkdir -p "$work" "$demo/screenshots"
# shellcheck source=scripts/lib/wine-common.sh
. scripts/lib/wine-common.sh

wine_require_tools wine wineserver xdotool iconv
interactive=1
if [ -z "${DISPLAY:-}" ]; then
  interactive=0
  wine_require_tools Xvfb import
fi

setup_pid=
cleanup() {
  local status=$?
  if [ -n "$setup_pid" ]; then kill "$setup_pid" 2>/dev/null || true; fi
  wine_stop_all
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

[ "$interactive" = 1 ] || wine_start_display 1024x768
echo "Preparing the Wine prefix $demo/wineprefix ..."
wine_prepare_prefix "$demo/wineprefix"
# Japanese text in the dialogs' fonts and in the message boxes.
if fc-list 2>/dev/null | grep "Noto Sans CJK JP" >/dev/null; then
  for face in "MS UI Gothic" "メイリオ" "MS Shell Dlg" "MS Shell Dlg 2" "Tahoma"; do
    wine reg add 'HKCU\Software\Wine\Fonts\Replacements' /v "$face" /t REG_SZ /d "Noto Sans CJK JP" /f \
      >/dev/null 2>&1 || true
  done
fi

info='HKLM\SOFTWARE\TAVO\TAVO Security\CurrentVersion\Info'
installed() {  # product name, version
  wine reg add "$info" /v ProductName /t REG_SZ /d "$1" /reg:64 /f >/dev/null 2>&1
  wine reg add "$info" /v ProductVersion /t REG_SZ /d "$2" /reg:64 /f >/dev/null 2>&1
  wine reg add "$info" /v InstallDir /t REG_SZ /d 'C:\Program Files\TAVO\TAVO Security\' /reg:64 /f >/dev/null 2>&1
}
case "$state" in
  fresh|dead-server) ;;
  conflict) wine reg add 'HKLM\SOFTWARE\Example\Antivirus' /v Version /t REG_SZ /d 5.1 /reg:64 /f >/dev/null 2>&1 ;;
  older) installed "TAVO Net Shield" "9.0.2032.2" ;;
  latest) installed "TAVO Net Shield" "10.0.2032.10" ;;
  other-edition) installed "TAVO Virus Guard" "10.0.2032.10" ;;
  unsupported) wine reg add 'HKCU\Software\Wine\AppDefaults\Setup.exe' /v Version /t REG_SZ /d win2008r2 /f \
    >/dev/null 2>&1 ;;
  *) fail "unknown state $state" ;;
esac
wineserver -w

if [ "$interactive" = 1 ]; then
  echo "Starting Setup.exe under Wine on $DISPLAY; it ends when you close it."
  (cd "$demo/launcher" && wine Setup.exe) || true
  exit 0
fi

shot() {  # name
  import -window root "$demo/screenshots/$1.png" 2>/dev/null && echo "  screenshot $1.png" || true
}
setup_ended() { pid_ended "$setup_pid"; }
until_any() {  # seconds, entry texts...: waits until one is logged or the launcher ends
  local end=$((SECONDS + $1)) line
  shift
  while [ "$SECONDS" -lt "$end" ]; do
    for line in "$@"; do log_has "$line" && return 0; done
    setup_ended && return 0
    sleep 0.3
  done
  return 1
}

echo "Starting Setup.exe under Wine on the virtual display $DISPLAY ..."
(cd "$demo/launcher" && exec wine Setup.exe >"$work/setup.out" 2>&1) &
setup_pid=$!
if until_any 60 "ワーカースレッドを実行します。"; then
  sleep 1.5
  shot 01-startup-dialog
fi
wizard="フレーム画面に遷移します(メイン画面)。"
error_screen="エラー画面に遷移します(メイン画面)。"
until_any 180 "$wizard" "$error_screen" || fail "the wizard did not open"
if ! setup_ended; then
  wait_for "the wizard window" 30 window_exists Setup
  sleep 2
  if ! log_has "$error_screen" && log_has "ダイアログの初期化処理を実行します。(お知らせ画面)"; then
    shot 02-notices
    # Enter on the confirm button, which has the focus.
    send_keys Setup Return
    if until_any 10 "インストールスレッドを開始します。" "$error_screen" && ! log_has "$error_screen"; then
      sleep 1.5
      shot 03-installation
    fi
  fi
  until_any 600 "$error_screen" "完了画面に遷移します。" || fail "the installation did not end"
  sleep 2
  shot 04-result
  # The exit button has the focus on the result page; a question, if one
  # comes, is answered Yes.
  send_keys Setup Return
  for _ in $(seq 1 20); do
    setup_ended && break
    if window_exists "確認"; then send_keys "確認" y; fi
    sleep 0.5
  done
  if ! setup_ended; then
    send_keys Setup alt+F4
    sleep 1
    if window_exists "確認"; then send_keys "確認" y; fi
  fi
  wait_for "the launcher to end" 30 setup_ended
fi
setup_pid=
echo "The launcher ended; last page:"
log_entries | grep -E "^(エラー番号:|エラー画面に遷移します\(|インストールが完了した為)" | sed 's/^/  /' || true
