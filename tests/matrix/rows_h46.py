"""Rows of documented behaviour that no other row ran: the self-update's hand-over when the new launcher stalls or
crashes, a /log file that cannot be written, a proxy that asks every request for a login, the usage's other
spellings, a release build's command that names a verified package's file elsewhere, a program planted before the
blank of an installer's path, and who ends whom at the hand-over under Windows."""
import os
import signal

from attacks import compile_like_launcher
from checks import expect
from harness import windowless
from pinned import pinned
from rows import GOOD, LOG_MOVED, NEW_LAUNCHER_ENDED, PINNED_PKG, SELF_UPDATE, VER, Row, signed_package

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
    Row("log-that-cannot-be-written-goes-to-temp", args=["/quiet", "/log", "{work}/not-a-folder/tavo.log"], exit=3010,
        installed="TAVO Net Shield", arrange=log_folder_is_a_file, anchors=["プログラムを開始します。", LOG_MOVED],
        check=log_given_up_named),
    # Every request of the run meets the proxy's 407: the run ends as when no server answered, and says why.
    Row("proxy-asks-every-request-for-a-login", servers=["http://tavo-download.invalid/"], rules={"*": "status=407"},
        args=["/quiet", "/proxy", "{server}"], page="error", result=3, exit=30000,
        anchors=["以下のプロキシサーバーを使用します。", "サーバーの応答：HTTP 407（プロキシの認証が必要です）",
                 "インストールランチャーバージョンファイルの取得に失敗しました。"]),
    *[Row("usage-as-" + switch.strip("/-").lower(), args=[switch], page=None, result=None, requests={VER: 0},
          anchors=["コマンドラインの使い方を表示しました。"]) for switch in ("/h", "-Help")],
    # A release build: a command whose program bears a verified package's file name in the launcher's folder, where a
    # process of the user puts one, is not that package.
    Row("pinned-command-starting-a-namesake-beside-the-launcher-refused",
        packages=[signed_package("a.exe", exec_type=2, exec_command='"*CURRENTPATH*a.exe" 0')],
        launcher_files={"a.exe": b"#!/bin/sh\nexit 0\n"}, arrange=pinned(packages=[(PINNED_PKG, "vendor")]),
        page="error", result=7, absent=["インストールの実行処理（成功）"],
        anchors=["SHA-256ハッシュを確認しました。", "以下のコマンドを実行します。",
                 "以下のコマンドは、このインストールで確認したプログラムを起動しないため、実行しません。"]),
    Row("local-installer-in-a-folder-with-a-blank-runs-by-its-whole-path", settings={"install_type": 1},
        servers=["dead"], packages=[], arrange=launcher_folder_with_a_blank, installed="TAVO Net Shield",
        anchors=["ローカルインストールを行います。", "以下のコマンドを実行します。"],
        check=lambda m, o: expect("plants that ran", [p.name for p in m.work.glob("my*.ran")], []),
        wine=dict(page="error", result=15, installed="", why="Wine keeps no MsiInstaller records")),
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
