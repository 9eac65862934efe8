"""Rows of runs that deployment tools start: silent runs (/quiet and its spellings), each with the exit code
the tools act on and, where it has one, a log equal to its interactive twin's apart from the screen lines;
/passive; unknown switches and /?; one launcher at a time; /log and /proxy; the log's first and last entries."""
import re
import threading

from checks import all_of, expect
from harness import BOUND, package, wait_for
from rows import (NO_EVENT_LOG, NOTICE, PKG, SIMULATED_ONLY, VER, WINE_UNRECORDED, Row, command_package,
                  failed_package, named, named_log, round_trip_check, silent, tns)
from rows_downloads import ROWS as DOWNLOADS
from rows_install import ROWS as INSTALL
from rows_selfupdate import ROWS as SELF_UPDATE
from rows_startup import ROWS as STARTUP

# The interactive rows that the silent ones rerun.
BASE = named(STARTUP, INSTALL, DOWNLOADS, SELF_UPDATE)
SILENT_PATH_SHOWN = "the Windows build's silent path is shown by dead-server-silent and its likes"

UNKNOWN = "以下のコマンドライン引数は不明です。"

RUNNING = "他のセットアップが実行中のため、終了します。"

def second_launcher(args):
    """A second launcher started while the first runs, as a tool that deploys twice: the server holds the
    first one's version file until the second has ended. Its outcome is m.second."""
    def arrange(m):
        done = m.work / "second-done"
        m.server.set_rules({VER: "hold-until=%s" % done})

        def release():  # when the second has given up (the Windows run waits for every launcher to end)
            wait_for("the second launcher", lambda: m.log().has(RUNNING), step=0.02)
            done.touch()

        def second():
            wait_for("the first launcher's request", lambda: [VER] in (r[1:2] for r in m.server.requests()), step=0.02)
            threading.Thread(target=release, daemon=True).start()
            m.second = m.run(m.expand(args))
        m.second_run = threading.Thread(target=second, daemon=True)
        m.second_run.start()
    return arrange

def second_ended_at_once(m, o):
    m.second_run.join(BOUND)
    return (expect("the second launcher's exit code", m.second.exit_code, 1618) and
            expect("its entry", m.log().count(RUNNING), 1) and
            expect("launchers started", m.log().count("プログラムを開始します。"), 2))

NO_LOG_IN_TEMP = lambda m, o: expect("a debug log in Temp", (m.temp / "TAVODebugLog.txt").exists(), False)  # noqa: E731

# What administrators look for: the log's first and last entries, the installers' own codes, /passive, every MSI log.
ADMIN_PROXY = "alice:s3cret@127.0.0.1:9"

def opens_and_ends_for_administrators(m, o):
    t = o.log.texts()[1:]  # after the earlier run's entry
    return (expect("the first entries", t[:2], lambda f: f[0] == "プログラムを開始します。" and
                   re.fullmatch(r"ランチャーのバージョン：\d+、プロセスID：\d+", f[1]))
            and expect("the command line entry", t[2], lambda c: c.startswith("コマンドライン：") and
                       c.endswith(" /quiet /proxy 127.0.0.1:9"))
            and expect("entries with the proxy's password", [x for x in t if "s3cret" in x], [])
            and expect("the last entry", t[-1], "ExitCode=30000"))

PASSIVE = ["パッシブモードで実行します。", "ダイアログを表示しました。", "ダイアログの初期化処理を実行します。（インストール画面）",
           "完了画面を閉じます。（パッシブモード）"]

