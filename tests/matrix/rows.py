"""The outcome matrix: one row per behaviour of a whole run.

A row arranges the machine, the server, the launcher's files and the keys,
and expects the page the run ends on (or the error box), the result, at most
four log anchors (in order), the requests the server saw and the files left
behind. Every row also checks that nothing is lost: the earlier run's log
entry is kept and the log stays whole, the launcher's own files are
untouched, and the earlier good copies seeded in the temporary folder
survive unless the row says otherwise.

Rows run on both builds unless `linux_only` says why Wine cannot show them.
"""
import dataclasses
import re
import threading
import time
from dataclasses import dataclass, field
from typing import Callable, Optional

from attacks import (hold_log_lock, lock_released, planted_dll_loaded, plant_loads_without_defence, plant_wininet,
                     self_update_signed, swap_after_check)
from checks import all_of, error_code, expect
from earlier_places import end_when_logged, in_work_folder
from pinned import pinned, recorded
import elevated
from harness import BOUND, DebugLog, installed_product, notice, package, sim_package, wait_for

# Machine facts of the operating systems the rows use: machine.ini for the
# simulated machine, the Windows version Wine reports to Setup.exe.
OS = {
    "win10": ({"Major": 10, "Minor": 0, "ProductType": 1, "Architecture": 9, "Wow64": 1}, "win10"),
    "vista": ({"Major": 6, "Minor": 0, "ProductType": 1, "Architecture": 9, "Wow64": 1}, "vista"),
    "xp": ({"Major": 5, "Minor": 1, "ProductType": 1, "Architecture": 0, "Wow64": 0}, "winxp"),
}

NO_EVENT_LOG = "Wine keeps no MsiInstaller records in an event log, so no installation can end in success there"
# The silent exit code of such a run under Wine: its msiexec ends the test package with 1627 and leaves no record.
WINE_UNRECORDED = 71627
SIMULATED_ONLY = "the simulated machine alone can arrange this (%s)"
WINE_15 = dict(page="error", result=15, installed="", why=NO_EVENT_LOG)


def on_wine(row):
    """What Wine shows of the row, by one rule: Wine keeps no MsiInstaller records, so a run that would end in
    success after a Windows Installer package ends as not executed (15), with nothing installed. The row's
    own wine= names its exceptions and what else differs there."""
    msi = any(p.get("exec_type", 1) == 1 for p in row.packages)
    succeeds = (row.page in ("done", "closed") and row.result == 1 and row.exit in (None, 0, 3010)
                or row.page is None and row.exit == 3010)
    rule = dict(WINE_15, page=row.page and "error", result=row.result and 15,
                exit=row.exit and WINE_UNRECORDED) if msi and succeeds else {}
    return dataclasses.replace(row, **{k: v for k, v in dict(rule, **row.wine).items() if k != "why"})

EARLIER = b'<?xml version="1.0"?><!-- a good copy from an earlier run --><Earlier/>\n'
SJIS = b"\x83\x45\x83\x43\x83\x8b\x83\x58"  # "ウイルス" in Shift_JIS


@dataclass
class Row:
    name: str
    # --- arrange
    os: str = "win10"
    registry: dict = field(default_factory=dict)
    machine_files: dict = field(default_factory=dict)  # simulated machine only
    packages: list = field(default_factory=lambda: [package()])
    version_file: Optional[dict] = field(default_factory=lambda: {"last_version": 2000000,
                                                                  "latest": {"TNS": "10.0.2032.10"}})
    server_notices: Optional[tuple] = None  # (version, [notice])
    server_settings: Optional[dict] = None  # a newer settings file on the server
    serve: dict = field(default_factory=dict)  # server path -> bytes -> bytes (None: no file)
    rules: dict = field(default_factory=dict)  # server path -> dlserver options
    servers: list = field(default_factory=lambda: ["own"])  # "own", "dead" or an address
    tls: str = ""  # a certificate of tls.CERTIFICATES: "own" is https:// behind a TLS front showing it
    settings: dict = field(default_factory=dict)
    settings_edit: Optional[Callable] = None  # bytes -> bytes (None: no file)
    notices: Optional[list] = None  # SetupNotification.xml beside the launcher
    notices_edit: Optional[Callable] = None
    launcher_files: dict = field(default_factory=dict)
    temp_files: dict = field(default_factory=dict)  # seeded in the temporary folder
    args: list = field(default_factory=list)
    keys: str = ""  # the Linux build's keys; the Windows driver accepts every page
    arrange: Optional[Callable] = None  # (machine) -> None
    # --- expect
    page: str = "done"  # done, error, closed (no completion page), box
    result: Optional[int] = 1
    box: Optional[int] = None  # the error box's ErrorNumber
    anchors: list = field(default_factory=list)  # log entries in this order; "…" ends a prefix
    absent: list = field(default_factory=list)  # log entries that must not be there
    requests: dict = field(default_factory=dict)  # server path -> count
    installed: Optional[str] = None  # the product in the registry afterwards ("" none)
    files: dict = field(default_factory=dict)  # temp file -> bytes kept, None absent, int size
    screen: list = field(default_factory=list)  # fragments of the last screen (Linux)
    log: str = "whole"  # or "absent", or "fresh" (whole, begun by this run)
    replaced: bool = False  # the first launcher is ended by the newer one it started
    exit: Optional[int] = None  # the exit code (a silent run); else 0, or killed when replaced (Linux)
    twin: Optional[str] = None  # keys of the interactive run whose log this one's equals, apart from screen lines
    check: Optional[Callable] = None  # (machine, outcome) -> True, or fails naming what it expected (checks.py)
    wine: dict = field(default_factory=dict)  # what Wine shows beyond on_wine()'s rule, and "why"
    linux_only: str = ""  # why Wine cannot show it
    windows_only: str = ""  # why the Linux build cannot show it
    golden: str = ""

    def __post_init__(self):
        assert len(self.anchors) <= 4, self.name + ": at most four anchors"


def remove(_):
    return None


