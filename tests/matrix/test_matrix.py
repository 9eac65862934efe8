"""Runs every row of the outcome matrix against the real launcher of a build.

    python3 -m pytest tests/matrix [--builds linux,windows] [-k ROW]
"""
import dataclasses
import difflib
import re
import sys
from pathlib import Path

import pytest

from harness import (LinuxMachine, WineMachine, DEAD_SERVER, is_silent, notices_xml, settings_xml)
from rows import OS, ROWS, SILENT, on_wine

# The normalised logs of this worker's interactive Linux runs, by row: a silent row compares
# its log with its interactive twin's, which ran before it on the same worker.
INTERACTIVE_LOGS = {}

GOLDEN = Path(__file__).parent / "golden"
SEED = "[2026/01/01 09:00:00.000] [情報] [前回の実行の記録です。]\r\n"
NO_WINDOW = "ウィザードダイアログの表示に失敗しました。"


def make_machine(build, row, work, request):
    facts, wine_version = OS[row.os]
    if build == "linux":
        return LinuxMachine(work, Path(request.config.getoption("--linux-build")).resolve(), facts)
    return WineMachine(work, request.getfixturevalue("wine_session"), wine_version)


def arrange(row, m):
    """Puts the row's server, settings, files and machine state in place."""
    work = m.work
    source = work / "source"
    source.mkdir(exist_ok=True)
    if row.tls:
        m.serve_tls(row.tls)
    version_file = row.version_file
    if version_file and "setup_exe" in version_file:
        (source / "Setup.exe").write_bytes((m.launcher / "Setup.exe").read_bytes())
    if row.server_settings is not None:
        (source / "SetupLauncherV2.xml").write_text(settings_xml([m.server.url], **row.server_settings))
    m.server.publish(row.packages, version_file, row.server_notices, work)
    for path, edit in row.serve.items():
        served = m.server.root / path.lstrip("/")
        data = edit(served.read_bytes())
        if data is None:
            served.unlink()
        else:
            served.write_bytes(data)
    m.server.set_rules(row.rules)

    servers = [m.server.url if s == "own" else DEAD_SERVER if s == "dead" else s for s in row.servers]
    settings = settings_xml(servers, **row.settings).encode()
    notices = notices_xml(row.notices).encode() if row.notices is not None else None
    for name, data, edit in [("SetupLauncherV2.xml", settings, row.settings_edit),
                             ("SetupNotification.xml", notices, row.notices_edit)]:
        data = edit(data) if edit and data is not None else data
        if data is not None:  # an edit that gives None leaves the file out
            m.write_launcher_file(name, data)
    for name, data in row.launcher_files.items():
        m.write_launcher_file(name, data)

    if row.registry:
        m.set_registry(row.registry)
    for name, text in row.machine_files.items():
        m.write_machine_file(name, text)
    if row.log == "whole":
        m.debug_log_path().write_bytes(("\ufeff" + SEED).encode("utf-16-le"))
    for name, data in row.temp_files.items():
        (m.temp / name).parent.mkdir(exist_ok=True)
        (m.temp / name).write_bytes(data)
    if row.arrange:
        row.arrange(m)


def normalised(log, m):
    """The log's lines with the times, the folders and the port of this run replaced."""
    lines = [line for line in log.lines if "前回の実行の記録です。" not in line]
    out = []
    for line in lines:
        line = re.sub(r"^\[\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3}\]", "[TIME]", line)
        line = line.replace(str(m.work), "<WORK>").replace(m.server.url, "<SERVER>/")
        line = re.sub(r"127\.0\.0\.1:\d+", "127.0.0.1:<PORT>", line)
        line = re.sub(r"TAVOSetup-[0-9a-f]{16}", "TAVOSetup-<ID>", line)
        line = re.sub(r"プロセスID：\d+", "プロセスID：<PID>", line)
        out.append(line)
    return "\n".join(out) + "\n"


