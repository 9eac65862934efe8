#!/usr/bin/env python3
"""Builds a download server tree for the launcher from a folder of packages.

    publish.py DESCRIPTION.json OUTPUT_DIR --base-url http://127.0.0.1:8080/

The description names the packages (files in the folder given by "package_dir",
relative to the description) with their targeting, the launcher version file's
values and the notices. The tool copies the packages to OUTPUT_DIR/packages/,
computes each one's MD5 digest and size in KB, and writes DownloadConfig.xml,
SetupLauncherVer.xml and SetupNotification.xml, so that no digest is ever
typed in by hand. Optional files (a newer Setup.exe, a newer settings file)
are copied beside them and named in the version file.

With --sign-key KEY.pem --sign-cert CERT.pem every .exe and .msi package is
signed with osslsigncode (Authenticode, SHA-256) as it is copied, and its
digest and size are those of the signed file. --timestamp-url URL adds the
RFC 3161 timestamp of that time-stamping authority to every signature, which
keeps it valid after the certificate has expired; signing without one must be
asked for with --no-timestamp. A release launcher runs only
packages signed by a key it trusts. The launcher itself (setup_exe) is copied
as it is: scripts/release.sh signs it. Each package entry then also carries
PackageSha256, and every XML file of the tree gets its detached signature
beside it (<file>.sig: CMS SignedData in DER, SHA-256, with the signing time),
without which a release launcher reads none of them. Sign the files last, once
they are final: a file changed after its signature is refused.

Description (JSON; every key optional unless marked):
{
  "package_dir": "packages",
  "packages": [
    {"file": "tns64.msi",             (required)
     "name": "TAVO Net Shield",       PackageName (default: the file name)
     "version": "10.0.2032.10",       PackageVersion (default "1.0")
     "exec_type": 1, "error_skip": 0, "exec_success_code": 0,
     "architecture": 99, "product_type": 99, "target_os": 0,
     "is_manual": 0, "manual_type": 99, "launcher_version": 130,
     "save_file_path": "", "exec_command": "",
     "hash": "auto"                   "auto" (default), "0" for no check, or a text used as given
    }],
  "version_file": {
    "last_version": 2000000, "settings_version": 0, "notification_version": 0,
    "setup_exe": "path/to/Setup.exe", "settings": "path/to/SetupLauncherV2.xml",
    "latest": {"TVG": "0.0.0.0", "TNS": "10.0.2032.10", "TTS": "0.0.0.0", "TTSP": "0.0.0.0"}},
  "notification_version": 1,
  "notices": [{"title": "...", "url": "...", "color": "255,0,0",
               "condition_type": 2, "condition_value": 99}]
}
"""
import argparse
import hashlib
import json
import os
import shutil
import subprocess
import sys
from xml.sax.saxutils import escape


def digest_of(path, algorithm="md5"):
    digest = hashlib.new(algorithm)
    with open(path, "rb") as f:
        for block in iter(lambda: f.read(1 << 20), b""):
            digest.update(block)
    return digest.hexdigest()


def element(name, value):
    return "<%s>%s</%s>" % (name, escape(str(value)), name)


def xml_document(root, lines):
    """The document's text, with CR LF line ends."""
    return "".join(['<?xml version="1.0" encoding="UTF-8"?>\r\n<%s>\r\n' % root,
                    *("  %s\r\n" % line for line in lines), "</%s>\r\n" % root])


def write_xml(path, root, lines):
    with open(path, "w", encoding="utf-8", newline="") as f:
        f.write(xml_document(root, lines))


SIGNED_SUFFIXES = (".exe", ".msi")


def sign(source, target, signing):
    """Writes source to target signed with signing = (key, cert, timestamp URL or None)."""
    key, cert, tsa = signing
    command = ["osslsigncode", "sign", "-certs", cert, "-key", key, "-h", "sha256",
               "-in", source, "-out", target]
    if tsa:
        command[-4:-4] = ["-ts", tsa]
    if os.environ.get("SOURCE_DATE_EPOCH"):
        command[2:2] = ["-time", os.environ["SOURCE_DATE_EPOCH"]]
    try:
        # A signature takes well under a second; the bound keeps a stuck tool from hanging a publish.
        result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
    except (OSError, subprocess.TimeoutExpired) as e:
        sys.exit("publish: cannot sign %s: %s" % (source, e))
    if result.returncode != 0:
        if os.path.exists(target):
            os.remove(target)
        sys.exit("publish: signing %s failed:\n%s" % (source, result.stdout.decode(errors="replace")))