ROWS = [
    # Silent runs: every result the matrix can produce, and a start-up failure. Under Wine one run of each path
    # (start-up, checks, download, install) shows that the Windows build opens no window and exits with the code;
    # the code of every other result is the portable mapping's, which the Linux runs show.
    *[silent(BASE[name], code, **({} if wine else dict(linux_only=SILENT_PATH_SHOWN))) for name, code, wine in [
        ("success", 3010, 1), ("success-package-type-0", 0, 1), ("dead-server", 30000, 1),
        ("dead-server-without-start-up", 30000, 0), ("config-404", 40000, 0), ("config-malformed", 50000, 0),
        ("package-404", 60000, 0), ("newer-launcher-404", 60000, 0), ("installer-fails-7", 71603, 1),
        ("installer-return-0-8-0", 80000, 1), ("installer-1601-8-1", 80001, 1), ("service-not-stopped-8", 80004, 1),
        ("service-not-deleted-8-5", 80005, 1), ("another-install-running-8", 1618, 1), ("wrong-digest-9", 90000, 1),
        ("conflict-registry-12", 120000, 1), ("other-edition-16", 160000, 0), ("unsupported-vista-21", 210000, 1),
        ("no-event-log-record-15", 150000, 0)]],
    silent(BASE["notices-confirmed"], 3010, anchors=["以下の通知情報を追加しました。", "お知らせを表示せずに確認済みとします。（サイレントモード）",
                                               "インストール処理を完了しました。"],
           wine=dict(anchors=["以下の通知情報を追加しました。", "プログラムの実行をキャンセルしました。"])),
    silent(BASE["security-center-leftover-13-continue"], 130000, twin="", page="error", result=13, installed="",
           anchors=["エラー番号:13"]),
    silent(BASE["settings-missing"], 10000, page=None),
    # The first launcher waits for the new one and exits with its code.
    silent(BASE["self-update-round-trip"], 3010, twin=None, replaced=False, check=round_trip_check,
           anchors=["ランチャーの再起動を行います。", "アップグレード元プロセスは本プロセスの終了を待ちます。",
                    "新しいインストーラーが終了しました。(終了コード：…"]),
    silent(BASE["restart-asked-3010"], 3010, twin=None, name="restart-asked-3010-package-type-0-silent",
           settings={"package_type": 0}, page="closed", anchors=["インストーラーが再起動を求めています。(終了コード：3010)"]),
    silent(BASE["success"], 3010, twin=None, name="command-package-3010-silent", packages=[command_package("/bin/true")],
           linux_only="", wine=dict(packages=[command_package("cmd /c exit 0")]), installed="",
           anchors=["以下のコマンドを実行します。", "インストール処理を完了しました。"], requests={"/packages/tool.dat": 1}),
    Row("installer-1618-silent", **failed_package(tns("ExitCode=1618", "LiveLog=0"), result=7), args=["/quiet"],
        exit=1618, wine=dict(packages=[command_package("cmd /c exit 1618")])),
    silent(BASE["latest-installed-17"], 0, anchors=["既にTAVO製品がインストールされていますが、アップグレード不要です。",
                                              "最新のTAVO製品がインストール済みのため、成功として終了します。（サイレントモード）"]),
    Row("no-package-applies-silent", packages=[package(product_type=2)], args=["/quiet"], exit=10001, requests={PKG: 0},
        anchors=["このコンピューターに適用するパッケージがないため、何もインストールしませんでした。"], installed=""),
    Row("unknown-switch-logged", servers=["dead"], args=["/bogus"], page="error", result=3,
        anchors=[UNKNOWN, "/bogus", "不明なコマンドライン引数を無視して続行します。"]),
    Row("unknown-switch-silent-1639", args=["/quiet", "/bogus"], page=None, result=None, exit=1639, requests={VER: 0},
        anchors=[UNKNOWN, "/bogus", "コマンドラインが不正なため、何もせずに終了します。（サイレントモード）"]),
    Row("usage", args=["/?"], page=None, result=None, requests={VER: 0}, anchors=["コマンドラインの使い方を表示しました。"],
        screen=["[使い方] Setup.exe [/quiet]", "/noupdate\tインストーラー自身の更新を行いません。"]),
    Row("usage-silent-1639", args=["/quiet", "/?"], page=None, result=None, exit=1639, requests={VER: 0}),
    # One launcher at a time.
    Row("second-silent-launcher-1618", args=["/quiet"], arrange=second_launcher(["/quiet"]),
        exit=3010, installed="TAVO Net Shield", check=second_ended_at_once),
    Row("launcher-already-running", arrange=lambda m: m.hold_object("TAVOSetupLauncher"), page=None, result=None,
        requests={VER: 0}, anchors=[RUNNING], screen=["セットアップは既に実行中です。"],
        linux_only=SIMULATED_ONLY % "a launcher object held beside the run"),
    Row("launcher-object-of-another-owner", servers=["dead"], page="error", result=3,
        arrange=lambda m: m.hold_object("TAVOSetupLauncher", owner="S-1-5-21-1-2-3-1001"),
        anchors=["ランチャーの実行中を示すオブジェクトの所有者が管理者ではないため、実行中のランチャーとはみなしません。"],
        linux_only=SIMULATED_ONLY % "an object of another owner"),
    # The self-update of a silent run.
    silent(BASE["new-launcher-ends-at-once-6"], 60000, twin=None),
    # Where the logs go, and the proxy.
    Row("log-named-by-the-administrator", args=["/quiet", "/log", "{work}/logs/sub dir/tavo.log"], log="fresh",
        arrange=named_log, exit=3010, installed="TAVO Net Shield",
        check=all_of(NO_LOG_IN_TEMP, lambda m, o: expect("the install log beside the named one",
                                                         (m.log_file.parent / "TAVOInstallLog.txt").is_file())),
        wine=dict(check=NO_LOG_IN_TEMP)),
    Row("proxy-named-by-the-administrator", servers=["http://tavo-download.invalid/"], args=["/quiet", "/proxy", "{server}"],
        page="error", result=3, exit=30000, anchors=["以下のプロキシサーバーを使用します。"],
        check=lambda m, o: expect("the requests through the proxy", o.paths(), lambda paths: any(re.fullmatch(
            r"http://tavo-download\.invalid(:80)?/SetupLauncherVer\.xml", p) for p in paths))),  # WinINet names the port
    Row("log-opens-with-version-and-command-line", servers=["dead"], args=["/quiet", "/proxy", ADMIN_PROXY],
        page="error", result=3, exit=30000, check=opens_and_ends_for_administrators),
    Row("installer-1641-passes-on-silent", packages=[package(content=tns("ExitCode=1641", "LiveLog=0"))],
        args=["/quiet"], exit=1641, linux_only=NO_EVENT_LOG,
        anchors=["インストーラーの終了コード：1641", "インストーラーが再起動を開始しました。(終了コード：1641)"]),
    Row("installer-code-without-record-silent", **failed_package(tns("ExitCode=1620", "EventLog=0", "LiveLog=0"),
        result=15), args=["/quiet"], exit=71620, anchors=["インストーラーの終了コード：1620", "プログラムの実行をキャンセルしました。"],
        wine=dict(exit=WINE_UNRECORDED, anchors=["インストーラーの終了コード：1627"])),
    Row("passive-shows-progress-asks-nothing", notices=[NOTICE], args=["/passive"], exit=3010, anchors=PASSIVE,
        installed="TAVO Net Shield", check=all_of(
            lambda m, o: expect("the notices confirmed", o.log.has("お知らせを表示せずに確認済みとします。（サイレントモード）")),
            lambda m, o: expect("the windows shown", o.windows, lambda w: "Setup" in w) if m.build == "windows" else
            expect("the progress on the screen", o.screen, lambda s: "インストーラーを起動しています" in s))),
]
