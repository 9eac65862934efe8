"""A release build of the Windows Setup.exe that trusts two vendor keys made for the matrix, and the programs
its rows serve: signed by either vendor key, by another key, unsigned, or signed and then changed."""
import fcntl
import hashlib
import shutil
import struct
import subprocess

from attacks import changed_after_signing, openssl
from harness import ROOT, run_bounded

VENDOR_KEYS = ("vendor", "next")  # the key in use and the one added before it retires, both pinned
BUILD_BOUND = 3600  # seconds: a first build of the whole launcher on a busy machine


def make_keys(keys):
    openssl(keys, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", "root.key", "-out", "root.pem",
            "-days", "3650", "-subj", "/CN=TAVO test root", "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")
    (keys / "signer.ext").write_text("basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\n"
                                     "extendedKeyUsage=codeSigning\n")
    for name in (*VENDOR_KEYS, "other"):
        openssl(keys, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
                "-subj", "/CN=TAVO test vendor")
        openssl(keys, "x509", "-req", "-in", name + ".csr", "-CA", "root.pem", "-CAkey", "root.key",
                "-CAcreateserial", "-days", "3650", "-extfile", "signer.ext", "-out", name + ".pem")


def key_digest(keys, name):
    """The SHA-256 of the certificate's SubjectPublicKeyInfo, as the release build pins it."""
    pub = subprocess.run(["openssl", "x509", "-in", str(keys / (name + ".pem")), "-pubkey", "-noout"], check=True,
                         capture_output=True, timeout=60).stdout
    der = subprocess.run(["openssl", "pkey", "-pubin", "-outform", "DER"], input=pub, check=True,
                         capture_output=True, timeout=60).stdout
    return hashlib.sha256(der).hexdigest()


def pinned_build(windows_build):
    """Built once beside the Windows build and kept: the keys with it, since the build carries their digests."""
    build = windows_build.parent / (windows_build.name + "-pinned")
    keys = build / "test-keys"
    build.mkdir(exist_ok=True)
    with open(build / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (keys / "other.pem").exists():
            shutil.rmtree(keys, ignore_errors=True)
            keys.mkdir()
            make_keys(keys)
        pins = ";".join(key_digest(keys, name) for name in VENDOR_KEYS)
        run_bounded(["cmake", "-S", str(ROOT), "-B", str(build), "-G", "Ninja", "-DCMAKE_BUILD_TYPE=Release",
                     "-DTAVO_BUILD_TESTS=OFF", "-DCMAKE_TOOLCHAIN_FILE=" + str(ROOT / "cmake" / "mingw-i686.cmake"),
                     "-DTAVO_PINNED_KEYS=" + pins], "configuring the pinned build", 600, check=True,
                    stdout=subprocess.DEVNULL)
        run_bounded(["cmake", "--build", str(build), "--target", "Setup", "-j", "2"], "the pinned build",
                    BUILD_BOUND, check=True, stdout=subprocess.DEVNULL)
    return build, keys


def sign(keys, exe, signer):
    signed = exe.with_name(exe.name + ".signed")
    run_bounded(["osslsigncode", "sign", "-certs", str(keys / (signer + ".pem")), "-key", str(keys / (signer + ".key")),
                 "-ac", str(keys / "root.pem"), "-n", "TAVO", "-in", str(exe), "-out", str(signed)], "osslsigncode",
                check=True, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    signed.replace(exe)


def with_version(exe, major):
    """The program's file version (its VS_FIXEDFILEINFO) set to major.0.0.0."""
    data = bytearray(exe.read_bytes())
    # The fixed part follows the resource's key "VS_VERSION_INFO" and its padding.
    key = "VS_VERSION_INFO\0".encode("utf-16-le")
    at = data.find(key)
    while struct.unpack_from("<I", data, at + 34)[0] != 0xFEEF04BD:
        at = data.find(key, at + 1)
    at += 34
    struct.pack_into("<II", data, at + 8, major << 16, 0)
    exe.write_bytes(bytes(data))


def windowless(exe):
    """The program marked as one of the Windows subsystem: Wine opens no console window for it, whose title,
    the program's path in the launcher's working folder, the driver would take for the launcher's."""
    data = bytearray(exe.read_bytes())
    struct.pack_into("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 24 + 68, 2)
    exe.write_bytes(bytes(data))


def serve_program(m, keys, program, path, signer):
    """A copy of the program at the server path, signed by the signer ("changed": by the vendor, then one byte
    changed; None: unsigned)."""
    target = m.server.root / path.lstrip("/")
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(program, target)
    windowless(target)
    if signer:
        sign(keys, target, "vendor" if signer == "changed" else signer)
    if signer == "changed":
        changed_after_signing(target)
    return target


def pinned(packages=(), launcher=None, local=None):
    """The row runs the pinned build's Setup.exe, unsigned itself. packages: (server path, signer) of programs
    (a small test program of the Windows build); launcher: (signer, major version) of the newer launcher
    the server offers, made from the pinned Setup.exe; local: (path beside the launcher, signer) of a local
    installer."""
    def arrange(m):
        build, keys = pinned_build(m.session.build_dir)
        shutil.copy(build / "Setup.exe", m.launcher / "Setup.exe")
        program = m.session.build_dir / "bin" / "exit_code_child.exe"
        for path, signer in packages:
            serve_program(m, keys, program, path, signer)
        if local:
            target = m.launcher / local[0]
            target.parent.mkdir(parents=True, exist_ok=True)
            shutil.copy(program, target)
            if local[1]:
                sign(keys, target, local[1])
        if launcher:
            signer, major = launcher
            newer = m.server.root / "launcher" / "Setup.exe"
            shutil.copy(build / "Setup.exe", newer)
            with_version(newer, major)
            sign(keys, newer, signer)
    return arrange


if __name__ == "__main__":
    # The test command builds it ahead, beside the unit tests, so that no matrix worker waits on it:
    #   python3 tests/matrix/pinned.py build/windows
    import sys
    from pathlib import Path
    print("the release build with test keys:", pinned_build(Path(sys.argv[1]).resolve())[0])