def cut_half(data):
    return data[: len(data) // 2]


def replace(old, new):
    return lambda data: data.replace(old, new, 1)


def empty(_):
    return b""


def entity_bomb(root):
    def bomb(data):
        doctype = '<!DOCTYPE %s [\n<!ENTITY lol0 "lol">\n' % root
        for i in range(1, 10):
            doctype += '<!ENTITY lol%d "%s">\n' % (i, ("&lol%d;" % (i - 1)) * 10)
        doctype += "]>\n"
        tag = ("<%s>" % root).encode()
        return data.replace(tag, doctype.encode() + tag + b"<Bomb>&lol9;</Bomb>", 1)
    return bomb


def padded(text, size):
    """A package text padded with comment lines to the size."""
    out = text
    while len(out) + 64 < size:
        out += "# " + "x" * 60 + "\n"
    return out + "#" * (size - len(out) - 1) + "\n"


def grown(root, size):
    """The file grown past the readers' cap by a comment before its root element's end."""
    end = ("</%s>" % root).encode()
    return lambda data: data.replace(end, b"<!--" + b"x" * size + b"-->" + end, 1)


def plain_redirect(m):
    """The package's https:// address sends the launcher to the same file on the plain server."""
    (m.server.root / "plain").mkdir()
    (m.server.root / PLAIN_PKG.lstrip("/")).write_bytes((m.server.root / PKG.lstrip("/")).read_bytes())
    m.server.set_rules({PKG: "status=302 location=" + m.server.plain_url.rstrip("/") + PLAIN_PKG})


refused_with = error_code


def ranges_asked(*expected):
    """The package's requests asked for these ranges ("" for none), each but the first with If-Range."""
    def check(m, o):
        asked = [(r[5], r[6]) for r in o.requests if len(r) > 6 and r[1] == PKG]
        return expect("the ranges asked, each resumption with If-Range", asked,
                      lambda a: [r for r, _ in a] == list(expected) and all(bool(v) == bool(r) for r, v in a))
    return check


def tns(*lines):
    return sim_package("TAVO Net Shield", "10.0.2032.10", *lines)


GOOD = tns("ExitCode=0")
FAILING_ACTION = ["LiveLogLine=Action start 10:00:00: InstallServices.",
                  "LiveLogLine=MSI (s) Product: TAVO -- Error 1920. Service failed.",
                  "LiveLogLine=MSI (s) Note: 1: 2203 2: C:\\x.cab",
                  "LiveLogLine=Action ended 10:00:03: InstallServices. Return value 3."]
PKG = "/packages/tavo_tns.msi"
VER = "/SetupLauncherVer.xml"
CFG = "/DownloadConfig.xml"
PLAIN_PKG = "/plain/tavo_tns.msi"
NOTICE = notice("すべてのお客様へのお知らせ")

SETTINGS_FAILED = "設定ファイルの読み込みに失敗しました。"
NOTICES_FAILED = "通知データファイルの読み込みに失敗しました。"
VERSION_UNREADABLE = "インストールランチャーのバージョン取得に失敗しました。"
CONFIG_BROKEN = "設定ファイルの解析に失敗しました。"
DOWNLOAD_FAILED = "以下のプログラムのダウンロードに失敗しました。"
CERT_UNTRUSTED = "サーバー証明書が信頼されていないため、通信を中止しました。"
CERT_WRONG_NAME = "サーバー証明書の名前が接続先と一致しないため、通信を中止しました。"
TO_HTTP_REFUSED = "httpsからhttpへの転送を拒否しました。"


# A newer launcher and its settings on the server.
SIGNED_UPDATE = dict(version_file={"last_version": 2000001, "setup_exe": "Setup.exe", "settings": "SetupLauncherV2.xml"},
                     server_settings={"settings_version": 2})
UNSIGNED = "the Linux build carries no signatures and starts any newer launcher"
SIGNATURE_REFUSED = "ダウンロードしたランチャーは署名を確認できないため、起動しません。"
OTHER_SIGNER = "ダウンロードしたランチャーの署名者がこのランチャーと異なるため、起動しません。"


PINNED = "the release build: the Windows launcher with vendor keys made for the matrix"
PINNED_PKG = "/packages/a.exe"
PROGRAM_UNSIGNED = "以下のプログラムは署名を確認できないため、実行しません。"


def signed_package(file, **kw):
    """A package whose program the row's arrange serves; its hash is not checked ("0"), its signature is."""
    return package(file=file, hash="0", **kw)


def failed_package(text, **kw):
    """A run whose one package is the given simulated-installer text."""
    return dict(dict(packages=[package(content=text)], page="error", installed=""), **kw)


def settings_row(name, edit, box):
    return Row(name, settings_edit=edit, page="box", result=None, box=box, anchors=[SETTINGS_FAILED],
               requests={VER: 0})


def notices_row(name, edit):
    return Row(name, notices=[NOTICE], notices_edit=edit, anchors=[NOTICES_FAILED, "お知らせ画面をスキップします。"])


def version_row(name, edit):
    return Row(name, serve={VER: edit}, anchors=[VERSION_UNREADABLE, "更新ダイアログ処理を完了しました。"])


def config_row(name, edit, **kw):
    return Row(name, serve={CFG: edit}, page="error", result=5, anchors=[CONFIG_BROKEN], requests={PKG: 0},
               installed="", **kw)


def round_trip_check(machine, outcome):
    """The new launcher ended the first, took the first one's base values and the downloaded rest."""
    texts = outcome.log.texts()
    expect("launchers started", texts.count("プログラムを開始します。"), 2)
    second = len(texts) - 1 - texts[::-1].index("プログラムを開始します。")
    after = texts[second:]
    for entry, what in [("インストールランチャーのタイプ：KOTA", "base values from the first launcher's settings"),
                        ("インストールを行う製品バージョン：11.0", "the rest from the downloaded settings"),
                        ("新しいランチャーからのお知らせ", "the downloaded notices")]:
        expect("the new launcher's log holds %s (%r)" % (what, entry), entry in after)
    return True


VICTIM = b"a file of someone else's\n"
LINKS = SIMULATED_ONLY % "links planted by another process (Wine shows a Unix link as the file it names)"


def plant_link(name):
    """A link in the temporary folder, where the launcher writes a file, to a file outside it."""
    def arrange(m):
        (m.work / "victim").write_bytes(VICTIM)
        (m.temp / name).unlink(missing_ok=True)
        (m.temp / name).symlink_to(m.work / "victim")
    return arrange


def link_left_alone(m):
    """A link at the debug log's name is neither followed nor removed: the log goes on in the working folder."""
    plant_link("TAVODebugLog.txt")(m)
    m.debug_log_path = lambda: m.work_folder() / "TAVODebugLog.txt"


def links_not_followed(m, o):
    return (expect("the link's target", (m.work / "victim").read_bytes(), VICTIM) and
            expect("the link at the debug log's name left as it was", (m.temp / "TAVODebugLog.txt").is_symlink()))


def work_folder_log(m):
    return DebugLog.read(m.work_folder() / "TAVODebugLog.txt")


def log_given_up(m):
    """The debug log went on in the working folder, saying which file it gave up."""
    log = work_folder_log(m)
    return (expect("the working folder's debug log is whole", log.whole(), None) and
            expect("its first entry names the log given up", log.texts()[0], lambda t: t.startswith("デバッグログ ")) and
            expect("it goes on to the end", log.has("プログラムを終了します。")))


def outside(m):
    return m.temp.parent.parent / "outside"


def package_file_name(name):
    return replace(b"<PackageFileName>tavo_tns.msi<", b"<PackageFileName>" + name + b"<")


def evil_config(m):
    """The served download configuration with a package of the attacker's."""
    return (m.server.root / "DownloadConfig.xml").read_bytes().replace(b"tavo_tns.msi", b"evil.msi")


def temp_through_link(m):
    """TMP names a link to a folder, as a process of the user can arrange in HKCU\\Environment (a Linux
    directory link stands in for a junction under Wine)."""
    (m.work / "linked-temp").mkdir()
    (m.work / "temp-link").symlink_to(m.work / "linked-temp")
    if m.build == "linux":
        m.env["TMP"] = str(m.work / "temp-link")
    else:
        m.user_environment({"TMP": m.native(m.work / "temp-link")})


def temp_is_a_file(m):
    """TMP and TEMP name a file, as a process of the user can arrange in HKCU\\Environment."""
    (m.work / "not-a-folder").write_text("a file, not a folder\n")
    m.user_environment({name: m.native(m.work / "not-a-folder") for name in ("TMP", "TEMP")})


def runs_only_from_work_folder(m, o):
    """Every program run and every file named in a command lies in the system folder or the private working
    folder, which only administrators can open, and nothing the launcher uses was left in the user's Temp."""
    texts = o.log.texts() or work_folder_log(m).texts()
    commands = [texts[i + 1] for i, t in enumerate(texts[:-1]) if t in ("以下のインストールコマンドを実行します。", "以下のコマンドを実行します。")]
    paths = [p.replace("\\", "/").lower() for c in commands for p in re.findall(r'"([^"]+)"', c)]
    private = m.work_folder()
    # The settings file beside the first launcher, handed to a newer one, belongs to the launcher's own folder,
    # which is dealt with on its own.
    own = r"(/|z:)" + re.escape(str(m.launcher).lower().lstrip("/")) + "/setuplauncherv2.xml$"
    return (expect("commands run", len(commands), bool) and expect("paths outside the system and private folders", [
        p for p in paths if not re.search(r"/windows/(system32|sysnative|temp/tavosetup-[0-9a-f]{16})/|" + own, p)], [])
            and (m.build != "linux" or expect("the private folder's mode", oct(private.stat().st_mode & 0o777), "0o700"))
            and expect("packages and side files in the user's Temp",
                       [p.name for p in [*m.temp.glob("*.msi"), *m.temp.glob("*.part")]], []))


ROWS = [
    # --- every result a run can end with -------------------------------------------
    Row("success", anchors=["インストールスレッドを開始します。", "インストール処理を完了しました。",
                            "tguiScan.dllを置き換えました。"],
        requests={VER: 1, CFG: 2, PKG: 1}, installed="TAVO Net Shield", linux_only=NO_EVENT_LOG, golden="success",
        check=lambda m, o: expect("the user agents", {r[2] for r in o.requests}, {"KOTA Install Launcher"})),
    Row("success-package-type-0", settings={"package_type": 0}, page="closed", installed="TAVO Net Shield",
        absent=["完了画面に遷移します。"], linux_only=NO_EVENT_LOG),
    Row("notices-confirmed", wine=dict(anchors=[
        "以下の通知情報を追加しました。", "「確認」ボタンをクリックしました。", "プログラムの実行をキャンセルしました。"]), notices=[notice("【重要】TAVO Net Shield 10.0 をご利用のお客様へ_BR_Windows 10 での動作について"),
                                      notice("Windows 7 をご利用のお客様へ", cvalue=9)], keys="n",
        anchors=["以下の通知情報を追加しました。", "「確認」ボタンをクリックしました。", "インストール処理を完了しました。"],
        absent=["Windows 7 をご利用のお客様へ"]),
    Row("notices-newer-on-server", server_notices=(5, [notice("サーバーからの新しいお知らせ")]),
        notices=[notice("古いお知らせ")], keys="n", anchors=["通知ファイルを更新します。", "サーバーからの新しいお知らせ"],
        absent=["古いお知らせ"]),
    Row("local-install", settings={"install_type": 1}, servers=["dead"], packages=[],
        arrange=lambda m: m.local_installer("TNS/tns_nt64_jpn.exe", GOOD),
        anchors=["ローカルインストールを行います。", "プログラムの実行に成功しました。"],
        absent=["ネットワークインストールを実行します。"], installed="TAVO Net Shield", linux_only=NO_EVENT_LOG),
    Row("dead-server", servers=["dead"], temp_files={"SetupLauncherVer.xml": EARLIER}, page="error", result=3,
        anchors=["インストールランチャーバージョンファイルの取得に失敗しました。"],
        absent=["インストールスレッドを開始します。"]),
    Row("dead-server-without-start-up", servers=["dead"], args=["/N"], page="error", result=3,
        anchors=["ネットワーク接続確認を行います。", "接続確認に失敗しました。"],
        absent=["設定ファイルのダウンロードを行います。"]),
    Row("config-404", rules={CFG: "status=404"}, temp_files={"DownloadConfig.xml": EARLIER}, page="error",
        result=4, anchors=["設定ファイルのダウンロードに失敗しました。"]),
    Row("config-malformed", serve={CFG: lambda d: b"<DownloadConfig><PackageDownloadServerCount>1"}, page="error",
        result=5, anchors=[CONFIG_BROKEN], golden=""),
    Row("package-404", rules={PKG: "status=404"}, page="error", result=6, requests={PKG: 3}, installed="",
        anchors=[DOWNLOAD_FAILED + "(リトライ:0)", DOWNLOAD_FAILED + "(リトライ:2)"]),
    Row("newer-launcher-404", version_file={"last_version": 3000000}, rules={"/launcher/Setup.exe": "status=404"},
        page="error", result=6, requests={"/launcher/Setup.exe": 3}, anchors=["最新のインストーラーの取得に失敗しました。"],
        absent=["インストールスレッドを開始します。"]),
    Row("installer-fails-7", **failed_package(sim_package(
        "TAVO Net Shield", "10.0.2032.10", "ExitCode=1603", "LiveLogLine=Action start 10:00:00: InstallServices.",
        "LiveLogLine=MSI (s) Product: TAVO -- Error 1920. Service failed.",
        "LiveLogLine=Action ended 10:00:03: InstallServices. Return value 3."), result=7,
        anchors=["インストールの実行に失敗しました（戻り値エラー）。"], absent=["tguiScan.dllを置き換えました。"],
        screen=["1603"], linux_only=NO_EVENT_LOG, golden="failure-7")),
    Row("installer-fails-7-without-own-log", **failed_package(sim_package(
        "TAVO Net Shield", "10.0.2032.10", "ExitCode=1605", "LiveLog=0"), result=7, screen=["1605"],
        linux_only=NO_EVENT_LOG)),
    Row("service-not-stopped-8", **failed_package(sim_package(
        "TAVO Net Shield", "10.0.2032.10", "ExitCode=1603", "LiveLogService=stop"), result=8,
        linux_only=NO_EVENT_LOG)),
    Row("another-install-running-8", **failed_package(sim_package(
        "TAVO Net Shield", "10.0.2032.10", "ExitCode=1618"), result=8, linux_only=NO_EVENT_LOG)),
    Row("wrong-digest-9", packages=[package(hash="0123456789abcdef0123456789abcdef")], page="error", result=9,
        anchors=["ハッシュデータに誤りがあります。"], absent=["以下のインストールコマンドを実行します。"], installed=""),
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
    Row("no-event-log-record-15", **failed_package(sim_package(
        "TAVO Net Shield", "10.0.2032.10", "ExitCode=0", "EventLog=0"), result=15, installed=None,
        anchors=["プログラムの実行をキャンセルしました。"])),
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
    # --- how the installer's outcome is read (simulated installer, event log) ----------
    Row("installer-return-0-8-0", **failed_package(tns("ExitCode=1603", "LiveLogReturn=0"), result=8,
                                                   linux_only=NO_EVENT_LOG)),
    Row("installer-1601-8-1", **failed_package(tns("LiveLogReturn=1601", *FAILING_ACTION), result=8,
                                               screen=["1601 [1920]"], installed=None,
                                               linux_only=NO_EVENT_LOG)),
    Row("service-not-deleted-8-5", **failed_package(tns("ExitCode=1603", "LiveLogService=delete"), result=8,
                                                    linux_only=NO_EVENT_LOG)),
    Row("event-status-1603-7", **failed_package(tns("ExitCode=0", "EventStatus=1603", "LiveLog=0"), result=7, screen=["1603"],
                                                installed=None, linux_only=NO_EVENT_LOG)),
    Row("old-event-record-15", **failed_package(tns("ExitCode=0", "EventTimeOffset=-3600"), result=15,
                                                installed=None, linux_only=NO_EVENT_LOG)),
    Row("event-of-another-source-15", **failed_package(tns("ExitCode=0", "EventSource=Other Installer"), result=15,
                                                       installed=None, linux_only=NO_EVENT_LOG)),
    Row("event-of-another-product-15", **failed_package(tns("ExitCode=0", "EventProduct=TAVO Virus Guard"),
                                                        result=15, installed=None, linux_only=NO_EVENT_LOG)),
    Row("restart-asked-3010", packages=[package(content=tns("ExitCode=3010", "LiveLogReturn=3010"))],
        installed="TAVO Net Shield", linux_only=NO_EVENT_LOG),
    Row("error-skip-goes-on", packages=[package(file="a.msi", content=tns("ExitCode=1603"), error_skip=1),
                                        package(file="b.msi")], installed="TAVO Net Shield",
        linux_only=NO_EVENT_LOG),
    Row("failure-stops-the-rest", packages=[package(file="a.msi", content=tns("ExitCode=1603")),
                                            package(file="b.msi")], page="error", result=7,
        requests={"/packages/b.msi": 1}, installed="", linux_only=NO_EVENT_LOG),
    Row("three-packages-any-hash-case", packages=[
        package(file="a.dat", exec_type=3, hash="upper"), package(file="b.dat", exec_type=3, hash="split"),
        package(file="c.dat", exec_type=3, hash="0"), package()], installed="TAVO Net Shield"),
    Row("second-of-three-404", packages=[package(file="a.dat", exec_type=3), package(file="b.dat", exec_type=3),
                                         package(file="c.dat", exec_type=3)], rules={"/packages/b.dat": "status=404"},
        page="error", result=6, requests={"/packages/b.dat": 3}),
    Row("packages-for-other-machines-skipped", packages=[
        package(file="tvg.msi", product_type=2), package(file="manual.msi", is_manual=1), package()],
        requests={"/packages/tvg.msi": 0, "/packages/manual.msi": 0}, installed="TAVO Net Shield"),
    Row("served-scanner-library-replaces", packages=[package(file="tguiScan.dll", exec_type=3,
                                                             content="new library\n"), package()],
        check=lambda m, o: expect("the scanner library", m.product_file("tguiScan.dll"), "new library\n"),
        linux_only=NO_EVENT_LOG),
    Row("local-install-missing-installer", settings={"install_type": 1}, servers=["dead"], packages=[],
        page="error", result=7, requests={}),
    Row("local-install-fails-7", settings={"install_type": 1}, servers=["dead"], packages=[], page="error",
        result=7, arrange=lambda m: m.local_installer("TNS/tns_nt64_jpn.exe", tns("ExitCode=1603", "LiveLog=0")),
        screen=["1603"], linux_only=NO_EVENT_LOG),
    # --- the start-up worker ----------------------------------------------------------
    Row("newer-settings-only", version_file={"last_version": 2000000, "settings_version": 2,
                                             "settings": "SetupLauncherV2.xml", "latest": {"TNS": "10.0.2032.10"}},
        server_settings={"package_version": "11.0", "settings_version": 2},
        anchors=["インストールを行う製品バージョン：11.0"], absent=["ランチャーの再起動を行います。"]),
    Row("version-file-from-second-server", servers=["dead", "own"], anchors=["ランチャーを再起動しません。"]),
    Row("local-install-asks-no-server", settings={"install_type": 1}, packages=[], page="error", result=7,
        requests={VER: 0, CFG: 0}),
    # Other Windows versions that are not supported stand in the unit table of the machine checks.
    Row("unsupported-xp", os="xp", page="error", result=21, requests={VER: 0}),
    # --- the self-update round trip --------------------------------------------------
    Row("self-update-round-trip", version_file={"last_version": 2000001, "settings_version": 2,
                                                "setup_exe": "Setup.exe", "settings": "SetupLauncherV2.xml"},
        server_settings={"package_version": "11.0", "settings_version": 2, "provider": "NEWPROVIDER"},
        server_notices=(1, [notice("新しいランチャーからのお知らせ")]), keys="n", replaced=True,
        anchors=["ランチャーの再起動を行います。", "アップデートに成功しました。",
                                          "アップグレード元プロセスを終了させました。"],
        check=round_trip_check),
    # --- closing ----------------------------------------------------------------------
    Row("close-refused-during-install", keys="x\r", anchors=["インストールスレッドを開始します。", "閉じるボタンをクリックしました。",
                                                            "インストール処理を完了しました。"],
        installed="TAVO Net Shield", linux_only=NO_EVENT_LOG),
    Row("close-error-screen-asks", servers=["dead"], keys="xy", page="error", result=3,
        anchors=["エラー番号:3", "閉じるボタンをクリックしました。", "インストールウィザード処理を完了しました。"],
        linux_only="the driver answers the pages' own buttons only; the window tests of tests_ui answer this box"),
    # --- the network ------------------------------------------------------------------
    Row("first-server-refuses", servers=["dead", "own"], anchors=["接続確認に失敗しました。", "接続を確認しました。",
                                                                 "インストール処理を完了しました。"],
        wine=dict(anchors=["接続確認に失敗しました。", "接続を確認しました。", "インストール処理を行います。"])),
    Row("package-500", rules={PKG: "status=500"}, temp_files={"tavo_tns.msi": GOOD.encode()}, page="error", result=6,
        requests={PKG: 3}, installed=""),
    Row("version-file-500", rules={VER: "status=500"}, temp_files={"SetupLauncherVer.xml": EARLIER}, page="error",
        result=3),
    Row("version-file-stalls-past-timeout", rules={VER: "delay-ms=14000"},
        temp_files={"SetupLauncherVer.xml": EARLIER}, page="error", result=3,
        anchors=[DOWNLOAD_FAILED, "インストールランチャーバージョンファイルの取得に失敗しました。"],
        check=refused_with(DOWNLOAD_FAILED, 12002),  # timed out, not refused
        linux_only="Wine's WinINet ignores the receive timeout of URL requests"),
    Row("package-stalls-shorter-than-timeout", packages=[package(content=padded(GOOD, 20000))],
        rules={PKG: "stall-after=4096 stall-ms=1500"}, anchors=["ハッシュ解析処理を完了しました。"]),
    Row("package-truncated", packages=[package(content=padded(GOOD, 50000))],
        rules={PKG: "close-after=20000 ranges=0"}, temp_files={"tavo_tns.msi": GOOD.encode()}, page="error",
        result=6, files={"tavo_tns.msi.part": None}, installed="", absent=["ハッシュ解析処理を完了しました。"]),
    Row("config-truncated", rules={CFG: "close-after=200"}, temp_files={"DownloadConfig.xml": EARLIER},
        page="error", result=4, files={"DownloadConfig.xml.part": None}),
    Row("config-long-length-cut-short", rules={CFG: "announce=" + "0" * 70 + "99999"}, page="error", result=4,
        anchors=["設定ファイルのダウンロードに失敗しました。"]),
    Row("version-file-trickle-ends", rules={VER: "drip-bytes=1 drip-ms=6000"},
        temp_files={"SetupLauncherVer.xml": EARLIER}, page="error", result=3,
        anchors=[DOWNLOAD_FAILED, "インストールランチャーバージョンファイルの取得に失敗しました。"],
        check=refused_with(DOWNLOAD_FAILED, 12002)),  # as a timeout
    # --- HTTPS: the test root is trusted by the machine; anything else fails before a request is made -------
    Row("https-install", tls="good", requests={VER: 1, CFG: 2, PKG: 1}, installed="TAVO Net Shield",
        anchors=["接続を確認しました。", "インストール処理を完了しました。"],
        wine=dict(anchors=["接続を確認しました。", "インストール処理を行います。"])),
    Row("https-untrusted-certificate", tls="untrusted", temp_files={"SetupLauncherVer.xml": EARLIER}, page="error",
        result=3, requests={VER: 0}, anchors=[CERT_UNTRUSTED, "インストールランチャーバージョンファイルの取得に失敗しました。"],
        check=refused_with(CERT_UNTRUSTED, 12045)),
    Row("https-wrong-host-name", tls="wrong-host", temp_files={"SetupLauncherVer.xml": EARLIER}, page="error",
        result=3, requests={VER: 0}, anchors=[CERT_WRONG_NAME, "インストールランチャーバージョンファイルの取得に失敗しました。"],
        check=refused_with(CERT_WRONG_NAME, 12038)),
    Row("https-redirect-to-http-refused", tls="good", arrange=plain_redirect, page="error", result=6,
        requests={PLAIN_PKG: 0}, installed="", anchors=[TO_HTTP_REFUSED, DOWNLOAD_FAILED + "(リトライ:2)"],
        check=refused_with(TO_HTTP_REFUSED, 12040)),
    # --- resuming a broken package download ---------------------------------------------
    Row("package-cut-every-time-resumes", packages=[package(content=padded(GOOD, 50000))],
        rules={PKG: "close-after=20000"}, anchors=[DOWNLOAD_FAILED + "(リトライ:1)", "ハッシュ解析処理を完了しました。"],
        requests={PKG: 3}, installed="TAVO Net Shield", files={"tavo_tns.msi.part": None},
        check=ranges_asked("", "bytes=20000-", "bytes=40000-")),
    Row("package-resume-answered-whole", packages=[package(content=padded(GOOD, 50000))],
        rules={PKG: "close-after=20000 close-times=1 ranges=0"}, anchors=["ハッシュ解析処理を完了しました。"],
        requests={PKG: 2}, installed="TAVO Net Shield", check=ranges_asked("", "bytes=20000-")),
    Row("package-resume-file-changed", packages=[package(content=padded(GOOD, 50000))],
        rules={PKG: "close-after=20000 close-times=1 etag=changes if-range=ignore"},
        anchors=[DOWNLOAD_FAILED + "(リトライ:1)", "ハッシュ解析処理を完了しました。"], requests={PKG: 3},
        installed="TAVO Net Shield", check=ranges_asked("", "bytes=20000-", "")),
    Row("package-resumed-digest-wrong", packages=[package(content=padded(GOOD, 50000))],
        rules={PKG: "close-after=20000 close-times=1 corrupt-ranges=1"},  # fetched whole in the same attempt
        anchors=[DOWNLOAD_FAILED + "(リトライ:0)", "ハッシュ解析処理を完了しました。"], absent=[DOWNLOAD_FAILED + "(リトライ:1)"],
        requests={PKG: 3},
        installed="TAVO Net Shield", check=ranges_asked("", "bytes=20000-", "")),
    Row("package-slow-drip", packages=[package(content=padded(GOOD, 200 * 1024))],
        rules={PKG: "drip-bytes=4096 drip-ms=5"}, screen=["(100KB/200KB)", "(200KB/200KB)"],
        linux_only=NO_EVENT_LOG),
    Row("package-one-gibibyte", packages=[package(), package(file="tavo_big.dat", name="data", exec_type=3,
                                                             size=1 << 30)],
        screen=["(1048500KB/1048576KB)"], files={"tavo_big.dat": 1 << 30}, linux_only=NO_EVENT_LOG),
    # --- the settings beside the launcher ---------------------------------------------
    settings_row("settings-missing", remove, 2),
    settings_row("settings-empty", empty, 13),
    settings_row("settings-malformed", cut_half, 13),
    settings_row("settings-wrongly-encoded", replace(b"<ProviderType>KOTA", b"<ProviderType>" + SJIS), 13),
    settings_row("settings-entity-bomb", entity_bomb("LaunchData"), 13),
    settings_row("settings-too-large", grown("LaunchData", 9 << 20), 13),
    Row("settings-far-off-index", settings_edit=replace(b"<ConflictSoftwareCount>0</ConflictSoftwareCount>",
                                                        b"<ConflictSoftwareCount>-1</ConflictSoftwareCount>"
                                                        b"<ConflictSoftwareName99999999999>x</ConflictSoftwareName99999999999>"
                                                        b"<ConflictSoftwareName4294967295>Example AV</ConflictSoftwareName4294967295>"),
        anchors=["競合製品を確認します。", "インストール処理を完了しました。"],
        wine=dict(anchors=["競合製品を確認します。", "インストールスレッドを開始します。"])),
    Row("settings-absurd-counts", settings_edit=lambda d: d.replace(
        b"<DownloadServerCount>1<", b"<DownloadServerCount>2147483647<").replace(
        b"<ConfrictDataCount>0<", b"<ConfrictDataCount>-1<").replace(
        b"<ConflictSoftwareCount>0<", b"<ConflictSoftwareCount>4294967295<").replace(
        b"<ConflictSecurityCenterCount>0<", b"<ConflictSecurityCenterCount>99999999999999999999<"),
        anchors=["競合製品を確認します。", "インストール処理を完了しました。"],
        wine=dict(anchors=["競合製品を確認します。", "インストールスレッドを開始します。"])),
    # --- the version file on the server ----------------------------------------------
    Row("version-file-404", rules={VER: "status=404"}, page="error", result=3),
    version_row("version-file-empty", empty),
    version_row("version-file-malformed", cut_half),
    version_row("version-file-wrongly-encoded", replace(b"<SetupLauncherVerData>", b"<SetupLauncherVerData>" + SJIS)),
    version_row("version-file-entity-bomb", entity_bomb("SetupLauncherVer")),
    Row("version-file-absurd-last-version", serve={VER: replace(b"<LastVersion>2000000<", b"<LastVersion>-1<")},
        page="error", result=6, anchors=["ランチャーをバージョンアップします。", "最新のインストーラーの取得に失敗しました。"]),
    # --- the notices --------------------------------------------------------------------
    notices_row("notices-missing", remove),
    notices_row("notices-empty", empty),
    notices_row("notices-malformed", cut_half),
    notices_row("notices-wrongly-encoded", replace(b"<NFDTitle>", b"<NFDTitle>" + SJIS)),
    notices_row("notices-entity-bomb", entity_bomb("NotificationDataSet")),
    Row("notices-absurd-count", notices=[NOTICE], keys="n", notices_edit=replace(
        b"<NotificationDataValueCount>1<", b"<NotificationDataValueCount>2147483647<"),
        anchors=["以下の通知情報を追加しました。", NOTICE["title"], "「確認」ボタンをクリックしました。"]),
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
    # --- the download configuration -------------------------------------------------
    config_row("config-empty", empty),
    config_row("config-cut-in-half", cut_half),
    config_row("config-wrongly-encoded", replace(b"<PackageName>TAVO Net Shield", b"<PackageName>" + SJIS)),
    config_row("config-entity-bomb", entity_bomb("DownloadConfig")),
    config_row("config-too-large", grown("DownloadConfig", 9 << 20)),
    Row("config-too-many-names", serve={CFG: replace(b"</DownloadConfig>", b"".join(
        b"<N%d/>" % i for i in range(150000)) + b"</DownloadConfig>")}, page="error", result=5,
        anchors=[CONFIG_BROKEN], requests={PKG: 0}, installed="",
        linux_only="the limit guards libxml2's dictionary, which slows down past it; MSXML reads such a file"),
    config_row("config-absurd-count", replace(b"<PackageDownloadServerCount>1<",
                                              b"<PackageDownloadServerCount>2147483647<")),
    config_row("config-negative-count", replace(b"<PackageDownloadServerCount>1<", b"<PackageDownloadServerCount>-1<")),
    Row("config-without-packages", serve={CFG: replace(b"<PackageDownloadServerCount>1<",
                                                       b"<PackageDownloadServerCount>0<")},
        anchors=["パッケージのダウンロードに成功しました。"], requests={PKG: 0}, installed="",
        wine=dict(page="done", result=1, why="no package is served, so none ends as not executed")),
    # --- the machine ------------------------------------------------------------------
    Row("unreadable-conflict-key", settings={"conflict_keys": [("Example Antivirus", r"SOFTWARE\Example\Antivirus")]},
        registry={r"HKEY_LOCAL_MACHINE\SOFTWARE\Example\Antivirus": {"Version": "5.1", ";@AccessDenied": ""}},
        anchors=["インストールソフトウェア一覧にレジストリキーで検出したソフトウェアが存在しません。"],
        linux_only=SIMULATED_ONLY % "a registry key that cannot be read"),
    Row("unreadable-product-key", registry={r"HKEY_LOCAL_MACHINE\SOFTWARE\TAVO\TAVO Security\CurrentVersion\Info":
                                            {"ProductName": "TAVO Net Shield", ";@AccessDenied": ""}},
        anchors=["TAVO製品のインストール：インストールされていません。"],
        linux_only=SIMULATED_ONLY % "a registry key that cannot be read"),
    Row("event-log-cannot-be-opened", arrange=lambda m: m.machine_folder_instead_of("eventlog.tsv"), page="error",
        result=15, anchors=["プログラムの実行をキャンセルしました。"], linux_only=SIMULATED_ONLY % "a broken event log"),
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
    # --- the elevated launcher: nothing it loads, verifies or runs can be replaced ---------------
    Row("planted-wininet-never-loads", arrange=plant_wininet, page="error", result=15,
        check=lambda m, o: expect("plants loaded", planted_dll_loaded(m), []) and
        expect("the plant loads into a program without the defence", plant_loads_without_defence(m)),
        windows_only="the Linux build loads no DLLs"),
    Row("package-swapped-after-check", packages=[package(file="a.msi"), package(file="b.msi")],
        page="error", result=7, installed="",
        arrange=swap_after_check("a.msi", sim_package("TAVO Virus Guard", "10.0.2032.10", "ExitCode=0").encode(),
                                 "/packages/b.msi"),
        anchors=["ハッシュ解析処理を完了しました。", "以下のパッケージは確認の後に変更されたため、実行しません。"]),
    Row("self-update-signed-by-the-same-key", **SIGNED_UPDATE, arrange=self_update_signed("vendor"),
        replaced=True, page="error", result=15, windows_only=UNSIGNED,
        anchors=["ダウンロードしたランチャーの署名を確認しました。", "アップグレード元プロセスを終了させました。"]),
    *[Row("self-update-" + name, **SIGNED_UPDATE, arrange=self_update_signed(served), page="error",
          result=6, windows_only=UNSIGNED, absent=["ランチャーの再起動を行います。"],
          anchors=[refused, "最新のインストーラーの取得に失敗しました。"],
          check=refused_with(refused, code))
      for name, served, refused, code in [
          ("signed-by-another-key", "other", OTHER_SIGNER, None),
          ("signed-by-another-key-under-the-vendors-name", "impostor", OTHER_SIGNER, None),
          ("signed-then-changed", "changed", SIGNATURE_REFUSED, -2146869232),  # TRUST_E_BAD_DIGEST
          ("unsigned", None, SIGNATURE_REFUSED, -2146762496)]],  # TRUST_E_NOSIGNATURE
    # --- a release build runs only what a vendor key it carries signed -------------------------------
    Row("pinned-second-vendor-key-runs-a-newer-launcher-and-packages", **SIGNED_UPDATE, replaced=True,
        packages=[signed_package("a.exe", error_skip=1), signed_package("b.exe")],
        arrange=pinned(packages=[("/packages/a.exe", "next"), ("/packages/b.exe", "vendor")], launcher=("next", 3)),
        page="error", result=15, windows_only=PINNED,
        anchors=["ダウンロードしたランチャーの署名を確認しました。", "アップグレード元プロセスを終了させました。",
                 "以下のプログラムの署名を確認しました。", "以下のインストールコマンドを実行します。"],
        absent=["インストールの実行に失敗しました。"],  # each checked after its download and right before its start:
        check=lambda m, o: expect("signatures accepted", o.log.count("以下のプログラムの署名を確認しました。"), 4)),
    Row("pinned-older-vendor-launcher-refused", **SIGNED_UPDATE, arrange=pinned(launcher=("vendor", 1)),
        page="error", result=6, windows_only=PINNED, absent=["ランチャーの再起動を行います。"],
        anchors=["ダウンロードしたランチャーは実行中のランチャーより新しいバージョンではないため、起動しません。",
                 "最新のインストーラーの取得に失敗しました。"]),
    *[Row("pinned-package-" + name, packages=[signed_package("a.exe")], arrange=pinned(packages=[(PINNED_PKG, signer)]),
          page="error", result=9, absent=["以下のインストールコマンドを実行します。"],
          anchors=[refused, "ファイルのダウンロードに失敗しました。"],
          check=refused_with(refused, code))
      for name, signer, refused, code in [
          ("signed-by-another-key", "other", "以下のプログラムは信頼する発行元の鍵で署名されていないため、実行しません。", None),
          ("signed-then-changed", "changed", PROGRAM_UNSIGNED, -2146869232),  # TRUST_E_BAD_DIGEST
          # The settings beside the launcher name the server: whatever server they name, nothing unsigned runs.
          ("unsigned-from-the-server-named-beside-the-launcher", None, PROGRAM_UNSIGNED, -2146762496)]],
    Row("pinned-local-installer-unsigned-refused", settings={"install_type": 1}, servers=["dead"], packages=[],
        arrange=pinned(local=("TNS/tns_nt64_jpn.exe", None)), page="error", result=9,
        anchors=["ローカルインストールを行います。", PROGRAM_UNSIGNED], absent=["プログラムの実行に成功しました。"]),
    # A command may start a signed package of the run, by its full path, and nothing else.
    Row("pinned-command-starting-a-system-program-refused",
        packages=[signed_package("a.exe", exec_type=2, error_skip=1,
                                 exec_command=r'"C:\windows\system32\cmd.exe" /c exit 0'),
                  # It runs: its exit code, 0, is not the one of success here, 3 (Wine's driver ends on
                  # error pages without a detail).
                  signed_package("b.exe", exec_type=2, save_file_path="*USERTEMP*b.exe", exec_success_code=3,
                                 exec_command='"*USERTEMP*b.exe" 0')],
        arrange=pinned(packages=[(PINNED_PKG, "vendor"), ("/packages/b.exe", "next")]),
        page="error", result=7,
        anchors=["以下のコマンドは、このインストールで確認したプログラムを起動しないため、実行しません。",
                 "以下のプログラムの署名を確認しました。", "プログラムの実行に失敗しました（エラー値）。"]),
    # --- nobody rides the elevated launcher: planted links and files, notice links, package names -----
    Row("link-planted-at-debug-log", log="fresh", arrange=link_left_alone, check=links_not_followed,
        servers=["dead"], page="error", result=3, linux_only=LINKS),
    Row("link-planted-at-config-part", arrange=plant_link("DownloadConfig.xml.part"),
        check=lambda m, o: expect("the link's target", (m.work / "victim").read_bytes(), VICTIM),
        installed="TAVO Net Shield", linux_only=LINKS),
    Row("planted-scanner-library-left-alone", temp_files={"tguiScan.dll": b"planted\n"},
        anchors=["DLLファイルが存在しないため、ファイルのコピーを実行しません。"],
        check=lambda m, o: expect("the scanner library", m.product_file("tguiScan.dll"), lambda f: f != "planted\n"),
        linux_only=NO_EVENT_LOG),
    # Each refused address shows the box of an address that cannot be opened; Enter answers it.
    Row("notice-links-only-to-the-web", keys="\x1b[Z\r\rj\r\rj\rn", notices=[
        notice("プログラムへのリンク", url=r"C:\Windows\System32\cmd.exe"), notice("共有フォルダーへのリンク", url=r"\\host\share\x.exe"),
        notice("ホームページ", url="HTTPS://www.tavo-security.jp/")],
        anchors=["Webページのアドレスではないため開きません。", r"C:\Windows\System32\cmd.exe",
                 "ブラウザーの起動に失敗しました。…", r"\\host\share\x.exe"],
        check=lambda m, o: expect("the addresses opened", m.shell_log(), ["HTTPS://www.tavo-security.jp/"]),
        linux_only=SIMULATED_ONLY % "the shell's record of opened addresses"),
    config_row("package-name-climbs-out", package_file_name(b"../../outside/evil.exe"),
               arrange=lambda m: outside(m).mkdir(exist_ok=True), check=lambda m, o: expect("files outside", list(outside(m).iterdir()), [])),
    config_row("package-name-with-a-quote", package_file_name(b'tavo" EVIL="1.msi')),
    config_row("package-name-is-a-device", package_file_name(b"nul.msi")),
    Row("package-path-with-a-quote", packages=[package(save_file_path='*USERTEMP*tavo" EVIL="1 .msi')],
        installed="TAVO Net Shield", linux_only=NO_EVENT_LOG + "; and Windows names hold no quote"),
]


def deep(root, depth):
    """The file with elements nested depth deep inside its root element."""
    end = ("</%s>" % root).encode()
    return lambda data: data.replace(end, b"<d>" * depth + b"</d>" * depth + end, 1)


def stopped_at_the_cap(path):
    """The launcher kept less than half of the file, and (where the system does not read the rest of an answer
    it closes) the server sent less than half of it: the launcher stopped receiving."""
    def check(m, o):
        kept = m.work_folder() / path.lstrip("/")
        return (expect("bytes kept of " + path, kept.stat().st_size if kept.is_file() else None,
                       lambda size: size is not None and size < HUGE // 2) and
                (m.build != "linux" or expect("bytes sent for " + path, m.server.sent(path), lambda sent: sent < HUGE // 2)))
    return check


HUGE = 64 << 20  # far past the XML cap, so that what the launcher stopped receiving shows in the bytes sent
ROWS += [
    # The readers' caps: nesting, and downloads that stop receiving at the size cap.
    config_row("config-nested-too-deep", deep("DownloadConfig", 300)),
    Row("config-nested-within-the-cap", serve={CFG: deep("DownloadConfig", 200)}, anchors=["設定ファイルの解析に成功しました。"],
        installed="TAVO Net Shield"),
    config_row("config-download-stops-at-the-cap", grown("DownloadConfig", HUGE), check=stopped_at_the_cap(CFG)),
    Row("version-file-download-stops-at-the-cap", serve={VER: grown("SetupLauncherVer", HUGE)},
        anchors=[VERSION_UNREADABLE, "更新ダイアログ処理を完了しました。"], check=stopped_at_the_cap(VER),
        installed="TAVO Net Shield"),
    Row("notices-download-stops-at-the-cap", server_notices=(9, [notice("サーバーのお知らせ")]),
        serve={"/SetupNotification.xml": grown("NotificationDataSet", HUGE)},
        anchors=["通知ファイルを更新します。", NOTICES_FAILED], check=stopped_at_the_cap("/SetupNotification.xml"),
        installed="TAVO Net Shield"),
    # A resumed download whose first answer had only a date for its validator.
    Row("package-resume-by-date", packages=[package(content=padded(GOOD, 50000))],
        rules={PKG: "close-after=20000 close-times=1 etag=none"}, anchors=["ハッシュ解析処理を完了しました。"],
        requests={PKG: 2}, installed="TAVO Net Shield",
        check=all_of(ranges_asked("", "bytes=20000-"),
                     lambda m, o: expect("the last If-Range", o.requests[-1][6], lambda v: v.endswith(" GMT")))),
    # A running launcher changed after it was signed cannot vouch for a newer one.
    Row("self-update-own-signature-unreadable", **SIGNED_UPDATE, arrange=self_update_signed("vendor", own_changed=True),
        page="error", result=6, windows_only=UNSIGNED, absent=["ランチャーの再起動を行います。"],
        anchors=["このランチャーの署名を確認できないため、ダウンロードしたランチャーを起動しません。", "最新のインストーラーの取得に失敗しました。"]),
]

# --- fidelity mends, the self-update hand-over and silent runs --------------------


def by_name(name):
    return next(r for r in ROWS if r.name == name)


SILENT = "-silent"


def silent(base, code, twin="row", wine=None, **changes):
    """A row run silently: no keys, no window, no screen, the exit code. Its log is that of the
    interactive run with the twin's keys (the row's own by default) apart from the screen lines."""
    row = by_name(base)
    return dataclasses.replace(row, **dict(dict(
        name=base + SILENT, args=[*row.args, "/quiet"], keys="", exit=code, screen=[], golden="", box=None,
        check=None, twin=row.keys if twin == "row" else twin, wine=dict(row.wine, **(wine or {}))), **changes))


# An earlier failed installation's own log, older by its name, that says the service could not be stopped.
EARLIER_LOG = {"tavo/liveinstaller_20200101000000.log": (
    "\ufeffサービス 'TAVO Service' (tvkr) を停止できませんでした。システム サービスを停止する特権を持っていることを確認してください。"
    "\r\nMainEngineThread is returning 1603\r\n").encode("utf-16-le")}


def temp_folder_with_blank(m):
    """The temporary folder gets a blank in its name; a program planted at the part before the blank
    would run in place of the new launcher if its path were not quoted."""
    m.temp.rename(m.folder / "Temp Folder")
    m.temp = m.folder / "Temp Folder"
    m.write_machine_file("Temp", "#!/bin/sh\necho planted > '%s'\n" % (m.work / "planted-ran"))
    (m.folder / "Temp").chmod(0o755)
    m.write_machine_file("machine.ini", (m.folder / "machine.ini").read_text() + "[Folders]\nTemp=Temp Folder/\n")


SELF_UPDATE = by_name("self-update-round-trip")
NEW_LAUNCHER_ENDED = "新しいインストーラーが処理を引き継ぐ前に終了しました。(終了コード：…"
NO_LATEST_TNS = lambda d: re.sub(rb"<TNSLatestVersion>[^<]*</TNSLatestVersion>", b"", d)  # noqa: E731

ROWS += [
    Row("latest-entry-missing-17", registry=installed_product("TAVO Net Shield", "9.0.2032.2"),
        serve={VER: NO_LATEST_TNS}, page="error", result=17, requests={CFG: 0},
        anchors=["既にTAVO製品がインストールされていますが、アップグレード不要です。"]),
    Row("earlier-installer-log-not-read-7", temp_files=EARLIER_LOG, **failed_package(tns("ExitCode=1603"), result=7,
        screen=["1603"], absent=["tguiScan.dllを置き換えました。"], linux_only=NO_EVENT_LOG),
        check=lambda m, o: expect("the last screen", o.screen[o.screen.rfind("-" * 60):], lambda s: "サービスの停止" not in s)),
    Row("new-launcher-ends-at-once-6", version_file=SELF_UPDATE.version_file, server_settings=SELF_UPDATE.server_settings,
        arrange=lambda m: (m.server.root / "launcher" / "Setup.exe").write_bytes(m.program_that_ends_at_once()),
        page="error", result=6, anchors=["ランチャーの再起動を行います。", NEW_LAUNCHER_ENDED,
                                         "エラー画面に遷移します(最新のインストーラーの取得に失敗)。"]),
    dataclasses.replace(SELF_UPDATE, name="self-update-temp-folder-with-blank", arrange=temp_folder_with_blank,
                        linux_only=SIMULATED_ONLY % "a temporary folder of another name",
                        check=lambda m, o: round_trip_check(m, o) and expect("the plant ran", (m.work / "planted-ran").exists(), False)),
    Row("bundle-named-setup-not-ended", servers=["dead"], page="error", result=3, screen=["bundle:0"],
        arrange=lambda m: m.use_bundle(), absent=["アップグレード元プロセスを終了させました。"],
        linux_only="the bundle here is the system shell under the launcher's name"),
    # Silent runs: every result the matrix can produce, and a start-up failure.
    *[silent(name, code) for name, code in [
        ("success", 3010), ("success-package-type-0", 0), ("dead-server", 30000), ("dead-server-without-start-up", 30000),
        ("config-404", 40000), ("config-malformed", 50000), ("package-404", 60000), ("newer-launcher-404", 60000),
        ("installer-fails-7", 71603), ("installer-return-0-8-0", 80000), ("installer-1601-8-1", 80001),
        ("service-not-stopped-8", 80004), ("service-not-deleted-8-5", 80005), ("another-install-running-8", 1618),
        ("wrong-digest-9", 90000), ("conflict-registry-12", 120000), ("other-edition-16", 160000),
        ("unsupported-vista-21", 210000)]],
    silent("no-event-log-record-15", 150000, wine=dict(exit=WINE_UNRECORDED)),
    silent("notices-confirmed", 3010, anchors=["以下の通知情報を追加しました。", "お知らせを表示せずに確認済みとします。（サイレントモード）",
                                               "インストール処理を完了しました。"],
           wine=dict(anchors=["以下の通知情報を追加しました。", "プログラムの実行をキャンセルしました。"])),
    silent("security-center-leftover-13-continue", 130000, twin="", page="error", result=13, installed="",
           anchors=["エラー番号:13"]),
    silent("settings-missing", 10000, page=None),
    # The first launcher waits for the new one and exits with its code.
    silent("self-update-round-trip", 3010, twin=None, replaced=False, check=round_trip_check,
           anchors=["ランチャーの再起動を行います。", "アップグレード元プロセスは本プロセスの終了を待ちます。",
                    "新しいインストーラーが終了しました。(終了コード：…"]),
    # --- the private working folder: nothing planted or swapped in the user's Temp changes what runs ----
    Row("download-config-swapped-in-user-temp", check=runs_only_from_work_folder, installed="TAVO Net Shield",
        arrange=swap_after_check("DownloadConfig.xml", evil_config, "設定ファイルの解析を行います。", where="temp"),
        requests={"/packages/evil.msi": 0, PKG: 1}),
    # Silent, so that no page waits for an answer that the Windows driver would take from the log.
    Row("temp-points-at-a-folder-link", arrange=temp_through_link, log="absent", page=None, result=None,
        args=["/quiet"], exit=3010,
        installed="TAVO Net Shield",
        check=lambda m, o: runs_only_from_work_folder(m, o) and log_given_up(m) and
        expect("files in the linked folder", list((m.work / "linked-temp").iterdir()), [])),
    # A lock on the debug log costs the launcher a second, once: the log goes on in the private folder.
    Row("debug-log-locked-by-another-process", arrange=hold_log_lock, args=["/quiet"], exit=WINE_UNRECORDED, page=None,
        result=None, check=lambda m, o: lock_released(m) and log_given_up(m),
        windows_only="the simulated machine knows no byte-range locks"),
    # The newer launcher runs from the private folder and works on in it (Wine keeps no access lists of files, so
    # there it cannot tell the folder for its own and takes a new one).
    dataclasses.replace(SELF_UPDATE, name="self-update-works-in-the-private-folder", check=lambda m, o: (
        round_trip_check(m, o) and runs_only_from_work_folder(m, o) and
        (m.build != "linux" or expect("working folders", len(m.work_folders()), 1)))),
]

# --- downloads against hostile answers: every byte accounted for, every wait bounded ----------
BIG = padded(GOOD, 50000)
VERSION_FAILED = "インストールランチャーバージョンファイルの取得に失敗しました。"


def hostile(name, rule, ranges, **kw):
    """A package without a digest ("0"), cut once at 20000 bytes; the answer to its resumption is hostile,
    so the attempt fails and the next one fetches the served file whole."""
    return Row(name, packages=[package(content=BIG, hash="0")], rules={PKG: "close-after=20000 close-times=1 " + rule},
               anchors=[DOWNLOAD_FAILED + "(リトライ:1)", "ハッシュを確認しません。"], requests={PKG: len(ranges)},
               files={"tavo_tns.msi": BIG.encode()}, check=ranges_asked(*ranges), installed="TAVO Net Shield", **kw)


timed_out = refused_with(DOWNLOAD_FAILED, 12002)


ROWS += [
    Row("package-206-to-a-plain-request", packages=[package(content=BIG, hash="0")], rules={PKG: "always-206=100"},
        page="error", result=6, requests={PKG: 3}, installed="", files={"tavo_tns.msi.part": None}),
    hostile("package-206-shorter-than-its-range", "short-206=10", ["", "bytes=20000-", ""]),
    hostile("package-206-without-validator", "bare-206=1 corrupt-ranges=1", ["", "bytes=20000-", ""]),
    hostile("package-206-longer-than-its-range", "long-206=13", ["", "bytes=20000-", ""]),
    Row("package-weak-etag-never-resumed-by-date", packages=[package(content=BIG, hash="0")],
        rules={PKG: "close-after=20000 close-times=1 etag=weak"}, requests={PKG: 2}, check=ranges_asked("", ""),
        files={"tavo_tns.msi": BIG.encode()}, installed="TAVO Net Shield"),
    Row("package-without-length-cut", packages=[package(content=BIG, hash="0")],
        rules={PKG: "no-length=1 close-after=20000"}, page="error", result=6, requests={PKG: 3}, installed="",
        files={"tavo_tns.msi.part": None}),
    Row("package-resumed-then-whole-digest-wrong-9", packages=[package(content=BIG, hash="0123456789abcdef0123456789abcdef")],
        rules={PKG: "close-after=20000 close-times=2"}, page="error", result=9, requests={PKG: 4}, installed="",
        anchors=[DOWNLOAD_FAILED + "(リトライ:1)", "ダウンロードしたファイルのハッシュ値", "ハッシュデータに誤りがあります。"],
        check=ranges_asked("", "bytes=20000-", "bytes=40000-", "")),
    Row("every-request-from-the-origin", installed="TAVO Net Shield",
        check=lambda m, o: expect("the Pragma headers", {r[4] for r in o.requests}, {"no-cache"})),
    Row("version-file-slow-body-ends-at-deadline", serve={VER: grown("SetupLauncherVer", 40000)},
        rules={VER: "drip-bytes=70 drip-ms=100"}, temp_files={"SetupLauncherVer.xml": EARLIER}, page="error",
        result=3, anchors=[DOWNLOAD_FAILED, VERSION_FAILED], check=timed_out),
    Row("version-file-head-trickled-ends", rules={VER: "head-drip-ms=500"}, temp_files={"SetupLauncherVer.xml": EARLIER},
        page="error", result=3, anchors=[DOWNLOAD_FAILED, VERSION_FAILED], check=timed_out),
    Row("config-407-named-as-proxy-login", rules={CFG: "status=407"}, page="error", result=4,
        anchors=["サーバーの応答：HTTP 407（プロキシの認証が必要です）", "設定ファイルのダウンロードに失敗しました。"]),
    Row("package-names-checked-only-where-they-apply", packages=[
        package(file="tavo..x64.msi"), package(file="other.msi.", name="other", product_type=2)],
        anchors=["ハッシュ解析処理を完了しました。", "以下のパッケージは、条件に一致しないためダウンロードされません。"],
        installed="TAVO Net Shield"),
    Row("two-packages-saved-to-one-path", packages=[
        package(file="a.msi", save_file_path="*USERTEMP*same.msi"),
        package(file="b.msi", save_file_path="*USERTEMP*same.msi", exec_type=3, content=GOOD + "# the second\n")],
        anchors=["ハッシュ解析処理を完了しました。", "ハッシュ解析処理を完了しました。"], installed="TAVO Net Shield",
        files={"same.msi": (GOOD + "# the second\n").encode()}),
    dataclasses.replace(SELF_UPDATE, name="self-update-cut-fetched-whole", rules={"/launcher/Setup.exe":
                                                                                 "close-after=4096 close-times=1"},
                        anchors=[DOWNLOAD_FAILED + "(リトライ:0)", "ランチャーの再起動を行います。", "アップグレード元プロセスを終了させました。"],
                        check=lambda m, o: round_trip_check(m, o) and expect("the ranges asked for the launcher", [
                            r[5] for r in o.requests if r[1] == "/launcher/Setup.exe"], ["", ""])),
    Row("package-503-status-in-log", rules={PKG: "status=503"}, page="error", result=6, installed="",
        anchors=["サーバーの応答：HTTP 503", DOWNLOAD_FAILED + "(リトライ:0)"]),
]

# --- administrators' deployments: the codes their tools act on, their switches, their logs ----------

BUSY_WAIT = "Windowsインストーラーが他のインストールを実行中です。終了を待ちます。"
UNKNOWN = "以下のコマンドライン引数は不明です。"
RUNNING = "他のセットアップが実行中のため、終了します。"


def command_package(command):
    """A package whose command runs after its download (ExecType 2)."""
    return package(file="tool.dat", name="tool", exec_type=2, exec_command=command, content="a tool\n")


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
            wait_for("the first launcher's request", lambda: VER in m.server_paths(), step=0.02)
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


def installer_busy_until(line):
    """Another installation keeps the Windows Installer busy from the start until 1.5 s after the log shows the line."""
    def arrange(m):
        end = m.busy_installer()

        def installation():
            wait_for(line, lambda: m.log().has(line), step=0.05)
            time.sleep(1.5)
            end()
        threading.Thread(target=installation, daemon=True).start()
    return arrange


NO_LOG_IN_TEMP = lambda m, o: expect("a debug log in Temp", (m.temp / "TAVODebugLog.txt").exists(), False)  # noqa: E731


def named_log(m):
    m.log_file = m.work / "logs" / "sub dir" / "tavo.log"


ROWS += [
    silent("restart-asked-3010", 3010, twin=None, name="restart-asked-3010-package-type-0-silent",
           settings={"package_type": 0}, page="closed", anchors=["インストーラーが再起動を求めています。(終了コード：3010)"]),
    silent("success", 3010, twin=None, name="command-package-3010-silent", packages=[command_package("/bin/true")],
           linux_only="", wine=dict(packages=[command_package("cmd /c exit 0")]), installed="",
           anchors=["以下のコマンドを実行します。", "インストール処理を完了しました。"], requests={"/packages/tool.dat": 1}),
    Row("installer-1618-silent", **failed_package(tns("ExitCode=1618", "LiveLog=0"), result=7), args=["/quiet"],
        exit=1618, wine=dict(packages=[command_package("cmd /c exit 1618")])),
    silent("latest-installed-17", 0, anchors=["既にTAVO製品がインストールされていますが、アップグレード不要です。",
                                              "最新のTAVO製品がインストール済みのため、成功として終了します。（サイレントモード）"]),
    Row("no-package-applies-silent", packages=[package(product_type=2)], args=["/quiet"], exit=10001, requests={PKG: 0},
        anchors=["このコンピューターに適用するパッケージがないため、何もインストールしませんでした。"], installed=""),
    *[silent("dead-server", 30000, twin=None, name="dead-server-silent-as-" + switch.strip("/-").lower(),
             args=[switch, "/norestart"]) for switch in ("/qn", "/silent", "-quiet", "/S")],
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
    # The Windows Installer busy with another installation.
    Row("windows-installer-busy-waited-for", args=["/quiet"], arrange=installer_busy_until(BUSY_WAIT), exit=3010,
        installed="TAVO Net Shield", anchors=[BUSY_WAIT, "Windowsインストーラーの他のインストールが終了しました。…",
                                              "インストール処理を完了しました。"],
        wine=dict(anchors=[BUSY_WAIT, "Windowsインストーラーの他のインストールが終了しました。…"])),
    # The self-update of a silent run.
    silent("new-launcher-ends-at-once-6", 60000, twin=None),
    Row("no-update-keeps-the-edition", **SIGNED_UPDATE, settings={"product_type": 1}, args=["/quiet", "/noupdate"],
        packages=[package(name="TAVO Total Shield", product_type=1, content=sim_package("TAVO Total Shield"))],
        exit=3010, installed="TAVO Total Shield", requests={VER: 1, "/launcher/Setup.exe": 0},
        anchors=["コマンドラインの指定により、ランチャーのバージョンアップは行いません。"]),
    Row("plain-o-ends-the-parent-of-the-same-name", servers=["dead"], args=["/N", "/O", "{work}/launcher/SetupLauncherV2.xml"],
        arrange=lambda m: m.use_bundle(), replaced=True, page="error", result=3,
        anchors=["アップグレード元プロセスを終了させました。"], linux_only="the older launcher here is the system shell"),
    # A release build takes over only from a parent that signalled the hand-over, whatever its name.
    Row("pinned-plain-o-leaves-the-parent-of-the-same-name", servers=["dead"],
        args=["/N", "/O", "{work}/launcher/SetupLauncherV2.xml"], arrange=lambda m: (pinned()(m), m.use_bundle()),
        page="error", result=3, absent=["アップグレード元プロセスを終了させました。"],
        anchors=["起動元のランチャーが引き継ぎを示していないため、起動元のプロセスを終了させません。"],
        linux_only="the older launcher here is the system shell"),
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
]

# *USERTEMP* names the working folder; the retry marker and an earlier launcher's version file stay where they were.
WAITS = "再試行待機ファイルがあるため、60秒待ってから次の処理を行います。"
NEW_LIBRARY = "a newer scanner library\n"
ROWS += [
    Row("command-finds-its-package-through-usertemp", installed="", packages=[
        package(file="tool.exe", name="tool", exec_type=2, hash="0", exec_command='"*USERTEMP*tool.exe" 0')],
        arrange=lambda m: (m.server.root / "packages" / "tool.exe").write_bytes(m.program_that_ends_at_once()),
        anchors=["以下のコマンドを実行します。", "インストールの実行処理（成功）"]),
    Row("scanner-library-and-dpkg-saved-to-usertemp", installed="TAVO Net Shield", packages=[
        package(file="tguiScan.dll", name="scan", exec_type=3, save_file_path="*USERTEMP*tguiScan.dll", content=NEW_LIBRARY),
        package(file="dpkg.xml", name="dpkg", exec_type=3, save_file_path="*USERTEMP*dpkg.xml", content="<dpkg/>\n"),
        package()],
        check=all_of(lambda m, o: in_work_folder(m, {"dpkg.xml": b"<dpkg/>\n"}), lambda m, o: m.build != "linux" or expect(
            "the product's scanner library", m.product_file("tguiScan.dll"), NEW_LIBRARY))),
    Row("retry-marker-in-the-users-temp-waits", rules={PKG: "status=500"}, temp_files={"$retry$.dat": b""},
        arrange=end_when_logged(WAITS), page=None, result=None, exit=-9, requests={PKG: 1},
        anchors=[DOWNLOAD_FAILED + "(リトライ:0)", WAITS]),
    Row("earlier-launchers-version-file-read-17", args=["/N", "/O", "{work}/launcher/SetupLauncherV2.xml"],
        registry=installed_product("TAVO Net Shield"), page="error", result=17, requests={CFG: 0},
        arrange=lambda m: m.write_launcher_file("SetupLauncherVer.xml", (m.server.root / VER.lstrip("/")).read_bytes()),
        anchors=["以下の前のランチャーのバージョンファイルを使用します。", "既にTAVO製品がインストールされていますが、アップグレード不要です。"]),
]

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

ROWS += [
    Row("log-opens-with-version-and-command-line", servers=["dead"], args=["/quiet", "/proxy", ADMIN_PROXY],
        page="error", result=3, exit=30000, check=opens_and_ends_for_administrators),
    dataclasses.replace(settings_row("settings-missing-names-its-file", remove, 2), check=lambda m, o: expect(
        "the settings file named among the errors", o.log.errors(), lambda errors: any(
            t.endswith("SetupLauncherV2.xml") and "launcher" in t for t in errors))),
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
    Row("two-packages-keep-both-msi-logs", packages=[package(), package(file="tavo_second.msi")],
        installed="TAVO Net Shield", check=lambda m, o: expect(
            "the installers' logs", (m.temp / "TAVOInstallLog.txt").read_text("utf-16"), lambda log: log.count(
                "******* Command Line:") == 2 and "tavo_tns.msi" in log and "tavo_second.msi" in log),
        linux_only=SIMULATED_ONLY % "the installers' logs"),
]

# A release build reads only server files the vendor signed, current, and runs only what they name.
ANSWER_REFUSED = "以下のファイルは%sため、使用しません。"
EARLIER_LAUNCHER = signed_package("old.exe", exec_type=2, save_file_path="*USERTEMP*old.exe",
                                  exec_command='"*USERTEMP*old.exe" /N /O "*USERTEMP*attacker.xml"')


def second_url(file):
    """The second package of that file name is served from /other/."""
    def edit(data):
        at = data.index(b"/packages/" + file + b"<", data.index(b"/packages/" + file + b"<") + 1)
        return data[:at] + b"/other/" + data[at + len(b"/packages/"):]
    return edit


ROWS += [
    Row("pinned-signed-answers-run", packages=[signed_package("a.exe")], arrange=pinned(packages=[(PINNED_PKG, "vendor")]),
        page="error", result=15,
        anchors=["以下のファイルの署名を確認しました。", "SHA-256ハッシュを確認しました。", "以下のプログラムの署名を確認しました。"],
        check=all_of(lambda m, o: expect("signatures accepted", o.log.count("以下のプログラムの署名を確認しました。"), 2),
                     lambda m, o: expect("the kinds of answer recorded", recorded(m), {"SetupLauncherVer", "DownloadConfig"}))),
    *[Row("pinned-config-" + name, packages=[EARLIER_LAUNCHER],
          arrange=pinned(earlier="/packages/old.exe", **how), page="error", result=4, requests={"/packages/old.exe": 0},
          anchors=[ANSWER_REFUSED % reason, "設定ファイルのダウンロードに失敗しました。"],
          absent=["以下のコマンドを実行します。", "設定ファイルの解析処理を実行します。"])
      for name, how, reason in [
          ("unsigned", dict(answers={CFG: None}), "署名ファイルを取得できない"),
          ("signed-by-another-key", dict(answers={CFG: "other"}), "信頼する発行元の鍵で署名されていない"),
          ("older-than-one-accepted", dict(ahead=[CFG]), "以前に受け入れた同じ種類のファイルより前に署名されている")]],
    # The time is kept per key: a newer answer of the old key does not hold back the next key's.
    Row("pinned-config-of-the-next-key-after-a-newer-one-of-the-old-key", packages=[signed_package("a.exe")],
        arrange=pinned(packages=[(PINNED_PKG, "vendor")], answers={CFG: "next"}, ahead=[CFG]), page="error",
        result=15, anchors=["以下のファイルの署名を確認しました。", "以下のインストールコマンドを実行します。"]),
    Row("pinned-unsigned-file-under-a-signed-packages-name",
        packages=[signed_package("a.exe"), signed_package("a.exe", exec_type=3)], serve={CFG: second_url(b"a.exe")},
        arrange=pinned(packages=[(PINNED_PKG, "vendor"), ("/other/a.exe", None)]), page="error", result=9,
        anchors=["以下のパッケージは後のパッケージに置き換えられたため、実行しません。"],
        absent=["以下のインストールコマンドを実行します。"]),
    *[Row("pinned-package-sha256-" + name, packages=[signed_package("a.exe")], page="error", result=9,
          arrange=pinned(packages=[(PINNED_PKG, "vendor")], digests={PINNED_PKG: name}), anchors=[refused],
          absent=["以下のインストールコマンドを実行します。"])
      for name, refused in [("missing", "以下のパッケージは設定ファイルにSHA-256ハッシュがないため、実行しません。"),
                            ("wrong", "以下のパッケージのSHA-256ハッシュが設定ファイルと一致しないため、使用しません。")]],
    Row("pinned-version-file-unsigned", arrange=pinned(answers={VER: None}), page="error", result=3,
        anchors=[ANSWER_REFUSED % "署名ファイルを取得できない", "インストールランチャーバージョンファイルの取得に失敗しました。"]),
    Row("pinned-settings-refresh-unsigned", version_file={"settings_version": 2, "settings": "SetupLauncherV2.xml"},
        server_settings={"settings_version": 2}, arrange=pinned(answers={"/launcher/SetupLauncherV2.xml": None}),
        page="error", result=6, anchors=[ANSWER_REFUSED % "署名ファイルを取得できない", "最新のインストーラーの取得に失敗しました。"]),
]

# Nothing of the user's reaches what the elevated launcher writes or starts: the programs' folder and environment,
# /log at another program's file or through a link, a package saved to a network path, a log folder swapped.
LOG_MOVED = "以下のログファイルに書き込めないため、一時フォルダーのログファイルに書き込みます。"
ROWS += [
    silent("success", 3010, twin=None, name="programs-get-the-private-folder-and-the-machines-environment",
           packages=[command_package(elevated.PROBE_LINUX)], linux_only="", installed="", arrange=elevated.user_values,
           wine=dict(packages=[command_package(elevated.PROBE_WINE)]), requests={"/packages/tool.dat": 1},
           check=elevated.probe_saw_only_the_machine),
    Row("log-at-a-foreign-file-leaves-it-as-it-was", args=["/quiet", "/log", "{work}/system.ini"], exit=3010,
        installed="TAVO Net Shield", arrange=lambda m: elevated.foreign_files(m, ["system.ini"]), anchors=[LOG_MOVED],
        check=elevated.foreign_files_unchanged),
    Row("log-beside-a-foreign-installer-log-leaves-it-as-it-was", args=["/quiet", "/log", "{work}/logs/sub dir/tavo.log"],
        log="fresh", exit=3010, installed="TAVO Net Shield", check=elevated.foreign_files_unchanged,
        arrange=lambda m: (named_log(m), elevated.foreign_files(m, ["logs/sub dir/TAVOInstallLog.txt"]))),
    Row("log-through-a-linked-folder-writes-nothing-behind-it", args=["/quiet", "/log", "{work}/linked/sub/tavo.log"],
        exit=3010, installed="TAVO Net Shield", arrange=elevated.linked_log_folder, anchors=[LOG_MOVED],
        check=elevated.nothing_behind),
    Row("package-on-a-network-path-refused", packages=[package(save_file_path="//tavo-share.invalid/s/tavo_tns.msi")],
        page="error", result=6, requests={PKG: 0}, installed="",
        anchors=["以下の保存先はローカルの固定ドライブにないため、パッケージを保存しません。"],
        wine=dict(packages=[package(save_file_path=r"\\tavo-share.invalid\s\tavo_tns.msi")])),
    Row("log-folder-swapped-after-its-check-writes-nothing-behind", args=["/log", "{work}/logs/tavo.log"], page=None,
        result=None, log="fresh", installed="TAVO Net Shield", arrange=elevated.swap_log_folder,
        check=elevated.nothing_behind, linux_only="links a process of the user may make in a folder of its own"),
]

from rows_h46 import ROWS as _more  # noqa: E402
ROWS += _more
