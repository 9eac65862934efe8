#!/usr/bin/env bash
# Whole runs of the Windows Setup.exe under Wine, driven through its windows
# with xdotool on a virtual display:
#
#   scripts/wine-e2e.sh [BUILD_DIR] [RUN...]      (default: build/windows, all runs)
#
# Every run starts the real launcher from a folder of its own beside its
# settings file, against the loopback download server (the host build of
# tools/dlserver) serving trees made by tools/publish/publish.py, and checks
# through the debug log (UTF-16LE) the page it ends on and that it ends:
#
#   round-trip     the self-update round trip: the server offers a newer
#                  Setup.exe (this build), settings and notices; the first
#                  launcher (start-up dialog) downloads them and starts the
#                  new one with "/N /O"; the new one ends the first, takes the
#                  base values from the first one's settings and the rest from
#                  the downloaded ones, and shows the notices. The processes
#                  are checked through Toolhelp (tests_e2e.exe) and /proc.
#   dead-server    nothing answers: result 3 through the start-up dialog.
#   unsupported    Windows Vista (Wine's version for Setup.exe): result 21.
#   other-edition  TAVO Virus Guard in the registry (64-bit view), a launcher
#                  for TAVO Net Shield started with /N: result 16.
#   latest         the newest TAVO Net Shield installed, the start-up dialog
#                  finds nothing newer: result 17.
#   install        the notices refreshed by the start-up dialog, then the
#                  installation: the download configuration, the package and
#                  its MD5 check pass and msiexec runs; Wine keeps no
#                  "MsiInstaller" records in an event log, so the launcher
#                  cannot tell that the installer ran and shows result 15.
#
# Needs: wine (win64 prefix with wine32), Xvfb, xdotool, iconv, python3, and
# in BUILD_DIR: Setup.exe, bin/tests_e2e.exe, host/dlserver. The prefix is
# BUILD_DIR/wineprefix-e2e, created on first use; the display, the server
# and the prefix's wineserver are ended when the script ends.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD
build=$(cd "${1:-build/windows}" && pwd)
[ "$#" -gt 0 ] && shift
all_runs="round-trip dead-server unsupported other-edition latest install"
runs=${*:-$all_runs}

setup_exe=$build/Setup.exe
probe_exe=$build/bin/tests_e2e.exe
dlserver=$build/host/dlserver
tag=wine-e2e
work=$(mktemp -d "${TMPDIR:-/tmp}/tavo-wine-e2e.XXXXXX")
# shellcheck source=scripts/lib/wine-common.sh
. "$root/scripts/lib/wine-common.sh"

wine_require_tools wine wineserver winepath Xvfb xdotool iconv python3
for f in "$setup_exe" "$probe_exe" "$dlserver"; do
  [ -f "$f" ] || { echo "$tag: $f not found (build the Windows build first)" >&2; exit 1; }
done

