"""Helpers of the rows on what the launcher finds where earlier launchers and the vendor's tools put it."""
import os
import signal
import threading
from pathlib import Path

from checks import expect
from harness import wait_for


def read(path):
    try:
        return path.read_bytes()
    except OSError:
        return b""


def end_when_logged(line):
    """Ends the launcher once its log shows the line: a run that would wait minutes is seen to begin the wait."""
    def end(m):
        wait_for(line, lambda: m.log().has(line), step=0.05)
        mark = b"SETUP_MACHINE=" + str(getattr(m, "folder", "")).encode() + b"\0"
        for pid in m.session.launchers() if m.build != "linux" else [
                int(d.name) for d in Path("/proc").glob("[0-9]*")
                if b"Setup.exe" in read(d / "cmdline") and mark in read(d / "environ")]:
            os.kill(pid, signal.SIGKILL)
    return lambda m: threading.Thread(target=end, args=(m,), daemon=True).start()


def in_work_folder(m, want):
    """The files, by name, lie in the launcher's working folder with these contents."""
    return expect("the files in the working folder", {name: read(m.work_folder() / name) for name in want}, want)