@pytest.mark.parametrize("row", ROWS, ids=[r.name for r in ROWS])
def test_row(build, row, work, request):
    if build == "windows" and row.linux_only:
        pytest.skip(row.linux_only)
    if build == "linux" and row.windows_only:
        pytest.skip(row.windows_only)
    if build == "windows":
        row = on_wine(row)
    m = make_machine(build, row, work, request)
    try:
        arrange(row, m)
        before = m.launcher_files()
        o = m.run(m.expand(row.args), row.keys)
        if build == "windows" and NO_WINDOW in o.log.texts():
            # Wine on a loaded machine now and then fails to make a window at all; a launcher that never opens
            # its dialog fails the row again on its second run, in a fresh machine.
            print("%s: %s once; the row runs again" % (row.name, NO_WINDOW), file=sys.stderr)
            m.stop()
            (work / "again").mkdir()
            m = make_machine(build, row, work / "again", request)
            arrange(row, m)
            before = m.launcher_files()
            o = m.run(m.expand(row.args), row.keys)
        check(row, m, o, before)
        if build == "linux" and not is_silent(row.args):
            INTERACTIVE_LOGS[row.name] = (row.keys, normalised(o.log, m))
        if row.golden and build == "linux":
            compare_golden(row.golden, normalised(o.log, m), request.config.getoption("--update-golden"))
        if row.twin is not None and build == "linux":
            compare_twin(row, normalised(o.log, m), work / "twin", request)
    finally:
        m.stop()


# What only the windows log: the start-up dialog's and the pages' set-up, the
# buttons clicked; and what only a silent run logs in their place.
SCREEN_LINES = {"ダイアログを表示しました。", "ダイアログの初期化処理を行います。", "ダイアログ背景を初期化します。",
                "コントロールの初期化処理を行います。", "タイマーの起動処理を行います。",
                "ダイアログの初期化処理を実行します。(お知らせ画面)", "ダイアログの初期化処理を実行します。（インストール画面）",
                "ダイアログの初期化処理を実行します。(完了画面)", "コントロールの初期化処理を実行します。",
                "サイレントモードで実行します。"}


def without_screen_lines(text):
    return "".join(line + "\n" for line in text.splitlines() if not re.search(
        r"\] \[(%s|.*ボタンをクリックしました。|.*（サイレントモード）|サイレントモードの終了コード：.*|コマンドライン：.*|ExitCode=.*)\]$" % "|".join(map(re.escape, SCREEN_LINES)), line))


def compare_twin(row, text, work, request):
    """The silent run's log equals the interactive run's, with the twin's keys, apart from the screen lines."""
    keys, interactive = INTERACTIVE_LOGS.get(row.name[:-len(SILENT)], (None, None))
    if keys == row.twin:  # the twin's own row ran with these keys
        compare_logs(without_screen_lines(interactive), without_screen_lines(text), "the interactive run of " + row.name)
        return
    twin = dataclasses.replace(row, args=[a for a in row.args if not is_silent([a])], keys=row.twin)
    work.mkdir()
    t = make_machine("linux", twin, work, request)
    try:
        arrange(twin, t)
        interactive = t.run(twin.args, twin.keys)
        compare_logs(without_screen_lines(normalised(interactive.log, t)), without_screen_lines(text),
                     "the interactive run of " + row.name)
    finally:
        t.stop()