setup_pid=
prefix_ready=0
cleanup() {
  local status=$?
  if [ -n "$setup_pid" ]; then kill "$setup_pid" 2>/dev/null || true; fi
  # Keys of the machine that a failed run may have left behind in our prefix.
  if [ "$prefix_ready" = 1 ]; then
    wine reg delete 'HKLM\SOFTWARE\TAVO' /reg:64 /f >/dev/null 2>&1 || true
    wine reg delete 'HKCU\Software\Wine\AppDefaults\Setup.exe' /f >/dev/null 2>&1 || true
  fi
  wine_stop_all
  if [ "$status" -ne 0 ]; then
    echo "$tag: FAILED; files kept in $work" >&2
  else
    rm -rf "$work"
  fi
  exit "$status"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

started=$SECONDS
wine_start_display 1280x1024
wine_prepare_prefix "$build/wineprefix-e2e"
prefix_ready=1
echo "== display $DISPLAY, prefix $WINEPREFIX"
temp_win=$(winepath -w "$temp_dir" 2>/dev/null)
temp_win=${temp_win%\\}\\

# --- the download server and its trees -----------------------------------------
served=$work/served
mkdir -p "$served"
# The round trip's version file comes late, so that the first launcher can be
# seen while its start-up dialog waits.
wine_start_dlserver "$dlserver" "$served" --log "$work/requests.log" \
  --rule "/round-trip/SetupLauncherVer.xml delay-ms=8000"
base=http://127.0.0.1:$server_port/
dead=http://127.0.0.1:9/

settings() {  # server, product type, package version, settings version, provider type
  cat <<EOF
<?xml version="1.0" encoding="UTF-8"?>
<LaunchData>
  <LaunchBase>
    <ProductType>$2</ProductType>
    <PackageType>1</PackageType>
    <LineupType>11</LineupType>
    <PackageVersionWin>$3</PackageVersionWin>
    <PackageVersionMac>0.0</PackageVersionMac>
    <ManualType>99</ManualType>
    <DownloaderVersion>2000000</DownloaderVersion>
    <SetupLauncherXMLVersion>$4</SetupLauncherXMLVersion>
    <ProviderType>$5</ProviderType>
    <InstallType>0</InstallType>
    <EnableServerCheck>0</EnableServerCheck>
  </LaunchBase>
  <DownloadServerData>
    <DownloadServerCount>1</DownloadServerCount>
    <DownloadServer0>$1</DownloadServer0>
  </DownloadServerData>
  <ConfrictRegistory>
    <ConfrictDataCount>1</ConfrictDataCount>
    <ConfrictPackage00 PackageName="E2E Antivirus">SOFTWARE\TavoE2E\NotInstalled</ConfrictPackage00>
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

publish() {  # tree name, description JSON (files it names lie in $work/desc-NAME)
  local desc=$work/desc-$1
  mkdir -p "$desc"
  printf '%s\n' "$2" >"$desc/description.json"
  python3 tools/publish/publish.py "$desc/description.json" "$served/$1" --base-url "$base$1/" >/dev/null ||
    fail "publishing the tree $1 failed"
}

# round-trip: a newer launcher (this very build), newer settings and a notice.
mkdir -p "$work/desc-round-trip"
cp "$setup_exe" "$work/desc-round-trip/Setup.exe"
settings "${base}round-trip/" 5 11.0 2 NEWPROVIDER >"$work/desc-round-trip/SetupLauncherV2.xml"
publish round-trip '{"packages": [],
  "version_file": {"last_version": 2000001, "settings_version": 2,
                   "setup_exe": "Setup.exe", "settings": "SetupLauncherV2.xml"},
  "notification_version": 1,
  "notices": [{"title": "新しいランチャーからのお知らせ", "url": "https://example.invalid/new",
               "color": "204,0,0", "condition_type": 2, "condition_value": 99}]}'
# latest: nothing newer, TAVO Net Shield 10.0.2032.10 is the newest.
publish latest '{"packages": [],
  "version_file": {"last_version": 2000000, "latest": {"TNS": "10.0.2032.10"}}}'
# install: nothing newer, two notices, one package for TAVO Net Shield.
mkdir -p "$work/desc-install/packages"
cp samples/demo/packages/tavo_tns.msi "$work/desc-install/packages/"
publish install '{"packages": [{"file": "tavo_tns.msi", "name": "TAVO Net Shield", "version": "10.0.2032.10",
                 "exec_type": 1, "architecture": 99, "product_type": 5, "target_os": 0}],
  "version_file": {"last_version": 2000000, "latest": {"TNS": "10.0.2032.10"}},
  "notification_version": 1,
  "notices": [{"title": "E2Eテストのお知らせ", "url": "https://example.invalid/1",
               "color": "204,0,0", "condition_type": 2, "condition_value": 99},
              {"title": "二件目のお知らせ", "url": "", "color": "0,0,0",
               "condition_type": 2, "condition_value": 99}]}'

