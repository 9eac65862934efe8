"""A release build of Setup.exe (the Windows one, and the Linux one) that trusts two vendor keys made for the
matrix, and what its rows serve: programs signed by either vendor key, by another key, unsigned, or signed and
then changed; server files under the vendor's detached signatures, with each package's SHA-256."""
import fcntl
import functools
import hashlib
import re
import shutil
import struct
import subprocess
from urllib.parse import urlparse

from attacks import mingw_arch
from keys import changed_after_signing, key_digest, make_signers, sign, sign_answer
from harness import ROOT, RunError, run_bounded, windowless

VENDOR_KEYS = ("vendor", "next")  # the key in use and the one added before it retires, both pinned
BUILD_BOUND = 3600  # seconds: a first build of the whole launcher on a busy machine


def test_keys(folder):
    """The vendor keys and another one, made once beside the build that pins them."""
    keys = folder / "test-keys"
    if not (keys / "other.pem").exists():
        shutil.rmtree(keys, ignore_errors=True)
        keys.mkdir()
        make_signers(keys, {name: "vendor" for name in (*VENDOR_KEYS, "other")}, days=3650)
    return keys


def build_once(folder, lock, what, commands):
    """Runs the build's commands under the lock of its folder: the workers of a session share one build."""
    folder.mkdir(exist_ok=True)
    with open(lock, "w") as held:
        fcntl.flock(held, fcntl.LOCK_EX)
        keys = test_keys(folder)
        for command in commands(keys):
            made = run_bounded(command, what, BUILD_BOUND, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, text=True)
            if made.returncode:
                raise RunError("%s failed:\n%s" % (what, made.stdout[-3000:]))
    return keys


# The sources do not change during a test session: each build is brought up to date once per worker, not per row.
@functools.lru_cache(maxsize=None)
def pinned_linux_build(linux_build):
    """The Linux Setup.exe configured with both vendor keys, beside the Linux build (build/linux-pinned)."""
    folder = linux_build.parent / (linux_build.name + "-pinned")
    keys = build_once(folder, folder.parent / (folder.name + ".lock"), "the Linux build with test keys", lambda keys: (
        ["cmake", "-S", str(ROOT), "-B", str(folder), "-G", "Ninja", "-DTAVO_BUILD_TESTS=OFF",
         "-DCMAKE_BUILD_TYPE=RelWithDebInfo", "-DTAVO_PINNED_KEYS=" + ";".join(key_digest(keys, k) for k in VENDOR_KEYS)],
        ["cmake", "--build", str(folder), "--target", "Setup"]))
    return folder, keys


@functools.lru_cache(maxsize=None)
def pinned_build(windows_build):
    """The release build (scripts/release.sh) that trusts both vendor keys, signed by the first, for the architecture
    of the Windows test build; made once beside it and kept with its keys, since it carries their digests."""
    folder = windows_build.parent / (windows_build.name + "-pinned")
    keys = build_once(folder, folder / ".lock", "the release build with test keys", lambda keys: [[
        str(ROOT / "scripts" / "release.sh"), "--key", str(keys / "vendor.key"), "--cert", str(keys / "vendor.pem"),
        "--trust", str(keys / "next.pem"), "--arch", mingw_arch(windows_build / "Setup.exe"), "--no-timestamp",
        "--allow-dirty", "--build-dir", str(folder / "build"), "--out", str(folder / "release")]])
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


APPENDED = b"~TAVO signature appended~\n"


def place_program(keys, program, target, signer, appended=False):
    """A copy of the program at target, signed by the signer ("changed": by the vendor, then one byte changed;
    None: unsigned). A program of the simulated machine (appended) carries its signature appended."""
    target.parent.mkdir(parents=True, exist_ok=True)
    shutil.copy(program, target)
    if appended:
        if signer:
            sign_answer(keys, target, "vendor" if signer == "changed" else signer, target.with_name("sig"))
            der = target.with_name("sig").read_bytes()
            target.with_name("sig").unlink()
            body = target.read_bytes()
            if signer == "changed":
                body = body.replace(b"exit", b"exlt", 1)
            target.write_bytes(body + der + struct.pack("<I", len(der)) + APPENDED)
        return
    target.write_bytes(windowless(target.read_bytes()))
    if signer:
        sign(keys, target, "vendor" if signer == "changed" else signer)
    if signer == "changed":
        changed_after_signing(target)


def sha256_of(path):
    return hashlib.sha256(path.read_bytes()).hexdigest()