def check(row, m, o, before):
    name = row.name
    # An interactive run exits with 0; a launcher ended by its successor is killed on Linux and ended
    # with 0 on Windows.
    want = row.exit if row.exit is not None else -9 if row.replaced and m.build == "linux" else 0
    assert o.exit_code == want, "%s: exit code %s\n%s" % (name, o.exit_code, o.screen[-2000:])
    texts = o.log.texts()
    if is_silent(row.args):
        assert not o.screen and not o.windows, "%s: a silent run showed %r" % (name, o.windows or o.screen[-2000:])
        if row.log != "absent" and "プログラムを開始します。" in texts:  # not where the log was given up
            assert "サイレントモードで実行します。" in texts and "サイレントモードの終了コード：%d" % row.exit in texts, \
                name + ": the silent run's own entries are missing"
    else:
        assert "サイレントモードで実行します。" not in texts, name + ": an interactive run logged a silent one's entry"
    if not m.build == "linux" and OS[row.os][0]["Architecture"] == 9:
        # The 32-bit launcher under WoW64 must see the 64-bit machine it runs on, wherever it surveyed it.
        # A run that reached the wizard's steps surveyed the machine first.
        if {"*****環境情報*****", "お知らせ画面をスキップします。", "インストールウィザードを表示します。"} & set(texts):
            names = [t for t in texts if t.startswith("オペレーティングシステム：")]
            assert names and all(t.endswith(" x64") for t in names), \
                "%s: the operating system logged, expected a 64-bit one: %r" % (name, names)
    if row.log in ("whole", "fresh"):
        why = o.log.whole()
        assert why is None, "%s: %s" % (name, why)
        assert row.log == "fresh" or o.log.texts()[0] == "前回の実行の記録です。", \
            name + ": the earlier run's log was not kept"
    else:
        assert not m.debug_log_path().is_file() and not any(p.is_file() for p in m.log_places()), \
            name + ": no log can be written here"
    if row.page is not None:
        assert (o.page, o.result) == (row.page, row.result), "%s: ended on %s with result %s\n%s" % (
            name, o.page, o.result, "\n".join(o.log.texts()[-25:]) or o.screen[-2000:])
    if row.box is not None and m.build == "linux":
        assert o.box == row.box, "%s: error box %s" % (name, o.box)
    at = 0
    for anchor in row.anchors:
        found = [i for i in range(at, len(texts)) if texts[i] == anchor or
                 (anchor.endswith("…") and texts[i].startswith(anchor[:-1]))]
        assert found, "%s: no %r after entry %d\n%s" % (name, anchor, at, "\n".join(texts[-40:]))
        at = found[0] + 1
    for text in row.absent:
        assert text not in texts, "%s: the log holds %r" % (name, text)
    paths = o.paths()
    for path, count in row.requests.items():
        assert paths.count(path) == count, "%s: %d requests for %s" % (name, paths.count(path), path)
    if row.installed is not None:
        assert (m.installed_product() or "") == row.installed, "%s: installed %r" % (name, m.installed_product())
    assert m.launcher_files() == before, name + ": the launcher's own files were changed"
    # A download's side file never outlives the run, whatever it ended with (a link is another's plant).
    parts = [str(p) for folder in [m.temp, *m.work_folders()] if folder.is_dir()
             for p in folder.rglob("*.part") if not p.is_symlink()]
    assert not parts, "%s: side files left: %r" % (name, parts)
    for file, want in {**row.temp_files, **row.files}.items():
        # What the launcher itself writes lies in its working folder, unless the server named the user's Temp.
        path = m.temp / file if file in row.temp_files or (m.temp / file).exists() else m.work_folder() / file
        if want is None:
            assert not path.exists(), "%s: %s is left" % (name, file)
        elif isinstance(want, int):
            assert path.stat().st_size == want, "%s: %s has %d bytes" % (name, file, path.stat().st_size)
        else:
            assert path.read_bytes() == want, "%s: %s was replaced" % (name, file)
    if m.build == "linux":
        last = o.screen[o.screen.rfind("-" * 60):] if "-" * 60 in o.screen else o.screen
        for fragment in row.screen:
            assert fragment in (last if not fragment.startswith("(") else o.screen), \
                "%s: the screen lacks %r\n%s" % (name, fragment, last)
    if row.check:  # a check fails by itself, naming what it expected and what it found
        assert row.check(m, o) is True, name + ": a check that does not say what it expected returned false"


def compare_golden(name, text, update):
    path = GOLDEN / (name + ".log")
    if update:
        path.parent.mkdir(exist_ok=True)
        path.write_text(text)
    assert path.exists(), "no golden log %s (--update-golden writes it)" % path
    compare_logs(path.read_text(), text, path)


def compare_logs(want, text, source):
    golden, got = want.splitlines(), text.splitlines()
    # The workers log beside the user-interface thread, so two entries a few
    # places apart may come in either order; the wording and the count of
    # every entry must be exactly the golden ones.
    moved = [line for i, line in enumerate(got) if line not in golden[max(i - 3, 0):i + 4]]
    assert sorted(got) == sorted(golden) and not moved, "the debug log differs from %s:\n%s" % (
        source, "\n".join(difflib.unified_diff(golden, got, lineterm="", n=1)))
