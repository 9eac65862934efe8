"""The outcome matrix: one row per behaviour of a whole run.

A row arranges the machine, the server, the launcher's files and the keys,
and expects the page the run ends on (or the error box), the result, at most
four log anchors (in order), the requests the server saw and the files left
behind. Every row also checks that nothing is lost: the earlier run's log
entry is kept and the log stays whole, the launcher's own files are
untouched, and the earlier good copies seeded in the temporary folder
survive unless the row says otherwise.

Rows run on both builds unless `linux_only` says why Wine cannot show them.

This module holds the row type, the Wine rule and what several groups share; the rows themselves stand in
rows_*.py by behaviour, and ROWS below joins them in a fixed order (silent runs last, after their twins).
"""
import dataclasses
import re
from dataclasses import dataclass, field
from typing import Callable, Optional

from checks import expect
from harness import DebugLog, notice, package, sim_package

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


def cut_half(data):
    return data[: len(data) // 2]


def replace(old, new):
    return lambda data: data.replace(old, new, 1)


def grown(root, size):
    """The file grown past the readers' cap by a comment before its root element's end."""
    end = ("</%s>" % root).encode()
    return lambda data: data.replace(end, b"<!--" + b"x" * size + b"-->" + end, 1)


def tns(*lines):
    return sim_package("TAVO Net Shield", "10.0.2032.10", *lines)


GOOD = tns("ExitCode=0")
PKG = "/packages/tavo_tns.msi"
VER = "/SetupLauncherVer.xml"
CFG = "/DownloadConfig.xml"
NOTICE = notice("すべてのお客様へのお知らせ")

NOTICES_FAILED = "通知データファイルの読み込みに失敗しました。"
VERSION_UNREADABLE = "インストールランチャーのバージョン取得に失敗しました。"
CONFIG_BROKEN = "設定ファイルの解析に失敗しました。"
DOWNLOAD_FAILED = "以下のプログラムのダウンロードに失敗しました。"


# A newer launcher and its settings on the server.
SIGNED_UPDATE = dict(version_file={"last_version": 2000001, "setup_exe": "Setup.exe", "settings": "SetupLauncherV2.xml"},
                     server_settings={"settings_version": 2})


def failed_package(text, **kw):
    """A run whose one package is the given simulated-installer text."""
    return dict(dict(packages=[package(content=text)], page="error", installed=""), **kw)


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


def work_folder_log(m):
    return DebugLog.read(m.work_folder() / "TAVODebugLog.txt")


def log_given_up(m):
    """The debug log went on in the working folder, saying which file it gave up."""
    log = work_folder_log(m)
    return (expect("the working folder's debug log is whole", log.whole(), None) and
            expect("its first entry names the log given up", log.texts()[0], lambda t: t.startswith("デバッグログ ")) and
            expect("it goes on to the end", log.has("プログラムを終了します。")))


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


SILENT = "-silent"


def silent(row, code, twin="row", wine=None, **changes):
    """The row run silently: no keys, no window, no screen, the exit code. Its log is that of the
    interactive run with the twin's keys (the row's own by default) apart from the screen lines."""
    return dataclasses.replace(row, **dict(dict(
        name=row.name + SILENT, args=[*row.args, "/quiet"], keys="", exit=code, screen=[], golden="", box=None,
        check=None, twin=row.keys if twin == "row" else twin, wine=dict(row.wine, **(wine or {}))), **changes))


def command_package(command):
    """A package whose command runs after its download (ExecType 2)."""
    return package(file="tool.dat", name="tool", exec_type=2, exec_command=command, content="a tool\n")


def named_log(m):
    m.log_file = m.work / "logs" / "sub dir" / "tavo.log"


def named(*groups):
    """The rows of these groups by name, for the rows that run another group's row another way."""
    rows = {r.name: r for group in groups for r in group}
    assert len(rows) == sum(map(len, groups)), "two rows of one name"
    return rows


# The groups import the type and helpers above, so they are joined here, below them.
from rows_startup import ROWS as _startup  # noqa: E402
from rows_install import ROWS as _install  # noqa: E402
from rows_downloads import ROWS as _downloads  # noqa: E402
from rows_selfupdate import ROWS as _selfupdate  # noqa: E402
from rows_elevated import ROWS as _elevated  # noqa: E402
from rows_release import ROWS as _release  # noqa: E402
from rows_silent import ROWS as _silent  # noqa: E402

ROWS = _startup + _install + _downloads + _selfupdate + _elevated + _release + _silent