def sign_xml_files(out_dir, signing):
    """Writes <file>.sig beside every XML file of the tree: what a release launcher reads them under."""
    # The answers carry their own signing time, which the launcher compares; no timestamp is asked for.
    key, cert = signing[:2]
    for folder, _, names in os.walk(out_dir):
        for name in sorted(names):
            if not name.lower().endswith(".xml"):
                continue
            path = os.path.join(folder, name)
            # The signer's certificate goes inside: the launcher finds the signer's key there.
            command = ["openssl", "cms", "-sign", "-binary", "-outform", "DER", "-md", "sha256",
                       "-signer", cert, "-inkey", key, "-in", path, "-out", path + ".sig"]
            try:
                result = subprocess.run(command, stdout=subprocess.PIPE, stderr=subprocess.STDOUT, timeout=300)
            except (OSError, subprocess.TimeoutExpired) as e:
                sys.exit("publish: cannot sign %s: %s" % (path, e))
            if result.returncode != 0:
                sys.exit("publish: signing %s failed:\n%s" % (path, result.stdout.decode(errors="replace")))


def publish_packages(desc, desc_dir, out_dir, base_url, signing=None):
    package_dir = os.path.join(desc_dir, desc.get("package_dir", "packages"))
    target_dir = os.path.join(out_dir, "packages")
    os.makedirs(target_dir, exist_ok=True)
    lines = []
    packages = desc.get("packages", [])
    lines.append(element("PackageDownloadServerCount", len(packages)))
    for index, pkg in enumerate(packages):
        source = os.path.join(package_dir, pkg["file"])
        if not os.path.isfile(source):
            sys.exit("publish: package file not found: %s" % source)
        target = os.path.join(target_dir, pkg["file"])
        if signing and pkg["file"].lower().endswith(SIGNED_SUFFIXES):
            sign(source, target, signing)
        else:
            shutil.copyfile(source, target)
        # What the server serves is what the digest and the size describe.
        size = os.path.getsize(target)
        digest = pkg.get("hash", "auto")
        if digest == "auto":
            digest = digest_of(target)
        fields = [
            ("PackageDownloadURL", base_url + "packages/" + pkg["file"]),
            ("PackageVersion", pkg.get("version", "1.0")),
            ("PackageName", pkg.get("name", pkg["file"])),
            ("SaveFilePath", pkg.get("save_file_path", "")),
            ("ExecCommand", pkg.get("exec_command", "")),
            ("PackageHash", digest),
            ("PackageFileName", pkg["file"]),
            ("ExecType", pkg.get("exec_type", 1)),
            ("ErrorSkip", pkg.get("error_skip", 0)),
            ("ExecSuccessCode", pkg.get("exec_success_code", 0)),
            ("Architecture", pkg.get("architecture", 99)),
            ("PackageFileSize", (size + 1023) // 1024),
            ("ProductType", pkg.get("product_type", 99)),
            ("TargetOS", pkg.get("target_os", 0)),
            ("IsManual", pkg.get("is_manual", 0)),
            ("ManualType", pkg.get("manual_type", 99)),
            ("LauncherVersion", pkg.get("launcher_version", 130)),
            # Additive: launchers before it ignore the element; a release launcher requires it.
            ("PackageSha256", digest_of(target, "sha256") if signing else ""),
        ]
        body = "".join(element(k, v) for k, v in fields if v != "")
        lines.append("<Package%02d>%s</Package%02d>" % (index, body, index))
    write_xml(os.path.join(out_dir, "DownloadConfig.xml"), "DownloadConfig", lines)


def publish_version_file(desc, desc_dir, out_dir, base_url):
    vf = desc.get("version_file")
    if vf is None:
        return
    os.makedirs(os.path.join(out_dir, "launcher"), exist_ok=True)
    urls = {}
    for key, name in (("setup_exe", "Setup.exe"), ("settings", "SetupLauncherV2.xml")):
        urls[key] = base_url + "launcher/" + name
        if vf.get(key):
            shutil.copyfile(os.path.join(desc_dir, vf[key]), os.path.join(out_dir, "launcher", name))
            if name == "Setup.exe":
                os.chmod(os.path.join(out_dir, "launcher", name), 0o755)
    latest = vf.get("latest", {})
    data = [
        element("LastVersion", vf.get("last_version", 2000)),
        element("SetupNotificationVersion", vf.get("notification_version", desc.get("notification_version", 0))),
        element("SetupLauncherXMLVersion", vf.get("settings_version", 0)),
        element("SetupLauncherURL", urls["settings"]),
        element("SetupNotificationURL", base_url + "SetupNotification.xml"),
        element("SetupConflictURL", base_url + "SetupConflict.xml"),
        element("SetupExe", urls["setup_exe"]),
    ]
    for edition in ("TVG", "TNS", "TTS", "TTSP"):
        data.append(element(edition + "LatestVersion", latest.get(edition, "0.0.0.0")))
    write_xml(os.path.join(out_dir, "SetupLauncherVer.xml"), "SetupLauncherVer",
              ["<SetupLauncherVerData>" + "".join(data) + "</SetupLauncherVerData>"])


def publish_notices(desc, out_dir):
    if "notices" in desc:
        with open(os.path.join(out_dir, "SetupNotification.xml"), "w", encoding="utf-8", newline="") as f:
            f.write(notices_document(desc["notices"], desc.get("notification_version", 1)))


def notices_document(notices, version=1):
    """SetupNotification.xml, as the launcher reads it beside itself and from the server."""
    lines = [element("NotificationVersion", version),
             element("NotificationDataValueCount", len(notices))]
    for index, notice in enumerate(notices):
        fields = [("NFDTitle", notice.get("title", "")), ("NFDURL", notice.get("url", "")),
                  ("STRCOLOR", notice.get("color", "0,0,0")),
                  ("NFDConditionType", notice.get("condition_type", 2)),
                  ("NFDConditionValue", notice.get("condition_value", 99))]
        body = "".join(element(k, v) for k, v in fields if v != "")
        lines.append("<NotificationDataValue%02d>%s</NotificationDataValue%02d>" % (index, body, index))
    return xml_document("NotificationDataSet", lines)


def main():
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("description")
    parser.add_argument("output")
    parser.add_argument("--base-url", required=True, help="the server's address, e.g. http://127.0.0.1:8080/")
    parser.add_argument("--sign-key", help="sign the .exe and .msi packages and the XML files with this private key (PEM)")
    parser.add_argument("--sign-cert", help="the certificate of --sign-key (PEM)")
    parser.add_argument("--timestamp-url", help="RFC 3161 time-stamping authority for every signature")
    parser.add_argument("--no-timestamp", action="store_true", help="sign without a timestamp")
    args = parser.parse_args()
    if bool(args.sign_key) != bool(args.sign_cert):
        parser.error("--sign-key and --sign-cert go together")
    if args.sign_key and not args.timestamp_url and not args.no_timestamp:
        parser.error("signing needs --timestamp-url: without a timestamp every signature fails when the certificate "
                     "expires (--no-timestamp signs so anyway)")
    if (args.timestamp_url or args.no_timestamp) and not args.sign_key:
        parser.error("--timestamp-url and --no-timestamp need --sign-key")
    signing = (args.sign_key, args.sign_cert, args.timestamp_url) if args.sign_key else None
    base_url = args.base_url if args.base_url.endswith("/") else args.base_url + "/"
    with open(args.description, encoding="utf-8") as f:
        desc = json.load(f)
    desc_dir = os.path.dirname(os.path.abspath(args.description))
    os.makedirs(args.output, exist_ok=True)
    publish_packages(desc, desc_dir, args.output, base_url, signing)
    publish_version_file(desc, desc_dir, args.output, base_url)
    publish_notices(desc, args.output)
    if signing:
        sign_xml_files(args.output, signing)


if __name__ == "__main__":
    main()
