"""Keys and certificates that openssl makes for the rows, and programs that osslsigncode signs with them."""
import hashlib
import os
import shutil
import subprocess

CODE_SIGNING = "basicConstraints=CA:FALSE\nkeyUsage=critical,digitalSignature\nextendedKeyUsage=codeSigning\n"


def openssl(folder, *args, **kw):
    return subprocess.run(["openssl", *args], cwd=folder, timeout=60, check=True, stdout=subprocess.PIPE,
                          stderr=subprocess.DEVNULL, **kw).stdout


def make_root(folder, name="root", subject="TAVO test root", days=30):
    openssl(folder, "req", "-x509", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".pem",
            "-days", str(days), "-subj", "/CN=" + subject, "-addext", "basicConstraints=critical,CA:TRUE",
            "-addext", "keyUsage=critical,keyCertSign,cRLSign")


def issue(folder, name, subject, extensions, root="root", days=30):
    """A certificate for a key of its own, issued by the root."""
    (folder / (name + ".ext")).write_text(extensions)
    openssl(folder, "req", "-newkey", "rsa:2048", "-nodes", "-keyout", name + ".key", "-out", name + ".csr",
            "-subj", "/CN=" + subject)
    openssl(folder, "x509", "-req", "-in", name + ".csr", "-CA", root + ".pem", "-CAkey", root + ".key",
            "-CAcreateserial", "-days", str(days), "-extfile", name + ".ext", "-out", name + ".pem")


def make_signers(folder, signers, days=30):
    """A test root and a code-signing certificate it issued for each {name: subject}."""
    make_root(folder, days=days)
    for name, subject in signers.items():
        issue(folder, name, "TAVO test " + subject, CODE_SIGNING, days=days)


def key_digest(folder, name):
    """The SHA-256 of the certificate's SubjectPublicKeyInfo, as a release build pins it."""
    pem = openssl(folder, "x509", "-in", name + ".pem", "-pubkey", "-noout")
    return hashlib.sha256(openssl(folder, "pkey", "-pubin", "-outform", "DER", input=pem)).hexdigest()


def sign(folder, exe, signer):
    signed = exe.with_name(exe.name + ".signed")
    subprocess.run(["osslsigncode", "sign", "-certs", str(folder / (signer + ".pem")),
                    "-key", str(folder / (signer + ".key")), "-ac", str(folder / "root.pem"), "-n", "TAVO",
                    "-in", str(exe), "-out", str(signed)], timeout=120, check=True, stdout=subprocess.DEVNULL,
                   stderr=subprocess.DEVNULL)
    os.replace(signed, exe)


def sign_answer(folder, path, signer, out=None):
    """The detached CMS signature of a server file, as the vendor publishes it beside the file."""
    openssl(folder, "cms", "-sign", "-binary", "-outform", "DER", "-md", "sha256", "-in", str(path),
            "-signer", signer + ".pem", "-inkey", signer + ".key", "-out", str(out or str(path) + ".sig"))


def made_aside(out, fill):
    """out filled by fill(folder) beside it, with a test root and a "vendor" and an "other" key, then moved in
    whole: a build stopped half way leaves no folder that looks made."""
    made = out.with_name(out.name + ".tmp")
    shutil.rmtree(made, ignore_errors=True)
    made.mkdir(parents=True)
    make_signers(made, {"vendor": "vendor", "other": "other"})
    fill(made)
    shutil.rmtree(out, ignore_errors=True)
    made.rename(out)


def signed_answers(made):
    """For the signed-data tests: a file, its signatures by the "vendor" and the "other" key, and each key's digest."""
    (made / "answer.xml").write_bytes(b"<?xml version=\"1.0\"?>\r\n<Answer>1</Answer>\r\n")
    for name in ("vendor", "other"):
        sign_answer(made, made / "answer.xml", name, made / (name + ".sig"))
        (made / (name + ".digest")).write_text(key_digest(made, name))


def changed_after_signing(exe):
    """One byte of the DOS stub's text changed: the program still runs, its signature no longer matches."""
    data = exe.read_bytes()
    at = data.index(b"This program")
    exe.write_bytes(data[:at] + b"t" + data[at + 1:])


def signed_programs(made, program):
    """For the signature tests under Wine: copies of the program signed by the "vendor" and the "other" key,
    unsigned, and signed by the vendor then changed; each key's digest beside them."""
    for name in ("vendor", "other", "unsigned"):
        shutil.copy(program, made / (name + ".exe"))
        if name != "unsigned":
            sign(made, made / (name + ".exe"), name)
            (made / (name + ".digest")).write_text(key_digest(made, name))
    shutil.copy(made / "vendor.exe", made / "changed.exe")
    changed_after_signing(made / "changed.exe")


if __name__ == "__main__":
    #   python3 tests/matrix/keys.py signers DIR NAME...     a test root and a code-signing key for each name
    #   python3 tests/matrix/keys.py OUT_DIR PROGRAM.exe     the signed programs above
    import sys
    from pathlib import Path
    #   python3 tests/matrix/keys.py answers OUT_DIR         a file and its detached signatures
    if sys.argv[1] == "answers":
        made_aside(Path(sys.argv[2]), signed_answers)
    elif sys.argv[1] == "signers":
        make_signers(Path(sys.argv[2]), {name: name for name in sys.argv[3:]})
    else:
        made_aside(Path(sys.argv[1]), lambda made: signed_programs(made, Path(sys.argv[2])))
