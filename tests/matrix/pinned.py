"""A release build of the Windows Setup.exe that trusts two vendor keys made for the matrix, and the programs
its rows serve: signed by either vendor key, by another key, unsigned, or signed and then changed."""
import fcntl
import shutil
import struct
import subprocess

from attacks import mingw_arch
from keys import changed_after_signing, make_signers, sign
from harness import ROOT, RunError, run_bounded

VENDOR_KEYS = ("vendor", "next")  # the key in use and the one added before it retires, both pinned
BUILD_BOUND = 3600  # seconds: a first build of the whole launcher on a busy machine


def pinned_build(windows_build):
    """The release build (scripts/release.sh) that trusts both vendor keys, signed by the first, for the architecture
    of the Windows test build; made once beside it and kept with its keys, since it carries their digests."""
    folder = windows_build.parent / (windows_build.name + "-pinned")
    keys = folder / "test-keys"
    folder.mkdir(exist_ok=True)
    with open(folder / ".lock", "w") as lock:
        fcntl.flock(lock, fcntl.LOCK_EX)
        if not (keys / "other.pem").exists():
            shutil.rmtree(keys, ignore_errors=True)
            keys.mkdir()
            make_signers(keys, {name: "vendor" for name in (*VENDOR_KEYS, "other")}, days=3650)
        arch = mingw_arch(windows_build / "Setup.exe")
        made = run_bounded([str(ROOT / "scripts" / "release.sh"), "--key", str(keys / "vendor.key"),
                            "--cert", str(keys / "vendor.pem"), "--trust", str(keys / "next.pem"), "--arch", arch,
                            "--no-timestamp", "--allow-dirty",
                            "--build-dir", str(folder / "build"), "--out", str(folder / "release")],
                           "the release build with test keys", BUILD_BOUND, stdout=subprocess.PIPE,
                           stderr=subprocess.STDOUT, text=True)
        if made.returncode:
            raise RunError("the release build with test keys failed:\n" + made.stdout[-3000:])
    return folder / "release", keys


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


def place_program(keys, program, target, signer):
    """A copy of the program at target, signed by the signer ("changed": by the vendor, then one byte changed;
    None: unsigned)."""
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(program, target)
    windowless(target)
    if signer:
        sign(keys, target, "vendor" if signer == "changed" else signer)
    if signer == "changed":
        changed_after_signing(target)


def pinned(packages=(), launcher=None, local=None):
    """The row runs the release build's Setup.exe, signed by the first vendor key. packages: (server path,
    signer) of programs (a small test program of the Windows build); launcher: (signer, major version) of the newer
    launcher the server offers, made from the release Setup.exe; local: (path beside the launcher, signer) of a
    local installer."""
    def arrange(m):
        build, keys = pinned_build(m.session.build_dir)
        shutil.copy(build / "Setup.exe", m.launcher / "Setup.exe")
        program = m.session.build_dir / "bin" / "exit_code_child.exe"
        for path, signer in packages:
            place_program(keys, program, m.server.root / path.lstrip("/"), signer)
        if local:
            place_program(keys, program, m.launcher / local[0], local[1])
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
