"""Helpers of the rows on what the launcher finds where earlier launchers and the vendor's tools put it."""
import os
import signal
import threading

from checks import expect
from harness import launchers, wait_for


def read(path):
    try:
        return path.read_bytes()
    except OSError:
        return b""


def end_when_logged(line):
    """Ends the launcher once its log shows the line: a run that would wait minutes is seen to begin the wait."""
    def end(m):
        wait_for(line, lambda: m.log().has(line), step=0.05)
        for pid in m.session.launchers() if m.build != "linux" else launchers("SETUP_MACHINE", m.folder):
            os.kill(pid, signal.SIGKILL)
    return lambda m: threading.Thread(target=end, args=(m,), daemon=True).start()


def in_work_folder(m, want):
    """The files, by name, lie in the launcher's working folder with these contents."""
    return expect("the files in the working folder", {name: read(m.work_folder() / name) for name in want}, want)
