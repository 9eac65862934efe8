"""Rows of documented behaviour that no other row ran: a /log file that cannot be written, a proxy that asks every
request for a login, the usage's other spellings, the self-update's hand-over when the new launcher stalls or
crashes, and a release build's command that names a verified package's file elsewhere."""
import os
import signal

from attacks import compile_like_launcher
from checks import expect
from harness import windowless
from pinned import pinned
from rows import LOG_MOVED, NEW_LAUNCHER_ENDED, PINNED_PKG, SELF_UPDATE, VER, Row, signed_package

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
]
