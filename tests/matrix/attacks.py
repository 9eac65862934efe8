"""What an attacker of the elevated launcher arranges on a Windows machine, for the rows of the outcome matrix."""
import struct
import subprocess
from pathlib import Path

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
