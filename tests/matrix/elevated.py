"""What a process of the user arranges against the elevated launcher's files, programs and paths, for the rows of
the outcome matrix: a probe installer that records its folder and environment, /log paths at foreign files and
through links, a log folder swapped after its check."""
import os
import re
import threading

from checks import expect
from harness import wait_for

USER_MARK = "TAVO_USER_MARK"
# A command package that writes its current folder, then its environment, where the row reads them: the machine's
# folder on Linux (SETUP_MACHINE is the machine's own), the Windows folder's Temp under Wine.
PROBE_LINUX = '/bin/sh -c "pwd >$SETUP_MACHINE/probe.txt; env >>$SETUP_MACHINE/probe.txt"'
PROBE_WINE = r'cmd /c "cd >%SystemRoot%\temp\tavo-probe.txt & set >>%SystemRoot%\temp\tavo-probe.txt"'


def probe_file(m):
    return m.folder / "probe.txt" if m.build == "linux" else m.system_temp / "tavo-probe.txt"


def user_values(m):
    """A variable of the user's and a folder of theirs first on PATH: in the launcher's environment on Linux, in
    HKCU\\Environment under Wine."""
    probe_file(m).unlink(missing_ok=True)
    if m.build == "linux":
        m.env.update({USER_MARK: "the user's", "PATH": "%s:%s" % (m.work / "userbin", os.environ["PATH"])})
    else:
        m.user_environment({USER_MARK: "the user's"})


def probe_saw_only_the_machine(m, o):
    lines = probe_file(m).read_text(errors="replace").splitlines()
    probe_file(m).unlink()
    folder = lines[0].strip().replace("\\", "/").lower()
    private = re.compile(r"(c:/windows/temp|%s)/tavosetup-[0-9a-f]{16}$" % re.escape(str(m.system_temp).lower()))
    env = dict(line.split("=", 1) for line in lines[1:] if "=" in line)
    temp = {k.upper(): v.replace("\\", "/").lower().rstrip("/") for k, v in env.items()
            if k.upper() in ("TEMP", "TMP")}
    return (expect("the program's current folder (the private one)", folder, lambda f: private.match(f)) and
            expect("the user's variable in the program's environment", env.get(USER_MARK), None) and
            expect("the program's PATH (none of the user's folders)", [v for k, v in env.items() if k.upper() == "PATH"],
                   lambda path: "userbin" not in str(path)) and
            expect("the program's TEMP and TMP (its current folder %s)" % folder, set(temp.values()), {folder}))


def foreign_files(m, names):
    """Files of another program where /log points: each must stay as it was."""
    m.foreign = {}
    for name in names:
        path = m.work / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(b"[boot]\r\nshell=explorer.exe\r\n")
        m.foreign[path] = path.read_bytes()


def foreign_files_unchanged(m, o):
    return expect("the foreign files changed", [str(p) for p, data in m.foreign.items() if p.read_bytes() != data], [])


def linked_log_folder(m):
    """/log names a folder under a link to a folder elsewhere (a junction on Windows)."""
    (m.work / "behind").mkdir()
    (m.work / "linked").symlink_to(m.work / "behind")


def nothing_behind(m, o):
    return expect("files made behind the link", list((m.work / "behind").rglob("*")), [])


def swap_log_folder(m):
    """Once the launcher has written its log at /log, a process of the user moves the log's folder away and puts a
    link to a folder elsewhere in its place."""
    m.log_file = m.work / "logs" / "tavo.log"
    m.log_file.parent.mkdir()
    (m.work / "behind").mkdir()

    def attacker():
        wait_for("the first entry at /log", lambda: m.log_file.is_file() and m.log_file.stat().st_size > 0, step=0.01)
        os.rename(m.work / "logs", m.work / "logs.moved")
        (m.work / "logs").symlink_to(m.work / "behind")
        m.log_file = m.work / "logs.moved" / "tavo.log"
    threading.Thread(target=attacker, daemon=True).start()
