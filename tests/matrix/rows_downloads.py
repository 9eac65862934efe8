"""Rows of the downloads: dead and refusing servers, HTTPS, resumed answers, stalls and deadlines,
the readers' caps, and the download configuration that the server answers with."""
from checks import all_of, error_code, expect
from earlier_places import end_when_logged
from harness import notice, package
from rows import (CFG, CONFIG_BROKEN, DOWNLOAD_FAILED, EARLIER, GOOD, NO_EVENT_LOG, NOTICES_FAILED, PKG, VER,
                  VERSION_UNREADABLE, Row, config_row, grown, replace)

def padded(text, size):
    """A package text padded with comment lines to the size."""
    out = text
    while len(out) + 64 < size:
        out += "# " + "x" * 60 + "\n"
    return out + "#" * (size - len(out) - 1) + "\n"

def plain_redirect(m):
    """The package's https:// address sends the launcher to the same file on the plain server."""
    (m.server.root / "plain").mkdir()
    (m.server.root / PLAIN_PKG.lstrip("/")).write_bytes((m.server.root / PKG.lstrip("/")).read_bytes())
    m.server.set_rules({PKG: "status=302 location=" + m.server.plain_url.rstrip("/") + PLAIN_PKG})

def ranges_asked(*expected):
    """The package's requests asked for these ranges ("" for none), each but the first with If-Range."""
    def check(m, o):
        asked = [(r[5], r[6]) for r in o.requests if len(r) > 6 and r[1] == PKG]
        return expect("the ranges asked, each resumption with If-Range", asked,
                      lambda a: [r for r, _ in a] == list(expected) and all(bool(v) == bool(r) for r, v in a))
    return check

PLAIN_PKG = "/plain/tavo_tns.msi"

CERT_UNTRUSTED = "サーバー証明書が信頼されていないため、通信を中止しました。"

CERT_WRONG_NAME = "サーバー証明書の名前が接続先と一致しないため、通信を中止しました。"

TO_HTTP_REFUSED = "httpsからhttpへの転送を拒否しました。"

def deep(root, depth):
    """The file with elements nested depth deep inside its root element."""
    end = ("</%s>" % root).encode()
    return lambda data: data.replace(end, b"<d>" * depth + b"</d>" * depth + end, 1)

