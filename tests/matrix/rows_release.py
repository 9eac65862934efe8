"""Rows of a release build (vendor keys pinned): it runs only programs a key it carries signed, reads only
server answers the vendor signed and no older than one accepted, and runs only what those answers name."""
from checks import all_of, error_code, expect
from harness import package
from pinned import pinned, recorded
from rows import CFG, SIGNED_UPDATE, VER, Row

PINNED = "the release build: the Windows launcher with vendor keys made for the matrix"

PINNED_PKG = "/packages/a.exe"

PROGRAM_UNSIGNED = "以下のプログラムは署名を確認できないため、実行しません。"

def signed_package(file, **kw):
    """A package whose program the row's arrange serves; its hash is not checked ("0"), its signature is."""
    return package(file=file, hash="0", **kw)

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

ROWS = [
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
          check=error_code(refused, code))
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
    # A release build takes over only from a parent that signalled the hand-over, whatever its name.
    Row("pinned-plain-o-leaves-the-parent-of-the-same-name", servers=["dead"],
        args=["/N", "/O", "{work}/launcher/SetupLauncherV2.xml"], arrange=lambda m: (pinned()(m), m.use_bundle()),
        page="error", result=3, absent=["アップグレード元プロセスを終了させました。"],
        anchors=["起動元のランチャーが引き継ぎを示していないため、起動元のプロセスを終了させません。"],
        linux_only="the older launcher here is the system shell"),
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
    # A release build: a command whose program bears a verified package's file name in the launcher's folder, where a
    # process of the user puts one, is not that package.
    Row("pinned-command-starting-a-namesake-beside-the-launcher-refused",
        packages=[signed_package("a.exe", exec_type=2, exec_command='"*CURRENTPATH*a.exe" 0')],
        launcher_files={"a.exe": b"#!/bin/sh\nexit 0\n"}, arrange=pinned(packages=[(PINNED_PKG, "vendor")]),
        page="error", result=7, absent=["インストールの実行処理（成功）"],
        anchors=["SHA-256ハッシュを確認しました。", "以下のコマンドを実行します。",
                 "以下のコマンドは、このインストールで確認したプログラムを起動しないため、実行しません。"]),
]
