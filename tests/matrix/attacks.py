"""What an attacker of the elevated launcher arranges on a Windows machine, for the rows of the outcome matrix."""
import os
import struct
import subprocess
import threading
from pathlib import Path

from harness import DebugLog, wait_for

HERE = Path(__file__).parent


def mingw_arch(exe):
    """The mingw-w64 architecture whose programs match the PE file's machine."""
    data = exe.read_bytes()
    machine = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]
    return "x86_64" if machine == 0x8664 else "i686"


def plant_wininet(m):
    """A wininet.dll beside Setup.exe that marks its loading, and Wine told to prefer a DLL of the
    program's folder to its own, as Windows does for every DLL that is no KnownDLL."""
    gcc = mingw_arch(m.launcher / "Setup.exe") + "-w64-mingw32-gcc"
    subprocess.run([gcc, "-shared", "-o", str(m.launcher / "wininet.dll"), str(HERE / "planted_wininet.c")],
                   check=True)
    m.env["WINEDLLOVERRIDES"] = m.session.env["WINEDLLOVERRIDES"] + ";wininet=n,b"


def planted_dll_loaded(m):
    return list(m.launcher.glob("*.loaded"))


def swap_after_check(name, data, checked="ハッシュ解析処理を完了しました。"):
    """Puts another file in place of a downloaded one as soon as its check has passed, as any process of
    the user can in the temporary folder, while the launcher goes on with the next download."""
    def arrange(m):
        def log():
            path = m.debug_log_path()
            return DebugLog(path.read_bytes() if path.is_file() else b"")

        def attacker():
            wait_for("the check of " + name, lambda: log().has(checked), step=0.02)
            planted = m.temp / (name + ".planted")
            planted.write_bytes(data)
            os.replace(planted, m.temp / name)
        threading.Thread(target=attacker, daemon=True).start()
    return arrange