def stopped_at_the_cap(path):
    """The launcher kept the file up to the 8 MiB cap and at most a piece past it, and (where the system does not
    read the rest of an answer it closes, unlike Wine's WinINet) the server sent less than half of it."""
    def check(m, o):
        kept = m.work_folder() / path.lstrip("/")
        return (expect("bytes kept of %s (8 MiB and at most a piece more)" % path,
                       kept.stat().st_size if kept.is_file() else None,
                       lambda size: size is not None and 8 << 20 < size <= 9 << 20) and
                (m.build != "linux" or expect("bytes sent for " + path, m.server.sent(path), lambda sent: sent < HUGE // 2)))
    return check


HUGE = 64 << 20  # far past the XML cap, so that what the launcher stopped receiving shows in the bytes sent
WINE_HUGE = 16 << 20  # Wine's WinINet reads a closed answer to its end: past the cap, no further

BIG = padded(GOOD, 50000)

VERSION_FAILED = "インストールランチャーバージョンファイルの取得に失敗しました。"

timed_out = error_code(DOWNLOAD_FAILED, 12002)

# *USERTEMP* names the working folder; the retry marker and an earlier launcher's version file stay where they were.
WAITS = "再試行待機ファイルがあるため、60秒待ってから次の処理を行います。"

ROWS = [
    Row("config-404", rules={CFG: "status=404"}, temp_files={"DownloadConfig.xml": EARLIER}, page="error",
        result=4, anchors=["設定ファイルのダウンロードに失敗しました。"]),
    Row("config-malformed", serve={CFG: lambda d: b"<DownloadConfig><PackageDownloadServerCount>1"}, page="error",
        result=5, anchors=[CONFIG_BROKEN], golden=""),
    Row("package-404", rules={PKG: "status=404"}, page="error", result=6, requests={PKG: 3}, installed="",
        anchors=[DOWNLOAD_FAILED + "(リトライ:0)", DOWNLOAD_FAILED + "(リトライ:2)"]),
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
        check=error_code(DOWNLOAD_FAILED, 12002),  # timed out, not refused
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
        check=error_code(DOWNLOAD_FAILED, 12002)),  # as a timeout
    Row("https-install", tls="good", requests={VER: 1, CFG: 2, PKG: 1}, installed="TAVO Net Shield",
        anchors=["接続を確認しました。", "インストール処理を完了しました。"],
        wine=dict(anchors=["接続を確認しました。", "インストール処理を行います。"])),
    Row("https-untrusted-certificate", tls="untrusted", temp_files={"SetupLauncherVer.xml": EARLIER}, page="error",
        result=3, requests={VER: 0}, anchors=[CERT_UNTRUSTED, "インストールランチャーバージョンファイルの取得に失敗しました。"],
        check=error_code(CERT_UNTRUSTED, 12045)),
    Row("https-wrong-host-name", tls="wrong-host", temp_files={"SetupLauncherVer.xml": EARLIER}, page="error",
        result=3, requests={VER: 0}, anchors=[CERT_WRONG_NAME, "インストールランチャーバージョンファイルの取得に失敗しました。"],
        check=error_code(CERT_WRONG_NAME, 12038)),
    Row("https-redirect-to-http-refused", tls="good", arrange=plain_redirect, page="error", result=6,
        requests={PLAIN_PKG: 0}, installed="", anchors=[TO_HTTP_REFUSED, DOWNLOAD_FAILED + "(リトライ:2)"],
        check=error_code(TO_HTTP_REFUSED, 12040)),
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
    config_row("config-too-large", grown("DownloadConfig", 9 << 20)),
    Row("config-too-many-names", serve={CFG: replace(b"</DownloadConfig>", b"".join(
        b"<N%d/>" % i for i in range(150000)) + b"</DownloadConfig>")}, page="error", result=5,
        anchors=[CONFIG_BROKEN], requests={PKG: 0}, installed="",
        linux_only="the limit guards libxml2's dictionary, which slows down past it; MSXML reads such a file"),
    Row("config-without-packages", serve={CFG: replace(b"<PackageDownloadServerCount>1<",
                                                       b"<PackageDownloadServerCount>0<")},
        anchors=["パッケージのダウンロードに成功しました。"], requests={PKG: 0}, installed="",
        wine=dict(page="done", result=1, why="no package is served, so none ends as not executed")),
    # The readers' caps: nesting, and downloads that stop receiving at the size cap.
    config_row("config-nested-too-deep", deep("DownloadConfig", 300)),
    Row("config-nested-within-the-cap", serve={CFG: deep("DownloadConfig", 200)}, anchors=["設定ファイルの解析に成功しました。"],
        installed="TAVO Net Shield"),
    config_row("config-download-stops-at-the-cap", grown("DownloadConfig", HUGE), check=stopped_at_the_cap(CFG),
               wine=dict(serve={CFG: grown("DownloadConfig", WINE_HUGE)})),
    Row("version-file-download-stops-at-the-cap", serve={VER: grown("SetupLauncherVer", HUGE)},
        wine=dict(serve={VER: grown("SetupLauncherVer", WINE_HUGE)}),
        anchors=[VERSION_UNREADABLE, "更新ダイアログ処理を完了しました。"], check=stopped_at_the_cap(VER),
        installed="TAVO Net Shield"),
    Row("notices-download-stops-at-the-cap", server_notices=(9, [notice("サーバーのお知らせ")]),
        serve={"/SetupNotification.xml": grown("NotificationDataSet", HUGE)},
        wine=dict(serve={"/SetupNotification.xml": grown("NotificationDataSet", WINE_HUGE)}),
        anchors=["通知ファイルを更新します。", NOTICES_FAILED], check=stopped_at_the_cap("/SetupNotification.xml"),
        installed="TAVO Net Shield"),
    # A resumed download whose first answer had only a date for its validator.
    Row("package-resume-by-date", packages=[package(content=padded(GOOD, 50000))],
        rules={PKG: "close-after=20000 close-times=1 etag=none"}, anchors=["ハッシュ解析処理を完了しました。"],
        requests={PKG: 2}, installed="TAVO Net Shield",
        check=all_of(ranges_asked("", "bytes=20000-"),
                     lambda m, o: expect("the last If-Range", o.requests[-1][6], lambda v: v.endswith(" GMT")))),
    Row("package-206-to-a-plain-request", packages=[package(content=BIG, hash="0")], rules={PKG: "always-206=100"},
        page="error", result=6, requests={PKG: 3}, installed="", files={"tavo_tns.msi.part": None}),
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
    Row("every-request-from-the-origin", installed="TAVO Net Shield", check=lambda m, o: expect(
        "the user agents and Pragma headers", {(r[2], r[4]) for r in o.requests}, {("KOTA Install Launcher", "no-cache")})),
    Row("version-file-slow-body-ends-at-deadline", serve={VER: grown("SetupLauncherVer", 40000)},
        rules={VER: "drip-bytes=70 drip-ms=100"}, temp_files={"SetupLauncherVer.xml": EARLIER}, page="error",
        result=3, anchors=[DOWNLOAD_FAILED, VERSION_FAILED], check=timed_out),
    Row("version-file-head-trickled-ends", rules={VER: "head-drip-ms=500"}, temp_files={"SetupLauncherVer.xml": EARLIER},
        page="error", result=3, anchors=[DOWNLOAD_FAILED, VERSION_FAILED], check=timed_out),
    Row("config-407-named-as-proxy-login", rules={CFG: "status=407"}, page="error", result=4,
        anchors=["サーバーの応答：HTTP 407（プロキシの認証が必要です）", "設定ファイルのダウンロードに失敗しました。"]),
    Row("package-503-status-in-log", rules={PKG: "status=503"}, page="error", result=6, installed="",
        anchors=["サーバーの応答：HTTP 503", DOWNLOAD_FAILED + "(リトライ:0)"]),
    Row("retry-marker-in-the-users-temp-waits", rules={PKG: "status=500"}, temp_files={"$retry$.dat": b""},
        arrange=end_when_logged(WAITS), page=None, result=None, exit=-9, requests={PKG: 1},
        anchors=[DOWNLOAD_FAILED + "(リトライ:0)", WAITS]),
    # Every request of the run meets the proxy's 407: the run ends as when no server answered, and says why.
    Row("proxy-asks-every-request-for-a-login", servers=["http://tavo-download.invalid/"], rules={"*": "status=407"},
        args=["/quiet", "/proxy", "{server}"], page="error", result=3, exit=30000,
        anchors=["以下のプロキシサーバーを使用します。", "サーバーの応答：HTTP 407（プロキシの認証が必要です）",
                 "インストールランチャーバージョンファイルの取得に失敗しました。"]),
]