def sign_served(root, keys, answers, digests):
    """What the vendor publishes: each package's SHA-256 in DownloadConfig.xml, then a detached signature beside
    every XML file. answers: {served path: signer, None for no signature}, the vendor's for the others; digests:
    {package path: "missing" or "wrong"}."""
    config = root / "DownloadConfig.xml"
    if config.exists():
        def add(match):
            path = urlparse(re.search(r"<PackageDownloadURL>([^<]*)<", match.group(2)).group(1)).path
            served = root / path.lstrip("/")
            if digests.get(path) == "missing" or not served.is_file():
                return match.group(0)
            digest = sha256_of(served) if digests.get(path) != "wrong" else "0" * 64
            return match.group(1) + match.group(2) + "<PackageSha256>%s</PackageSha256>" % digest + match.group(3)
        text = config.read_bytes().decode("utf-8")
        config.write_bytes(re.sub(r"(<Package\d+>)(.*?)(</Package\d+>)", add, text).encode("utf-8"))
    for xml in root.rglob("*.xml"):
        signer = answers.get("/" + str(xml.relative_to(root)), "vendor")
        if signer:
            sign_answer(keys, xml, signer)


ANSWER_KINDS = {"/SetupLauncherVer.xml": "SetupLauncherVer", "/launcher/SetupLauncherV2.xml": "SetupLauncherV2",
                "/SetupNotification.xml": "SetupNotification", "/DownloadConfig.xml": "DownloadConfig"}


def record_ahead(m, keys, path, seconds=3600):
    """The machine remembers having accepted a vendor answer of that kind signed later than now: what the server
    now signs looks like a replay of an older answer."""
    import time
    key = r"HKEY_LOCAL_MACHINE\SOFTWARE\TAVO\Setup"
    values = {"SignedAnswerTime.%s.%s" % (ANSWER_KINDS[path], key_digest(keys, "vendor")): str(int(time.time()) + seconds)}
    if m.build == "linux":
        from harness import registry_text
        with open(m.folder / "registry.reg", "a", newline="") as f:
            f.write(registry_text({key: values}).split("\r\n", 2)[2])
    else:
        m.set_registry({key: values})


def recorded(m):
    """The kinds of server file whose signing time the launcher recorded in the machine's registry."""
    if m.build == "linux":
        text = (m.folder / "registry.reg").read_text(errors="replace")
    else:
        text = m.session.wine("reg", "query", r"HKLM\SOFTWARE\TAVO\Setup", "/reg:64", text=True).stdout
    return set(re.findall(r"SignedAnswerTime\.(\w+)\.", text))


def pinned(packages=(), launcher=None, local=None, answers=None, digests=None, ahead=(), earlier=None):
    """The row runs the release build's Setup.exe, signed by the first vendor key. packages: (server path,
    signer) of programs (a small test program of the Windows build, a script on the simulated machine); launcher:
    (signer, major version) of the newer launcher the server offers, made from the release Setup.exe; local:
    (path beside the launcher, signer) of a local installer; answers, digests: as sign_served; ahead: served
    paths whose kind the machine has accepted a newer answer of (record_ahead); earlier: the served path of an
    earlier vendor launcher (version 1, signed by the vendor) offered as a package."""
    def arrange(m):
        if m.build == "linux":
            build, keys = pinned_linux_build(m.build_dir)
            program = m.work / "program"
            program.write_bytes(m.program_that_ends_at_once())
        else:
            build, keys = pinned_build(m.session.build_dir)
            program = m.session.build_dir / "bin" / "exit_code_child.exe"
        shutil.copy(build / "Setup.exe", m.launcher / "Setup.exe")
        for path, signer in packages:
            place_program(keys, program, m.server.root / path.lstrip("/"), signer, m.build == "linux")
        if local:
            place_program(keys, program, m.launcher / local[0], local[1], m.build == "linux")
        if launcher:
            signer, major = launcher
            newer = m.server.root / "launcher" / "Setup.exe"
            shutil.copy(build / "Setup.exe", newer)
            with_version(newer, major)
            sign(keys, newer, signer)
        if earlier:
            served = m.server.root / earlier.lstrip("/")
            if m.build == "linux":
                place_program(keys, build / "Setup.exe", served, "vendor", appended=True)
            else:
                shutil.copy(build / "Setup.exe", served)
                with_version(served, 1)
                sign(keys, served, "vendor")
        sign_served(m.server.root, keys, answers or {}, digests or {})
        for path in ahead:
            record_ahead(m, keys, path)
    return arrange


if __name__ == "__main__":
    # The test command builds them ahead, beside the unit tests, so that no matrix worker waits on them:
    #   python3 tests/matrix/pinned.py build/windows
    #   python3 tests/matrix/pinned.py build/linux
    import sys
    from pathlib import Path
    build = Path(sys.argv[1]).resolve()
    linux = (build / "Setup.exe").read_bytes()[:4] == b"\x7fELF"
    print("the release build with test keys:", (pinned_linux_build if linux else pinned_build)(build)[0])