# --- helpers of the runs -----------------------------------------------------------
# A fresh start: no log, nothing downloaded by an earlier run.
clean_temp() {
  rm -f "$log_file" "$temp_dir/Setup.exe" "$temp_dir/SetupLauncherV2.xml" \
    "$temp_dir/SetupNotification.xml" "$temp_dir/SetupLauncherVer.xml" "$temp_dir/DownloadConfig.xml"
}
launcher_folder() {  # name, settings arguments...
  local folder=$work/$1
  shift
  mkdir -p "$folder"
  cp "$setup_exe" "$folder/Setup.exe"
  settings "$@" >"$folder/SetupLauncherV2.xml"
  echo "$folder"
}
start_setup() {  # folder, arguments...
  local folder=$1
  shift
  clean_temp
  (cd "$folder" && exec wine Setup.exe "$@" >"$work/setup.out" 2>&1) &
  setup_pid=$!
}
setup_ended() { pid_ended "$setup_pid"; }
installed() {  # product name, version
  local key='HKLM\SOFTWARE\TAVO\TAVO Security\CurrentVersion\Info'
  wine reg add "$key" /v ProductName /t REG_SZ /d "$1" /reg:64 /f >/dev/null 2>&1 &&
    wine reg add "$key" /v ProductVersion /t REG_SZ /d "$2" /reg:64 /f >/dev/null 2>&1 &&
    wine reg add "$key" /v InstallDir /t REG_SZ /d 'C:\Program Files\TAVO\TAVO Security\' /reg:64 /f \
      >/dev/null 2>&1 || fail "could not write the product's registry key"
}
uninstalled() { wine reg delete 'HKLM\SOFTWARE\TAVO' /reg:64 /f >/dev/null 2>&1 || true; }
# The error screen is up: Enter on its exit button (it has the focus) ends the launcher.
end_on_error_screen() {  # expected result code
  wait_for "the error screen" 60 log_has "エラー画面に遷移します(メイン画面)。"
  wait_for "the wizard window" 20 window_exists Setup
  sleep 1
  expect_log "エラー番号:$1"
  send_keys Setup Return
  wait_for "the launcher to end" 30 setup_ended
  setup_pid=
  expect_log "終了ボタンをクリックしました。" "インストールウィザード処理を完了しました。" "プログラムを終了します。"
  [ "$(log_count "プログラムを開始します。")" = 1 ] || fail "more than one launcher ran"
}
probe() {  # check, environment assignments...: the Toolhelp view of the launchers
  local check=$1
  shift
  (cd "$work" && env TAVO_E2E_PROCESS_CHECK="$check" "$@" wine "$probe_exe" --gtest_brief=1 \
    --gtest_filter='LauncherProcesses.*' >"$work/probe-$check.out" 2>&1) ||
    { cat "$work/probe-$check.out" >&2; fail "the Toolhelp check \"$check\" failed"; }
  grep '^TAVO_E2E ' "$work/probe-$check.out" | sed 's/^TAVO_E2E /     /'
}
probe_value() { sed -n "s/^TAVO_E2E $2=//p" "$work/probe-$1.out" | tr -d '\r'; }
run_began() { echo "== $1"; run_started=$SECONDS; }
run_done() { echo "   ok ($((SECONDS - run_started)) s)"; }

