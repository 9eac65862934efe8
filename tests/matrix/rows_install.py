"""Rows of the install: the packages that apply, how each is saved, checked and run, and how the Windows
Installer's outcome is read (its exit code, its own log, the event log's record)."""
import threading
import time

from checks import all_of, expect
from earlier_places import in_work_folder
from harness import package, wait_for
from rows import CFG, GOOD, NO_EVENT_LOG, PKG, SIMULATED_ONLY, VER, Row, failed_package, tns

FAILING_ACTION = ["LiveLogLine=Action start 10:00:00: InstallServices.",
                  "LiveLogLine=MSI (s) Product: TAVO -- Error 1920. Service failed.",
                  "LiveLogLine=MSI (s) Note: 1: 2203 2: C:\\x.cab",
                  "LiveLogLine=Action ended 10:00:03: InstallServices. Return value 3."]

# An earlier failed installation's own log, older by its name, that says the service could not be stopped.
EARLIER_LOG = {"tavo/liveinstaller_20200101000000.log": (
    "\ufeffサービス 'TAVO Service' (tvkr) を停止できませんでした。システム サービスを停止する特権を持っていることを確認してください。"
    "\r\nMainEngineThread is returning 1603\r\n").encode("utf-16-le")}

BUSY_WAIT = "Windowsインストーラーが他のインストールを実行中です。終了を待ちます。"

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

NEW_LIBRARY = "a newer scanner library\n"

ROWS = [
    Row("success", anchors=["インストールスレッドを開始します。", "インストール処理を完了しました。",
                            "tguiScan.dllを置き換えました。"],
        requests={VER: 1, CFG: 2, PKG: 1}, installed="TAVO Net Shield", linux_only=NO_EVENT_LOG, golden="success"),
    Row("success-package-type-0", settings={"package_type": 0}, page="closed", installed="TAVO Net Shield",
        absent=["完了画面に遷移します。"], linux_only=NO_EVENT_LOG),
    Row("local-install", settings={"install_type": 1}, servers=["dead"], packages=[],
        arrange=lambda m: m.local_installer("TNS/tns_nt64_jpn.exe", GOOD),
        anchors=["ローカルインストールを行います。", "プログラムの実行に成功しました。"],
        absent=["ネットワークインストールを実行します。"], installed="TAVO Net Shield", linux_only=NO_EVENT_LOG),
    Row("installer-fails-7", **failed_package(tns(
        "ExitCode=1603", "LiveLogLine=Action start 10:00:00: InstallServices.",
        "LiveLogLine=MSI (s) Product: TAVO -- Error 1920. Service failed.",
        "LiveLogLine=Action ended 10:00:03: InstallServices. Return value 3."), result=7,
        anchors=["インストールの実行に失敗しました（戻り値エラー）。"], absent=["tguiScan.dllを置き換えました。"],
        screen=["1603"], linux_only=NO_EVENT_LOG, golden="failure-7")),
    Row("installer-fails-7-without-own-log", **failed_package(tns("ExitCode=1605", "LiveLog=0"), result=7,
                                                              screen=["1605"], linux_only=NO_EVENT_LOG)),
    Row("service-not-stopped-8", **failed_package(tns("ExitCode=1603", "LiveLogService=stop"), result=8,
                                                  linux_only=NO_EVENT_LOG)),
    Row("another-install-running-8", **failed_package(tns("ExitCode=1618"), result=8, linux_only=NO_EVENT_LOG)),
    Row("wrong-digest-9", packages=[package(hash="0123456789abcdef0123456789abcdef")], page="error", result=9,
        anchors=["ハッシュデータに誤りがあります。"], absent=["以下のインストールコマンドを実行します。"], installed=""),
    Row("no-event-log-record-15", **failed_package(tns("ExitCode=0", "EventLog=0"), result=15, installed=None,
                                                   anchors=["プログラムの実行をキャンセルしました。"])),
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
    Row("local-install-asks-no-server", settings={"install_type": 1}, packages=[], page="error", result=7,
        requests={VER: 0, CFG: 0}),
    Row("event-log-cannot-be-opened", arrange=lambda m: m.machine_folder_instead_of("eventlog.tsv"), page="error",
        result=15, anchors=["プログラムの実行をキャンセルしました。"], linux_only=SIMULATED_ONLY % "a broken event log"),
    Row("earlier-installer-log-not-read-7", temp_files=EARLIER_LOG, **failed_package(tns("ExitCode=1603"), result=7,
        screen=["1603"], absent=["tguiScan.dllを置き換えました。"], linux_only=NO_EVENT_LOG),
        check=lambda m, o: expect("the last screen", o.screen[o.screen.rfind("-" * 60):], lambda s: "サービスの停止" not in s)),
    Row("package-names-checked-only-where-they-apply", packages=[
        package(file="tavo..x64.msi"), package(file="other.msi.", name="other", product_type=2)],
        anchors=["ハッシュ解析処理を完了しました。", "以下のパッケージは、条件に一致しないためダウンロードされません。"],
        installed="TAVO Net Shield"),
    Row("two-packages-saved-to-one-path", packages=[
        package(file="a.msi", save_file_path="*USERTEMP*same.msi"),
        package(file="b.msi", save_file_path="*USERTEMP*same.msi", exec_type=3, content=GOOD + "# the second\n")],
        anchors=["ハッシュ解析処理を完了しました。", "ハッシュ解析処理を完了しました。"], installed="TAVO Net Shield",
        files={"same.msi": (GOOD + "# the second\n").encode()}),
    # The Windows Installer busy with another installation.
    Row("windows-installer-busy-waited-for", args=["/quiet"], arrange=installer_busy_until(BUSY_WAIT), exit=3010,
        installed="TAVO Net Shield", anchors=[BUSY_WAIT, "Windowsインストーラーの他のインストールが終了しました。…",
                                              "インストール処理を完了しました。"],
        wine=dict(anchors=[BUSY_WAIT, "Windowsインストーラーの他のインストールが終了しました。…"])),
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
    Row("two-packages-keep-both-msi-logs", packages=[package(), package(file="tavo_second.msi")],
        installed="TAVO Net Shield", check=lambda m, o: expect(
            "the installers' logs", (m.temp / "TAVOInstallLog.txt").read_text("utf-16"), lambda log: log.count(
                "******* Command Line:") == 2 and "tavo_tns.msi" in log and "tavo_second.msi" in log),
        linux_only=SIMULATED_ONLY % "the installers' logs"),
]
