"""What an attacker of the elevated launcher arranges on a Windows machine, for the rows of the outcome matrix."""
import os
import struct
import subprocess
import threading
from pathlib import Path

from harness import wait_for

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
        def attacker():
            wait_for("the check of " + name, lambda: m.log().has(checked), step=0.02)
            planted = m.temp / (name + ".planted")
            planted.write_bytes(data)
            os.replace(planted, m.temp / name)
        threading.Thread(target=attacker, daemon=True).start()
    return arrange


def openssl(work, *args):
    subprocess.run(["openssl", *args], cwd=work, check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


def test_signers(work):
    """A test root and two code-signing certificates it issued, made for this row only."""
    openssl(work, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "root.key", "-out", "root.pem",
            "-days", "30", "-subj", "/CN=TAVO test root", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    for name in ("vendor", "other"):
        openssl(work, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
                "-subj", "/CN=TAVO test " + name)
        (work / (name + ".ext")).write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                            "extendedKeyUsage=codeSigning\n")
        openssl(work, "x509", "-req", "-in", name + ".csr", "-CA", "root.pem", "-CAkey", "root.key",
                "-CAcreateserial", "-days", "30", "-extfile", name + ".ext", "-out", name + ".pem")


def sign(work, exe, signer):
    signed = exe.with_name(exe.name + ".signed")
    subprocess.run(["osslsigncode", "sign", "-certs", str(work / (signer + ".pem")), "-key",
                    str(work / (signer + ".key")), "-ac", str(work / "root.pem"), "-n", "TAVO", "-in", str(exe),
                    "-out", str(signed)], check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    os.replace(signed, exe)


def self_update_signed(served):
    """The running launcher signed by the vendor's test key; the newer launcher on the server signed by the
    same key ("vendor"), by another one ("other"), signed and then changed by one byte ("changed"), or not at
    all (None)."""
    def arrange(m):
        # Wine 8's WinVerifyTrust does not ask for a trusted root, so the test root stays out of the prefix;
        # on Windows the vendor's certificate chains to one.
        test_signers(m.work)
        sign(m.work, m.launcher / "Setup.exe", "vendor")
        newer = m.server.root / "launcher" / "Setup.exe"
        if served:
            sign(m.work, newer, "other" if served == "other" else "vendor")
        if served == "changed":
            data = bytearray(newer.read_bytes())
            data[len(data) // 2] ^= 0xFF
            newer.write_bytes(bytes(data))
    return arrange