# --- round-trip -------------------------------------------------------------------
run_round_trip() {
  run_began "round-trip: self-update to a newer Setup.exe, settings and notices"
  # A blank in the folder name: the "/O" path must arrive quoted.
  local folder
  folder=$(launcher_folder "round trip" "${base}round-trip/" 5 10.0 1 KOTA)
  local source_settings
  source_settings=$(winepath -w "$folder/SetupLauncherV2.xml")
  start_setup "$folder"
  local first_unix=$setup_pid
  wait_for "the start-up worker" 60 log_has "インストールランチャーバージョンアップファイルの取得を行います。"
  log_has "アップデートに成功しました。" && fail "the update ended before the first launcher could be seen"
  probe first
  local first_pid
  first_pid=$(probe_value first first-pid)

  # The new launcher ends the first one and shows its wizard.
  wait_for "the new launcher to end the first" 60 log_has "アップグレード元プロセスを終了させました。"
  wait_for "the first launcher to be gone" 30 pid_ended "$first_unix"
  wait_for "the new launcher's wizard" 60 log_has "フレーム画面に遷移します(メイン画面)。"
  wait_for "the wizard window" 20 window_exists Setup
  probe replaced TAVO_E2E_FIRST_PID="$first_pid"
  local second_unix
  second_unix=$(prefix_pids "${temp_win}Setup.exe /N /O ")
  [ -n "$second_unix" ] || fail "no process \"${temp_win}Setup.exe /N /O ...\" in the process list"
  [ "$(echo "$second_unix" | wc -l)" = 1 ] || fail "more than one new launcher: $second_unix"
  echo "     unix: first launcher $first_unix gone; new launcher $second_unix:" \
    "$(tr '\0' ' ' <"/proc/$second_unix/cmdline" | sed 's/ *$//')"

  local command_line="${temp_win}Setup.exe /N /O \"$source_settings\""
  expect_log "ランチャーのバージョンアップ確認を実行します。" "ランチャーをバージョンアップします。" \
    "${temp_win}Setup.exe" "ランチャーファイルを更新します。" "通知ファイルを更新します。" \
    "ランチャーの再起動を行います。" "以下のコマンドを実行します。" "$command_line" \
    "プログラムを起動しました。" "アップデートに成功しました。"
  # In order: the first launcher's update, then the second launcher's start.
  local updated second_start ended
  updated=$(log_line_of "アップデートに成功しました。")
  second_start=$(log_line_of "プログラムを開始します。" "$updated")
  [ -n "$second_start" ] || fail "no second start after the update"
  ended=$(log_line_of "アップグレード元プロセスを終了させました。" "$second_start")
  [ -n "$ended" ] || fail "the new launcher did not log the end of the first"
  [ "$(log_count "プログラムを開始します。")" = 2 ] || fail "expected two starts"
  expect_no_log "プログラムを終了します。"
  # The new launcher's own settings are the downloaded ones (package 11.0)
  # under the first one's base values (provider KOTA, not NEWPROVIDER); its
  # notices are the downloaded ones.
  local after=$((ended))
  [ -n "$(log_line_of "インストールを行う製品バージョン：11.0" "$after")" ] ||
    fail "the new launcher did not use the downloaded settings"
  [ -n "$(log_line_of "インストールランチャーのタイプ：KOTA" "$after")" ] ||
    fail "the new launcher did not take the base values from the first one's settings"
  [ -n "$(log_line_of "新しいランチャーからのお知らせ" "$after")" ] || fail "the downloaded notice is not listed"
  expect_no_log "インストールランチャーのタイプ：NEWPROVIDER"
  # The settings re-read (step 10) belongs to a launcher whose own worker
  # downloaded them: the new one never has it; the first one logs it only if
  # it got that far before being ended.
  local reread
  reread=$(log_line_of "Launcher設定ファイルを再読み込みします。")
  if [ -n "$reread" ]; then
    [ "$reread" -lt "$second_start" ] || fail "the new launcher re-read the settings"
    echo "     the first launcher reached its settings re-read before it was ended"
  else
    echo "     the first launcher was ended before its settings re-read"
  fi

  # Closing the new launcher: Alt+F4, then Yes.
  setup_pid=$second_unix
  send_keys Setup alt+F4
  wait_for "the close question" 20 window_exists "確認"
  send_keys "確認" y
  wait_for "the new launcher to end" 30 setup_ended
  setup_pid=
  [ "$(log_count "プログラムを終了します。")" = 1 ] || fail "expected one end of the program"
  run_done
}

# --- results through the start-up dialog and at start ---------------------------
run_dead_server() {
  run_began "dead-server: no server answers (result 3)"
  start_setup "$(launcher_folder dead-server "$dead" 5 10.0 1 KOTA)"
  end_on_error_screen 3
  expect_log "更新ダイアログを表示します。" "インストールランチャーバージョンファイルの取得に失敗しました。" \
    "エラー画面に遷移します(インストールランチャーバージョンファイルの取得に失敗)。"
  expect_no_log "ランチャーをバージョンアップします。"
  run_done
}

