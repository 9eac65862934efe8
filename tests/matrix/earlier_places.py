"""Helpers of the rows on what the launcher finds where earlier launchers and the vendor's tools put it."""
import os
import signal
import threading
from pathlib import Path

from harness import wait_for


def launchers(m):
    """The running Setup.exe processes of the row's machine."""
    if m.build != "linux":
        return m.session.launchers()
    mark = b"SETUP_MACHINE=" + str(m.folder).encode() + b"\0"
    pids = []
    for d in Path("/proc").glob("[0-9]*"):
        try:
            if b"Setup.exe" in (d / "cmdline").read_bytes() and mark in (d / "environ").read_bytes():
                pids.append(int(d.name))
        except OSError:
            pass
    return pids


def end_when_logged(line):
    """Ends the launcher as soon as its log shows the line: a run that would wait minutes is seen to begin the wait."""
    def arrange(m):
        def end():
            wait_for(line, lambda: m.log().has(line), step=0.05)
            for pid in launchers(m):
                os.kill(pid, signal.SIGKILL)
        threading.Thread(target=end, daemon=True).start()
    return arrange


def saved_in_work_folder(names):
    """The files saved to *USERTEMP* lie in the launcher's working folder, none in the user's Temp."""
    def check(m, o):
        found = {n: (m.work_folder() / n).read_bytes() if (m.work_folder() / n).is_file() else None for n in names}
        assert found == names and not any((m.temp / n).exists() for n in names), "saved to *USERTEMP*: %r" % found
        return True
    return check
