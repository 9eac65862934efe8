"""Rows of the launcher's self-update: the newer launcher fetched, checked and started, its hand-over from the
first one (/N /O), and what a launcher does with an earlier one's files."""
import dataclasses
import os
import signal

from attacks import compile_like_launcher, self_update_signed
from checks import error_code, expect
from harness import installed_product, notice, package, sim_package, windowless
from pinned import pinned
from rows import (CFG, DOWNLOAD_FAILED, SIGNED_UPDATE, SIMULATED_ONLY, VER, Row, round_trip_check,
                  runs_only_from_work_folder)

UNSIGNED = "the Linux build carries no signatures and starts any newer launcher"

SIGNATURE_REFUSED = "ダウンロードしたランチャーは署名を確認できないため、起動しません。"

OTHER_SIGNER = "ダウンロードしたランチャーの署名者がこのランチャーと異なるため、起動しません。"

def temp_folder_with_blank(m):
    """The temporary folder gets a blank in its name; a program planted at the part before the blank
    would run in place of the new launcher if its path were not quoted."""
    m.temp.rename(m.folder / "Temp Folder")
    m.temp = m.folder / "Temp Folder"
    m.write_machine_file("Temp", "#!/bin/sh\necho planted > '%s'\n" % (m.work / "planted-ran"))
    (m.folder / "Temp").chmod(0o755)
    m.write_machine_file("machine.ini", (m.folder / "machine.ini").read_text() + "[Folders]\nTemp=Temp Folder/\n")

# A newer launcher, its settings and notices on the server; the newer one takes over.
SELF_UPDATE = Row(
    "self-update-round-trip", keys="n", replaced=True, check=round_trip_check,
    version_file={"last_version": 2000001, "settings_version": 2, "setup_exe": "Setup.exe", "settings": "SetupLauncherV2.xml"},
    server_settings={"package_version": "11.0", "settings_version": 2, "provider": "NEWPROVIDER"},
    server_notices=(1, [notice("新しいランチャーからのお知らせ")]),
    anchors=["ランチャーの再起動を行います。", "アップデートに成功しました。", "アップグレード元プロセスを終了させました。"])

NEW_LAUNCHER_ENDED = "新しいインストーラーが処理を引き継ぐ前に終了しました。(終了コード：…"

# New launchers of the simulated machine that leave the standard handles (the run's) at once: one that neither ends nor
# takes over, and one that takes over (signals the hand-over object named after the /SourcePid: it was given), then
# crashes. Each leaves a file for the row.
STALLS = """#!/bin/sh
exec </dev/null >/dev/null 2>&1 3>&-
echo $$ >'{work}/new-launcher.pid'
exec sleep 600
"""
CRASHES = """#!/bin/sh
for a; do case $a in /SourcePid:*) handover="$SETUP_MACHINE/Objects/TAVOSetupHandOver.${a#/SourcePid:}";; esac; done
[ -f "$handover" ] && printf 'signalled\\n' >>"$handover" && : >'{work}/took-over'
kill -SEGV $$
"""


def new_launcher(script):
    """The server's newer launcher is the script (the Windows build's: the program of took_over_then_crashed.c); one
    still running when the row ends is ended then."""
    def arrange(m):
        served = m.server.root / "launcher" / "Setup.exe"
        if m.build == "linux":
            served.write_text(script.replace("{work}", str(m.work)))
        else:
            mark = m.native(m.work / "took-over").replace("\\", "\\\\")
            compile_like_launcher(m, "took_over_then_crashed.c", served, "-municode", '-DTOOK_OVER=L"%s"' % mark)
            served.write_bytes(windowless(served.read_bytes()))
        stop = m.stop

        def end_it_too():
            pid = m.work / "new-launcher.pid"
            try:
                os.kill(int(pid.read_text()), signal.SIGKILL) if pid.exists() else None
            except ProcessLookupError:
                pass
            stop()
        m.stop = end_it_too
    return arrange


def started_by_a_bundle(m):
    """Setup.exe is started by a bundle named Setup.exe (bundle.c) in a folder beside the launcher's."""
    bundle = m.work / "bundle"
    bundle.mkdir()
    compile_like_launcher(m, "bundle.c", bundle / "Setup.exe", "-municode")
    (bundle / "Setup.exe").write_bytes(windowless((bundle / "Setup.exe").read_bytes()))
    m.launcher = bundle


PLAIN_O = ["/N", "/O", "{work}/launcher/SetupLauncherV2.xml"]
ENDED = "アップグレード元プロセスを終了させました。"

UPDATE = dict(version_file=SELF_UPDATE.version_file, server_settings=SELF_UPDATE.server_settings)

