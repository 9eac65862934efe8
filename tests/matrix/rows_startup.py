"""Rows of the start-up: the settings beside the launcher, the notices, the version file, the machine and its
conflicts, the installed editions and systems, closing, and the debug log where it cannot be written."""
import dataclasses
import re

from checks import expect
from harness import installed_product, notice
from rows import (CFG, EARLIER, NO_EVENT_LOG, NOTICE, NOTICES_FAILED, SIMULATED_ONLY, VER, VERSION_UNREADABLE,
                  WINE_UNRECORDED, Row, cut_half, grown, log_given_up, replace)

SJIS = b"\x83\x45\x83\x43\x83\x8b\x83\x58"  # "ウイルス" in Shift_JIS

def remove(_):
    return None

SETTINGS_FAILED = "設定ファイルの読み込みに失敗しました。"

def settings_row(name, edit, box):
    return Row(name, settings_edit=edit, page="box", result=None, box=box, anchors=[SETTINGS_FAILED],
               requests={VER: 0})

def notices_row(name, edit):
    return Row(name, notices=[NOTICE], notices_edit=edit, anchors=[NOTICES_FAILED, "お知らせ画面をスキップします。"])

def version_row(name, edit):
    return Row(name, serve={VER: edit}, anchors=[VERSION_UNREADABLE, "更新ダイアログ処理を完了しました。"])

def temp_is_a_file(m):
    """TMP and TEMP name a file, as a process of the user can arrange in HKCU\\Environment."""
    (m.work / "not-a-folder").write_text("a file, not a folder\n")
    m.user_environment({name: m.native(m.work / "not-a-folder") for name in ("TMP", "TEMP")})

NO_LATEST_TNS = lambda d: re.sub(rb"<TNSLatestVersion>[^<]*</TNSLatestVersion>", b"", d)  # noqa: E731

