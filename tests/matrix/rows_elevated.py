"""Rows of the elevated launcher against a process of the user: nothing planted, linked or swapped in the
user's Temp or the launcher's folder is loaded, followed or run; names from server files stay plain file names;
programs get the private folder and the machine's environment; /log writes nothing of another's."""
import elevated
from attacks import (compile_like_launcher, hold_log_lock, lock_released, planted_dll_loaded,
                     plant_loads_without_defence, plant_wininet, swap_after_check)
from checks import expect
from harness import notice, package, sim_package, windowless
from rows import (GOOD, NO_EVENT_LOG, PKG, SIMULATED_ONLY, WINE_UNRECORDED, Row, command_package, config_row,
                  log_given_up, named, named_log, replace, runs_only_from_work_folder, silent)
from rows_install import ROWS as INSTALL

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

NOT_A_FOLDER = b"a file, not a folder\n"


def log_folder_is_a_file(m):
    (m.work / "not-a-folder").write_bytes(NOT_A_FOLDER)


def log_given_up_named(m, o):
    """The run logged in the temporary folder, naming the /log file it could not write, and left that name's file as
    it was."""
    texts = o.log.texts()
    at = texts.index(LOG_MOVED) if LOG_MOVED in texts else -1
    return (expect("the entry after the moved log's", texts[at + 1:at + 2], lambda t: t and t[0].replace("\\", "/")
                   .endswith("not-a-folder/tavo.log")) and
            expect("the file in the /log path's folder place", (m.work / "not-a-folder").read_bytes(), NOT_A_FOLDER))


def launcher_folder_with_a_blank(m):
    """The launcher and its local installer lie in "my launcher"; a program is planted at "my" beside that folder,
    which an unquoted command would start in the installer's place."""
    m.launcher.rename(m.work / "my launcher")
    m.launcher = m.work / "my launcher"
    if m.build == "linux":
        m.local_installer("TNS/tns_nt64_jpn.exe", GOOD)
        (m.work / "my").write_text("#!/bin/sh\n: >'%s'\n" % (m.work / "my.ran"))
        (m.work / "my").chmod(0o755)
        return
    m.write_launcher_file("TNS/tns_nt64_jpn.exe", m.program_that_ends_at_once())
    compile_like_launcher(m, "planted_program.c", m.work / "my.exe", "-municode")
    (m.work / "my.exe").write_bytes(windowless((m.work / "my.exe").read_bytes()))

# Nothing of the user's reaches what the elevated launcher writes or starts: the programs' folder and environment,
# /log at another program's file or through a link, a package saved to a network path, a log folder swapped.
LOG_MOVED = "以下のログファイルに書き込めないため、一時フォルダーのログファイルに書き込みます。"

ROWS = [
    Row("planted-wininet-never-loads", arrange=plant_wininet, page="error", result=15,
        check=lambda m, o: expect("plants loaded", planted_dll_loaded(m), []) and
        expect("the plant loads into a program without the defence", plant_loads_without_defence(m)),
        windows_only="the Linux build loads no DLLs"),
    Row("package-swapped-after-check", packages=[package(file="a.msi"), package(file="b.msi")],
        page="error", result=7, installed="",
        arrange=swap_after_check("a.msi", sim_package("TAVO Virus Guard", "10.0.2032.10", "ExitCode=0").encode(),
                                 "/packages/b.msi"),
        anchors=["ハッシュ解析処理を完了しました。", "以下のパッケージは確認の後に変更されたため、実行しません。"]),
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
    silent(named(INSTALL)["success"], 3010, twin=None, name="programs-get-the-private-folder-and-the-machines-environment",
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
    Row("log-that-cannot-be-written-goes-to-temp", args=["/quiet", "/log", "{work}/not-a-folder/tavo.log"], exit=3010,
        installed="TAVO Net Shield", arrange=log_folder_is_a_file, anchors=["プログラムを開始します。", LOG_MOVED],
        check=log_given_up_named),
    Row("local-installer-in-a-folder-with-a-blank-runs-by-its-whole-path", settings={"install_type": 1},
        servers=["dead"], packages=[], arrange=launcher_folder_with_a_blank, installed="TAVO Net Shield",
        anchors=["ローカルインストールを行います。", "以下のコマンドを実行します。"],
        check=lambda m, o: expect("plants that ran", [p.name for p in m.work.glob("my*.ran")], []),
        wine=dict(page="error", result=15, installed="", why="Wine keeps no MsiInstaller records")),
]