ROWS = [
    Row("newer-launcher-404", version_file={"last_version": 3000000}, rules={"/launcher/Setup.exe": "status=404"},
        page="error", result=6, requests={"/launcher/Setup.exe": 3}, anchors=["最新のインストーラーの取得に失敗しました。"],
        absent=["インストールスレッドを開始します。"]),
    SELF_UPDATE,
    Row("self-update-signed-by-the-same-key", **SIGNED_UPDATE, arrange=self_update_signed("vendor"),
        replaced=True, page="error", result=15, windows_only=UNSIGNED,
        anchors=["ダウンロードしたランチャーの署名を確認しました。", "アップグレード元プロセスを終了させました。"]),
    *[Row("self-update-" + name, **SIGNED_UPDATE, arrange=self_update_signed(served), page="error",
          result=6, windows_only=UNSIGNED, absent=["ランチャーの再起動を行います。"],
          anchors=[refused, "最新のインストーラーの取得に失敗しました。"],
          check=error_code(refused, code))
      for name, served, refused, code in [
          ("signed-by-another-key", "other", OTHER_SIGNER, None),
          ("signed-by-another-key-under-the-vendors-name", "impostor", OTHER_SIGNER, None),
          ("signed-then-changed", "changed", SIGNATURE_REFUSED, -2146869232),  # TRUST_E_BAD_DIGEST
          ("unsigned", None, SIGNATURE_REFUSED, -2146762496)]],  # TRUST_E_NOSIGNATURE
    # A running launcher changed after it was signed cannot vouch for a newer one.
    Row("self-update-own-signature-unreadable", **SIGNED_UPDATE, arrange=self_update_signed("vendor", own_changed=True),
        page="error", result=6, windows_only=UNSIGNED, absent=["ランチャーの再起動を行います。"],
        anchors=["このランチャーの署名を確認できないため、ダウンロードしたランチャーを起動しません。", "最新のインストーラーの取得に失敗しました。"]),
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
    # The newer launcher runs from the private folder and works on in it (Wine keeps no access lists of files, so
    # there it cannot tell the folder for its own and takes a new one).
    dataclasses.replace(SELF_UPDATE, name="self-update-works-in-the-private-folder", check=lambda m, o: (
        round_trip_check(m, o) and runs_only_from_work_folder(m, o) and
        (m.build != "linux" or expect("working folders", len(m.work_folders()), 1)))),
    dataclasses.replace(SELF_UPDATE, name="self-update-cut-fetched-whole", rules={"/launcher/Setup.exe":
                                                                                 "close-after=4096 close-times=1"},
                        anchors=[DOWNLOAD_FAILED + "(リトライ:0)", "ランチャーの再起動を行います。", "アップグレード元プロセスを終了させました。"],
                        check=lambda m, o: round_trip_check(m, o) and expect("the ranges asked for the launcher", [
                            r[5] for r in o.requests if r[1] == "/launcher/Setup.exe"], ["", ""])),
    Row("no-update-keeps-the-edition", **SIGNED_UPDATE, settings={"product_type": 1}, args=["/quiet", "/noupdate"],
        packages=[package(name="TAVO Total Shield", product_type=1, content=sim_package("TAVO Total Shield"))],
        exit=3010, installed="TAVO Total Shield", requests={VER: 1, "/launcher/Setup.exe": 0},
        anchors=["コマンドラインの指定により、ランチャーのバージョンアップは行いません。"]),
    Row("plain-o-ends-the-parent-of-the-same-name", servers=["dead"], args=["/N", "/O", "{work}/launcher/SetupLauncherV2.xml"],
        arrange=lambda m: m.use_bundle(), replaced=True, page="error", result=3,
        anchors=["アップグレード元プロセスを終了させました。"], linux_only="the older launcher here is the system shell"),
    Row("earlier-launchers-version-file-read-17", args=["/N", "/O", "{work}/launcher/SetupLauncherV2.xml"],
        registry=installed_product("TAVO Net Shield"), page="error", result=17, requests={CFG: 0},
        arrange=lambda m: m.write_launcher_file("SetupLauncherVer.xml", (m.server.root / VER.lstrip("/")).read_bytes()),
        anchors=["以下の前のランチャーのバージョンファイルを使用します。", "既にTAVO製品がインストールされていますが、アップグレード不要です。"]),
    # The replaced launcher waits 30 s to be ended, then leaves the run to the new one: no error, no hang.
    Row("new-launcher-neither-ending-nor-taking-over-is-left-the-run", **UPDATE, arrange=new_launcher(STALLS),
        page=None, result=None, anchors=["ランチャーの再起動を行います。", "新しいインストーラーに処理を引き継ぎます。", "プログラムを終了します。"],
        check=lambda m, o: expect("entries of a new launcher that ended first", [
            t for t in o.log.texts() if t.startswith(NEW_LAUNCHER_ENDED[:-1])], []),
        linux_only="the wait takes its whole 30 s, and the Windows driver waits for every launcher to end"),
    # A silent run's new launcher that crashed after it took over passes on no code of its own.
    Row("new-launcher-crashing-after-taking-over-60000", **UPDATE, args=["/quiet"], arrange=new_launcher(CRASHES),
        page="error", result=6, exit=60000, anchors=["ランチャーの再起動を行います。", NEW_LAUNCHER_ENDED],
        check=lambda m, o: expect("the new launcher took over", (m.work / "took-over").exists())),
    # Who ends whom at the hand-over, under Windows' own process list: a bundle that starts the launcher without /O
    # is never ended; with the plain /O of earlier launchers it is, by a development build only.
    *[Row(name, servers=["dead"], page="error", result=3, args=args, exit=exit, replaced=exit is None,
          arrange=lambda m, more=more: (more(m), started_by_a_bundle(m)), anchors=anchors,
          absent=[] if exit is None else [ENDED], windows_only="the bundle is a Windows program")
      for name, args, more, exit, anchors in [
          ("bundle-program-named-setup-not-ended", [], lambda m: None, 7, []),
          ("bundle-program-with-plain-o-ended", PLAIN_O, lambda m: None, None, [ENDED]),
          ("pinned-bundle-program-with-plain-o-left", PLAIN_O, pinned(), 7,
           ["起動元のランチャーが引き継ぎを示していないため、起動元のプロセスを終了させません。"])]],
]