ROWS = [
    Row("notices-confirmed", wine=dict(anchors=[
        "以下の通知情報を追加しました。", "「確認」ボタンをクリックしました。", "プログラムの実行をキャンセルしました。"]), notices=[notice("【重要】TAVO Net Shield 10.0 をご利用のお客様へ_BR_Windows 10 での動作について"),
                                      notice("Windows 7 をご利用のお客様へ", cvalue=9)], keys="n",
        anchors=["以下の通知情報を追加しました。", "「確認」ボタンをクリックしました。", "インストール処理を完了しました。"],
        absent=["Windows 7 をご利用のお客様へ"]),
    Row("notices-newer-on-server", server_notices=(5, [notice("サーバーからの新しいお知らせ")]),
        notices=[notice("古いお知らせ")], keys="n", anchors=["通知ファイルを更新します。", "サーバーからの新しいお知らせ"],
        absent=["古いお知らせ"]),
    Row("dead-server", servers=["dead"], temp_files={"SetupLauncherVer.xml": EARLIER}, page="error", result=3,
        anchors=["インストールランチャーバージョンファイルの取得に失敗しました。"],
        absent=["インストールスレッドを開始します。"]),
    Row("dead-server-without-start-up", servers=["dead"], args=["/N"], page="error", result=3,
        anchors=["ネットワーク接続確認を行います。", "接続確認に失敗しました。"],
        absent=["設定ファイルのダウンロードを行います。"]),
    Row("conflict-registry-12", settings={"conflict_keys": [("Example Antivirus", r"SOFTWARE\Example\Antivirus")]},
        registry={r"HKEY_LOCAL_MACHINE\SOFTWARE\Example\Antivirus": {"Version": "5.1"}}, page="error", result=12,
        anchors=["以下の競合製品を検出しました（レジストリ検索で検出）。", "エラー画面に遷移します(競合製品を検出)。"],
        requests={CFG: 0}, golden="conflict-12"),
    Row("conflict-after-notices-12", settings={"conflict_software": ["example antivirus"]},
        registry={r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\Windows\CurrentVersion\Uninstall\ExampleAV":
                  {"DisplayName": "Example AntiVirus Pro"}},
        notices=[notice("インストール前に他社製セキュリティソフトをアンインストールしてください")], keys="n", page="error",
        result=12, anchors=["「確認」ボタンをクリックしました。", "以下の競合製品を検出しました（ソフトウェア検索で検出）。"],
        absent=["インストールスレッドを開始します。"]),
    Row("security-center-leftover-13-continue", settings={"conflict_security_center": ["Example Antivirus"]},
        machine_files={"securitycenter.ini": "[AntiVirusProduct 0]\ndisplayName=Example Antivirus 2020\n"
                                             "companyName=Example Inc.\nproductState=266240\n"},
        keys="c", anchors=["エラー番号:13", "インストールの続行ボタンをクリックしました。", "インストール処理を完了しました。"],
        installed="TAVO Net Shield", linux_only=SIMULATED_ONLY % "Security Center products",
        check=lambda m, o: expect("conflict checks", o.log.count("競合製品を確認します。"), 1)),  # not again after continuing
    Row("other-edition-16", registry=installed_product("TAVO Virus Guard"), page="error", result=16,
        anchors=["既にTAVO製品がインストールされていますが、アップグレードできません。"], requests={CFG: 0},
        installed="TAVO Virus Guard"),
    Row("other-edition-16-help-link", registry=installed_product("TAVO Virus Guard"), keys="\x1b[Z\r",
        page="error", result=16, linux_only=SIMULATED_ONLY % "the shell's record of opened addresses",
        check=lambda m, o: expect("the addresses opened", m.shell_log(),
                                  lambda a: len(a) == 1 and "site_domain=default" in a[0])),
    Row("latest-installed-17", registry=installed_product("TAVO Net Shield"), page="error", result=17,
        anchors=["既にTAVO製品がインストールされていますが、アップグレード不要です。"], requests={CFG: 0}),
    Row("older-installed-upgraded", registry=installed_product("TAVO Net Shield", "9.0.2032.2"),
        absent=["既にTAVO製品がインストールされていますが、アップグレード不要です。"], installed="TAVO Net Shield",
        wine=dict(installed="TAVO Net Shield")),
    Row("unsupported-vista-21", os="vista", page="error", result=21, anchors=["サポート対象外のOSです。"],
        requests={VER: 0}),
    Row("newer-settings-only", version_file={"last_version": 2000000, "settings_version": 2,
                                             "settings": "SetupLauncherV2.xml", "latest": {"TNS": "10.0.2032.10"}},
        server_settings={"package_version": "11.0", "settings_version": 2},
        anchors=["インストールを行う製品バージョン：11.0"], absent=["ランチャーの再起動を行います。"]),
    Row("version-file-from-second-server", servers=["dead", "own"], anchors=["ランチャーを再起動しません。"]),
    # Other Windows versions that are not supported stand in the unit table of the machine checks.
    Row("unsupported-xp", os="xp", page="error", result=21, requests={VER: 0}),
    Row("close-refused-during-install", keys="x\r", anchors=["インストールスレッドを開始します。", "閉じるボタンをクリックしました。",
                                                            "インストール処理を完了しました。"],
        installed="TAVO Net Shield", linux_only=NO_EVENT_LOG),
    Row("close-error-screen-asks", servers=["dead"], keys="xy", page="error", result=3,
        anchors=["エラー番号:3", "閉じるボタンをクリックしました。", "インストールウィザード処理を完了しました。"],
        linux_only="the driver answers the pages' own buttons only; the window tests of tests_ui answer this box"),
    dataclasses.replace(settings_row("settings-missing", remove, 2), check=lambda m, o: expect(
        "the settings file named among the errors", o.log.errors(), lambda errors: any(
            t.endswith("SetupLauncherV2.xml") and "launcher" in t for t in errors))),
    settings_row("settings-malformed", cut_half, 13),
    settings_row("settings-too-large", grown("LaunchData", 9 << 20), 13),
    Row("settings-far-off-index", settings_edit=replace(b"<ConflictSoftwareCount>0</ConflictSoftwareCount>",
                                                        b"<ConflictSoftwareCount>-1</ConflictSoftwareCount>"
                                                        b"<ConflictSoftwareName99999999999>x</ConflictSoftwareName99999999999>"
                                                        b"<ConflictSoftwareName4294967295>Example AV</ConflictSoftwareName4294967295>"),
        anchors=["競合製品を確認します。", "インストール処理を完了しました。"],
        wine=dict(anchors=["競合製品を確認します。", "インストールスレッドを開始します。"])),
    Row("version-file-404", rules={VER: "status=404"}, page="error", result=3),
    version_row("version-file-malformed", cut_half),
    Row("version-file-absurd-last-version", serve={VER: replace(b"<LastVersion>2000000<", b"<LastVersion>-1<")},
        page="error", result=6, anchors=["ランチャーをバージョンアップします。", "最新のインストーラーの取得に失敗しました。"]),
    notices_row("notices-missing", remove),
    notices_row("notices-malformed", cut_half),
    Row("notices-far-off-record", keys="n", notices=[NOTICE], notices_edit=lambda d: d.replace(
        b"<NotificationDataValueCount>1<", b"<NotificationDataValueCount>-1<").replace(
        b"NotificationDataValue00>", b"NotificationDataValue4000000000>"),
        anchors=["以下の通知情報を追加しました。", NOTICE["title"], "「確認」ボタンをクリックしました。"]),
    Row("notices-in-shift-jis-that-says-so", keys="n", launcher_files={"SetupNotification.xml": (
        b'<?xml version="1.0" encoding="Shift_JIS"?>\r\n<NotificationDataSet><NotificationVersion>1'
        b"</NotificationVersion><NotificationDataValueCount>1</NotificationDataValueCount><NotificationDataValue00>"
        b"<NFDTitle>" + SJIS + b"</NFDTitle><NFDURL>https://www.tavo-security.jp/</NFDURL><STRCOLOR>0,0,0</STRCOLOR>"
        b"<NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue></NotificationDataValue00>"
        b"</NotificationDataSet>\r\n")}, anchors=["以下の通知情報を追加しました。", "ウイルス"]),
    Row("notices-downloaded-malformed", server_notices=(9, [notice("サーバーのお知らせ")]),
        serve={"/SetupNotification.xml": cut_half}, anchors=["通知ファイルを更新します。", NOTICES_FAILED],
        absent=["サーバーのお知らせ"]),
    Row("unreadable-conflict-key", settings={"conflict_keys": [("Example Antivirus", r"SOFTWARE\Example\Antivirus")]},
        registry={r"HKEY_LOCAL_MACHINE\SOFTWARE\Example\Antivirus": {"Version": "5.1", ";@AccessDenied": ""}},
        anchors=["インストールソフトウェア一覧にレジストリキーで検出したソフトウェアが存在しません。"],
        linux_only=SIMULATED_ONLY % "a registry key that cannot be read"),
    Row("unreadable-product-key", registry={r"HKEY_LOCAL_MACHINE\SOFTWARE\TAVO\TAVO Security\CurrentVersion\Info":
                                            {"ProductName": "TAVO Net Shield", ";@AccessDenied": ""}},
        anchors=["TAVO製品のインストール：インストールされていません。"],
        linux_only=SIMULATED_ONLY % "a registry key that cannot be read"),
    Row("security-center-fails", settings={"conflict_security_center": ["Example Antivirus"]},
        machine_files={"securitycenter.ini": "[AntiVirusProduct 0]\ndisplayName=Example Antivirus\n[Fail]\n"
                                             "AntiVirusProduct=1\nAntiSpywareProduct=1\nFirewallProduct=1\n"},
        anchors=["ウイルス対策製品の情報取得に失敗しました。", "ファイアウォール製品の情報取得に失敗しました。"],
        wine=dict(machine_files={}, why="Wine's WMI fails the Security Center's queries by itself")),
    Row("temp-folder-unwritable", arrange=lambda m: m.temp_folder_is_a_file(), log="absent", page=None, result=None,
        installed="TAVO Net Shield", check=lambda m, o: log_given_up(m),
        wine=dict(arrange=temp_is_a_file, args=["/quiet"], exit=WINE_UNRECORDED, installed="",
                  why=NO_EVENT_LOG + "; silent, since the driver answers pages by the log lines in the user's Temp")),
    Row("debug-log-locked", arrange=lambda m: m.debug_log_path().mkdir(), page=None, result=None, log="absent",
        installed="TAVO Net Shield", wine=dict(installed="", args=["/quiet"], exit=WINE_UNRECORDED, why=NO_EVENT_LOG +
                                               "; and the driver answers pages by their log lines: run silently")),
    Row("second-run-appends", servers=["dead"], page="error", result=3,
        arrange=lambda m: m.run(), check=lambda m, o: expect("runs in the log", o.log.count("プログラムを開始します。"), 2)),
    Row("latest-entry-missing-17", registry=installed_product("TAVO Net Shield", "9.0.2032.2"),
        serve={VER: NO_LATEST_TNS}, page="error", result=17, requests={CFG: 0},
        anchors=["既にTAVO製品がインストールされていますが、アップグレード不要です。"]),
    *[Row("usage-as-" + switch.strip("/-").lower(), args=[switch], page=None, result=None, requests={VER: 0},
          anchors=["コマンドラインの使い方を表示しました。"]) for switch in ("/h", "-Help")],
]