run_unsupported() {
  run_began "unsupported: Windows Vista (result 21)"
  wine reg add 'HKCU\Software\Wine\AppDefaults\Setup.exe' /v Version /t REG_SZ /d vista /f >/dev/null 2>&1 ||
    fail "could not set the Windows version of Setup.exe"
  start_setup "$(launcher_folder unsupported "$dead" 5 10.0 1 KOTA)"
  end_on_error_screen 21
  wine reg delete 'HKCU\Software\Wine\AppDefaults\Setup.exe' /f >/dev/null 2>&1 || true
  expect_log "サポート対象外のOSです。" "オペレーティングシステム：Windows Vista x64" \
    "エラー画面に遷移します(インストール対象外のOSを検出)。"
  # The system check comes first: no server was asked.
  expect_no_log "インストールランチャーバージョンアップファイルの取得を行います。"
  run_done
}

run_other_edition() {
  run_began "other-edition: TAVO Virus Guard installed, launcher for TAVO Net Shield (result 16)"
  installed "TAVO Virus Guard" "10.0.2032.10"
  start_setup "$(launcher_folder other-edition "$dead" 5 10.0 1 KOTA)" /N
  end_on_error_screen 16
  uninstalled
  expect_log "お知らせ画面をスキップします。" "TAVO製品のインストールをチェックします。" \
    "TAVO Virus Guardがインストールされています。" \
    "既にTAVO製品がインストールされていますが、アップグレードできません。" \
    "エラー画面に遷移します(別ラインナップのTAVO製品を検出)。"
  expect_no_log "更新ダイアログを表示します。"
  run_done
}

run_latest() {
  run_began "latest: the newest TAVO Net Shield installed (result 17)"
  installed "TAVO Net Shield" "10.0.2032.10"
  start_setup "$(launcher_folder latest "${base}latest/" 5 10.0 1 KOTA)"
  end_on_error_screen 17
  uninstalled
  expect_log "更新ダイアログを表示します。" "ランチャーを再起動しません。" "最新バージョンを取得します。" \
    "TAVO Net Shieldがインストールされています。" \
    "既にTAVO製品がインストールされていますが、アップグレード不要です。" \
    "エラー画面に遷移します(最新のTAVO製品を検出)。"
  run_done
}

run_install() {
  run_began "install: notices, then the installation through Wine's msiexec"
  local folder
  folder=$(launcher_folder install "${base}install/" 5 10.0 1 KOTA)
  start_setup "$folder"
  wait_for "the notices page" 60 log_has "フレーム画面に遷移します(メイン画面)。"
  wait_for "the wizard window" 20 window_exists Setup
  sleep 1
  expect_log "通知ファイルを更新します。" "ダイアログの初期化処理を実行します。(お知らせ画面)" \
    "以下の通知情報を追加しました。" "E2Eテストのお知らせ" "二件目のお知らせ"
  # Enter on the confirm button (it has the focus) starts the installation.
  send_keys Setup Return
  wait_for "the installation to start" 30 log_has "インストールスレッドを開始します。"
  wait_for "the installation to end" 120 log_has "完了画面に遷移します。"
  local shown
  shown=$(log_entries | sed -n 's/^エラー番号://p' | tail -n1)
  echo "     the completion page shows result ${shown:-?}"
  expect_log "「確認」ボタンをクリックしました。" "インストールスレッドを実行します。" \
    "設定ファイルの解析に成功しました。" "${temp_win}tavo_tns.msi" "ハッシュ解析処理を完了しました。" \
    "パッケージのダウンロードに成功しました。" "以下のインストールコマンドを実行します。" \
    "Windowsログの取得に失敗しました" "プログラムの実行をキャンセルしました。"
  end_on_error_screen 15
  run_done
}

for run in $runs; do
  case "$run" in
    round-trip) run_round_trip ;;
    dead-server) run_dead_server ;;
    unsupported) run_unsupported ;;
    other-edition) run_other_edition ;;
    latest) run_latest ;;
    install) run_install ;;
    *) fail "unknown run $run (runs: $all_runs)" ;;
  esac
done
echo "== wine whole-run tests passed ($((SECONDS - started)) s)"
