"""Whole runs of the real Setup.exe, for the outcome matrix.

A run arranges a machine, a loopback download server and a launcher folder,
starts the launcher of one build, answers it like a user, and collects what
the user and the machine are left with: the debug log, the requests the
server saw, the screen (Linux) and the files.

One machine adaptor per build:
  LinuxMachine  a simulated machine folder (SETUP_MACHINE) for the Linux build;
  WineMachine   a Wine prefix on a virtual display for the Windows Setup.exe,
                driven through its windows by the demo's Wine driver
                (tools/wine/wine_session.py).
Every wait here waits for an event (a log line, a window, a process), with a
bound that only keeps a broken run from hanging the suite.
"""
import fcntl
import hashlib
import json
import os
import re
import select
import shutil
import signal
import struct
import subprocess
import sys
import time
from pathlib import Path
from xml.sax.saxutils import escape

from tls import TestCa, TlsFront

ROOT = Path(__file__).resolve().parents[2]
sys.path[:0] = [str(ROOT / "tools" / "publish"), str(ROOT / "tools" / "wine")]
import publish  # noqa: E402
from wine_session import (BOUND, INFO_KEY, LogReader, RunError, WineSession, installed_product,  # noqa: E402,F401
                          launchers, registry_text, run_bounded, wait_for, wine_path)

notices_xml = publish.notices_document  # the server's writer serves the notices beside the launcher too

PUBLISH = ROOT / "tools" / "publish" / "publish.py"


def windowless(image):
    """The program marked as one of the Windows subsystem: Wine opens no console window for it, whose title,
    the program's path in the launcher's working folder, the driver would take for the launcher's."""
    data = bytearray(image)
    struct.pack_into("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 24 + 68, 2)
    return bytes(data)


SILENT_SWITCHES = ("quiet", "q", "qn", "silent", "verysilent", "s")
PASSIVE_SWITCHES = ("passive", "qb", "qr")  # shows its progress and asks nothing


def is_silent(args, switches=SILENT_SWITCHES):
    """The command line holds one of the switches (/quiet and its other spellings by default)."""
    return any(a.lower()[1:] in switches and a[:1] in "/-" for a in args)


# --- what a row arranges ---------------------------------------------------------

def sim_package(name="TAVO Net Shield", version="10.0.2032.10", *lines):
    """A package text for the simulated Windows Installer."""
    return "\n".join(["ProductName=" + name, "ProductVersion=" + version, *lines]) + "\n"


def package(**fields):
    """One package of the server tree: publishing fields plus its content."""
    p = {"file": "tavo_tns.msi", "name": "TAVO Net Shield", "version": "10.0.2032.10", "exec_type": 1,
         "architecture": 99, "product_type": 5, "target_os": 0, "hash": "auto",
         "content": sim_package("TAVO Net Shield", "10.0.2032.10", "ExitCode=0")}
    p.update(fields)
    return p


def notice(title, url="https://www.tavo-security.jp/support/", color="204,0,0", ctype=2, cvalue=99):
    return {"title": title, "url": url, "color": color, "condition_type": ctype, "condition_value": cvalue}


def xml_text(text):
    return escape(text, {'"': "&quot;"})


def settings_xml(servers, product_type=5, package_type=1, install_type=0, downloader_version=2000000,
                 settings_version=1, provider="KOTA", package_version="10.0", conflict_keys=(),
                 conflict_software=(), conflict_security_center=()):
    """The launcher settings file. Conflict lists hold (name, key) pairs or names."""
    x = ['<?xml version="1.0" encoding="UTF-8"?>', "<LaunchData>", "  <LaunchBase>"]
    for key, value in [("ProductType", product_type), ("PackageType", package_type), ("LineupType", 11),
                       ("PackageVersionWin", package_version), ("PackageVersionMac", "0.0"), ("ManualType", 99),
                       ("DownloaderVersion", downloader_version), ("SetupLauncherXMLVersion", settings_version),
                       ("ProviderType", provider), ("InstallType", install_type), ("EnableServerCheck", 0)]:
        x.append("    <%s>%s</%s>" % (key, value, key))
    x += ["  </LaunchBase>", "  <DownloadServerData>",
          "    <DownloadServerCount>%d</DownloadServerCount>" % len(servers)]
    x += ["    <DownloadServer%d>%s</DownloadServer%d>" % (i, xml_text(s), i) for i, s in enumerate(servers)]
    x += ["  </DownloadServerData>", "  <ConfrictRegistory>",
          "    <ConfrictDataCount>%d</ConfrictDataCount>" % max(len(conflict_keys) - 1, 0)]
    x += ['    <ConfrictPackage%02d PackageName="%s">%s</ConfrictPackage%02d>' % (i, xml_text(n), xml_text(k), i)
          for i, (n, k) in enumerate(conflict_keys)]
    x.append("  </ConfrictRegistory>")
    for parent, names in [("ConflictSoftware", conflict_software),
                          ("ConflictSecurityCenter", conflict_security_center)]:
        x += ["  <%s>" % parent, "    <%sCount>%d</%sCount>" % (parent, max(len(names) - 1, 0), parent)]
        x += ["    <%sName%02d>%s</%sName%02d>" % (parent, i, xml_text(n), parent, i) for i, n in enumerate(names)]
        x.append("  </%s>" % parent)
    x.append("</LaunchData>")
    return "\r\n".join(x) + "\r\n"


# --- the loopback download server ------------------------------------------------

class Server:
    """tools/dlserver on a free loopback port, serving trees made by publish.py."""

    def __init__(self, binary, work):
        self.root = work / "served"
        self.root.mkdir()
        self.rules_file = work / "rules"
        self.rules_file.write_text("")
        self.log_file = work / "requests.log"
        self.sent_file = work / "sent.log"
        port_file = work / "port"
        self.process = subprocess.Popen(
            [str(binary), "--root", str(self.root), "--port", "0", "--port-file", str(port_file),
             "--log", str(self.log_file), "--sent-log", str(self.sent_file), "--rules", str(self.rules_file)],
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        wait_for("the download server", lambda: port_file.exists() and port_file.read_text().strip(), 30)
        self.url = "http://127.0.0.1:%s/" % port_file.read_text().strip()

    def stop(self):
        self.process.terminate()
        self.process.wait(timeout=30)

    def publish(self, packages, version_file, notices, work):
        """Builds the tree; None leaves that file out of the tree."""
        desc_dir = work / "source"
        (desc_dir / "packages").mkdir(parents=True, exist_ok=True)
        desc = {"package_dir": "packages", "packages": []}
        for p in packages:
            p = dict(p)
            content, size = p.pop("content", ""), p.pop("size", 0)
            path = desc_dir / "packages" / p["file"]
            if size:
                with open(path, "wb") as f:
                    f.truncate(size)  # sparse: large without disk cost
            else:
                path.write_text(content)
            digest = hashlib.md5(path.read_bytes()).hexdigest() if p["hash"] in ("upper", "split") else None
            if p["hash"] == "upper":
                p["hash"] = digest.upper()
            elif p["hash"] == "split":  # as an XML editor may wrap it
                p["hash"] = digest[:16] + "\r\n" + digest[16:]
            desc["packages"].append(p)
        if version_file is not None:
            desc["version_file"] = dict(version_file)
        if notices is not None:
            desc["notification_version"] = notices[0]
            desc["notices"] = notices[1]
        (desc_dir / "description.json").write_text(json.dumps(desc, ensure_ascii=False))
        run_bounded([sys.executable, str(PUBLISH), str(desc_dir / "description.json"), str(self.root),
                     "--base-url", self.url], "publishing the server tree", check=True, stdout=subprocess.DEVNULL)
        if version_file is None:
            (self.root / "SetupLauncherVer.xml").unlink(missing_ok=True)
        if not packages:
            (self.root / "DownloadConfig.xml").unlink(missing_ok=True)

    def set_rules(self, rules):
        self.rules_file.write_text("".join("%s %s\n" % kv for kv in rules.items()))

    def sent(self, path):
        """The body bytes sent for the path, every answer added up."""
        lines = self.sent_file.read_text().splitlines() if self.sent_file.exists() else []
        return sum(int(line.split("\t")[1]) for line in lines if line.split("\t")[0] == path)

    def requests(self):
        if not self.log_file.exists():
            return []
        return [line.split("\t") for line in self.log_file.read_text(errors="replace").splitlines() if line]


# A loopback address on which nothing listens: port 1 is below every range the system hands out, so
# no server of another row can be given it between the row's arrangement and its run.
DEAD_SERVER = "http://127.0.0.1:1/"


# --- the debug log ------------------------------------------------------------------

class DebugLog(LogReader):
    """The debug log as the rows judge it."""

    def whole(self):
        """Why the log is not whole, or None."""
        if not self.raw:
            return "the debug log is empty or missing"
        if not self.raw.startswith(b"\xff\xfe") or self.boms != 1:
            return "the debug log must start with one byte-order mark and hold no other"
        if not self.raw.endswith(b"\r\x00\n\x00"):
            return "the debug log does not end with CR LF"
        bad = [line for line, e in zip(self.lines, self.entries) if e is None or "\r" in line or "\n" in line]
        return "lines that are no entries: %r" % bad[:3] if bad else None

    def errors(self):
        return [e.group(3) for e in self.entries if e and e.group(2) == "エラー"]

    def count(self, text):
        return self.texts().count(text)

    def has(self, text):
        """An entry equal to the text, or starting with it when the text ends with '…'."""
        if text.endswith("…"):
            return any(t.startswith(text[:-1]) for t in self.texts())
        return text in self.texts()

    def outcome(self):
        """(page, result) as the log tells them."""
        texts = self.texts()
        page, result = None, None
        for t in texts:
            m = re.fullmatch(r"エラー番号:(\d+)", t)
            if m:
                result = int(m.group(1))
            elif t.startswith("インストールが完了した為、"):
                result = 1
            if t == "エラー画面に遷移します(メイン画面)。":
                page = "error"
            elif t == "完了画面に遷移します。" and result == 1:
                page = "done"
            elif t == "インストールが完了した為、ランチャーを終了します。":
                page = "closed"
        return page, result


# --- a run's outcome -------------------------------------------------------------------

class Outcome:
    def __init__(self, log, requests, screen="", box=None, exit_code=None, windows=()):
        self.log, self.requests, self.screen, self.box, self.exit_code = log, requests, screen, box, exit_code
        self.windows = sorted(windows)  # the windows a silent run showed (Windows build)
        self.page, self.result = log.outcome()
        if box is not None:
            self.page = "box"

    def paths(self):
        return [r[1] for r in self.requests if len(r) > 1]


# --- the machines ------------------------------------------------------------------

class Machine:
    """What both adaptors share: a launcher folder, a server, the row's files."""

    build = None

    def __init__(self, work, setup_exe, dlserver):
        self.work = work
        self.launcher = work / "launcher"
        self.launcher.mkdir()
        shutil.copy(setup_exe, self.launcher / "Setup.exe")
        self.server = Server(dlserver, work)
        self.env = {}  # the row's additions to the launcher's environment

    def stop(self):
        if getattr(self, "front", None):
            self.front.stop()
        self.server.stop()

    def serve_tls(self, kind):
        """Puts a TLS front showing the certificate of that kind (tls.CERTIFICATES) before the server, whose
        address becomes the front's; the machine trusts the test root. The plain address stays plain_url."""
        ca = TestCa.get()
        self.trust_root(ca)
        self.front = TlsFront(ca, kind, self.server.url.rstrip("/").rsplit(":", 1)[1])
        self.server.plain_url, self.server.url = self.server.url, self.front.url

    def write_launcher_file(self, name, data):
        path = self.launcher / name
        path.parent.mkdir(parents=True, exist_ok=True)
        path.write_bytes(data if isinstance(data, bytes) else data.encode())

    def launcher_files(self):
        return {str(p.relative_to(self.launcher)): hashlib.md5(p.read_bytes()).hexdigest()
                for p in sorted(self.launcher.rglob("*")) if p.is_file()}

    def debug_log_path(self):
        """The debug log; a row that names its own with /log sets log_file."""
        return getattr(self, "log_file", None) or self.temp / "TAVODebugLog.txt"

    def log(self):
        return DebugLog.read(self.debug_log_path())

    def native(self, path):
        return str(path)

    def expand(self, args):
        """The row's arguments with {work} (the run's folder, as the build names it) and {server} (host:port)."""
        server = self.server.url.split("://", 1)[1].rstrip("/")
        return [a.replace("{work}", self.native(self.work)).replace("{server}", server) for a in args]

    def log_places(self):
        """Every debug log the machine holds, wherever the launcher may have put one."""
        return list(self.temp.rglob("TAVODebugLog.txt")) if self.temp.is_dir() else []

    def work_folders(self):
        """The launcher's private working folders under the system's temporary folder."""
        return sorted(self.system_temp.glob("TAVOSetup-*")) if self.system_temp.is_dir() else []

    def work_folder(self):
        found = self.work_folders()
        return found[-1] if found else self.system_temp / "TAVOSetup-none"


class LinuxMachine(Machine):
    build = "linux"

    def __init__(self, work, build_dir, os_facts):
        super().__init__(work, build_dir / "Setup.exe", build_dir / "bin" / "dlserver")
        self.build_dir = build_dir
        self.folder = work / "machine"
        self.folder.mkdir()
        self.temp = self.folder / "Temp"
        self.temp.mkdir()
        self.system_temp = self.folder / "Windows" / "Temp"
        ini = "[Windows]\n" + "".join("%s=%s\n" % kv for kv in os_facts.items())
        (self.folder / "machine.ini").write_text(ini)
        (self.folder / "eventlog.tsv").write_text("")
        self.set_registry({})
        self.msiexec = build_dir / "bin" / "msiexec.exe"
        run_bounded([str(self.msiexec), "--install-machine", str(self.folder)], "installing the simulated installer",
                    check=True, stdout=subprocess.DEVNULL)

    def set_registry(self, keys):
        (self.folder / "registry.reg").write_text(registry_text(keys))

    def trust_root(self, ca):
        (self.folder / "roots.pem").write_bytes(ca.root.read_bytes())

    def write_machine_file(self, name, text):
        (self.folder / name).write_text(text)

    def installed_product(self):
        m = re.search(r'\[%s\][^[]*?"ProductName"="([^"]*)"' % re.escape(INFO_KEY),
                      (self.folder / "registry.reg").read_text())
        return m.group(1) if m else None

    def local_installer(self, relative, package_text):
        """The edition's installer beside the launcher: the simulated installer under its name."""
        path = self.launcher / relative
        path.parent.mkdir(parents=True, exist_ok=True)
        run_bounded([str(self.msiexec), "--install-as", str(path)], "placing a local installer", check=True,
                    stdout=subprocess.DEVNULL)
        path.with_suffix(".pkg").write_text(package_text)
        for name in ("cfg.xml", "dpkg.xml"):
            (path.parent / name).write_text("<%s/>\n" % name[:-4])

    def machine_folder_instead_of(self, name):
        path = self.folder / name
        path.unlink(missing_ok=True)
        path.mkdir()

    def temp_folder_is_a_file(self):
        self.temp = self.folder / "not-a-folder"
        self.temp.write_text("a file, not a folder\n")
        with open(self.folder / "machine.ini", "a") as f:
            f.write("[Folders]\nTemp=not-a-folder\n")

    def log_places(self):
        """Debug logs anywhere on the machine but the launcher's own working folders."""
        return [p for p in self.folder.rglob("TAVODebugLog.txt") if self.system_temp not in p.parents]

    def product_file(self, name):
        """A file of the installed product (the simulated installer's install folder)."""
        path = self.folder / "Program Files" / "TAVO" / "TAVO Security" / name
        return path.read_text() if path.exists() else None

    def shell_log(self):
        path = self.folder / "shell.log"
        return path.read_text().splitlines() if path.exists() else []

    def program_that_ends_at_once(self):
        return b"#!/bin/sh\nexit 0\n"

    def hold_object(self, name, owner="S-1-5-32-544", owned=False):
        """A named object of the machine, held by this process until the row ends (owned: a mutex that is
        owned); gives its release."""
        (self.folder / "Objects").mkdir(exist_ok=True)
        f = open(self.folder / "Objects" / name, "w+")
        f.write("owner=%s\n" % owner)
        f.flush()
        fcntl.lockf(f, fcntl.LOCK_EX if owned else fcntl.LOCK_SH)
        self.held = getattr(self, "held", []) + [f]
        return f.close

    def busy_installer(self):
        """Another installation holds the Windows Installer; gives the end of it."""
        return self.hold_object("_MSIExecute", owned=True)

    def use_bundle(self):
        """Starts the launcher from a program that is also named Setup.exe (the system shell under that
        name), as a bundle that installs the product does; it says so when it outlives the launcher."""
        self.bundle = self.work / "bundle" / "Setup.exe"
        self.bundle.parent.mkdir()
        shutil.copy("/bin/sh", self.bundle)

    def run(self, args=(), keys="", bound=BOUND):
        # The whole exit code comes on the channel the simulated machine's programs report it on.
        channel, report = os.pipe()
        command = [str(self.launcher / "Setup.exe"), *args]
        if getattr(self, "bundle", None):
            command = [str(self.bundle), "-c", '"$0" "$@"; echo "bundle:$?"', *command]
        env = {k: v for k, v in os.environ.items() if k not in ("TMP", "TEMP")}
        env.update(SETUP_MACHINE=str(self.folder), TERM="dumb", TAVO_EXIT_CODE_FD="3", **self.env)
        process = subprocess.Popen(["/bin/bash", "-c", 'exec "$0" "$@" 3>&%d' % report, *command], cwd=self.launcher,
                                   env=env, stdin=subprocess.PIPE, stdout=subprocess.PIPE, stderr=subprocess.STDOUT,
                                   start_new_session=True, pass_fds=(report,))
        os.close(report)
        try:
            out, _ = process.communicate(keys.encode(), timeout=bound)
        except subprocess.TimeoutExpired:
            os.killpg(process.pid, signal.SIGKILL)
            out, _ = process.communicate()
            raise RunError("the launcher did not end:\n" + out.decode(errors="replace")[-3000:])
        finally:
            reported = (os.read(channel, 256) if select.select([channel], [], [], 0)[0] else b"").split()
            os.close(channel)
        code = process.returncode
        if reported and code >= 0 and int(reported[-1]) & 0xFF == code:
            code = int(reported[-1])
        screen = out.decode(errors="replace")
        box = re.search(r"\[エラー\] .*\(ErrorNumber=(-?\d+)\)", screen)
        return Outcome(self.log(), self.server.requests(), screen, int(box.group(1)) if box else None, code)


class MatrixWineSession(WineSession):
    """The session of the matrix's Windows rows: the machine may trust the test root, and a run may be silent."""

    log_reader = DebugLog

    def trust_root(self, ca):
        """Puts the test root into the prefix's machine Root store, as crypt32 keeps it in the registry:
        one key per certificate, named by its SHA-1, whose Blob is the certificate as a serialized store
        element (property 32, the encoded certificate). Both registry views; close takes it out again."""
        if getattr(self, "root_keys", None):
            return
        der = ca.root_der()
        blob = struct.pack("<III", 32, 1, len(der)) + der
        key = r"HKEY_LOCAL_MACHINE\SOFTWARE\Microsoft\SystemCertificates\Root\Certificates\%s" % \
            hashlib.sha1(der).hexdigest().upper()
        path = self.work / "root.reg"
        path.write_text("Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n\"Blob\"=hex:%s\r\n" % (
            key, ",".join("%02x" % b for b in blob)), encoding="utf-16")
        self.root_keys = [key]
        for view in ("/reg:64", "/reg:32"):
            self.wine("reg", "import", str(path), view, check=True)

    def close(self):
        for key in getattr(self, "root_keys", []):
            for view in ("/reg:64", "/reg:32"):
                self.wine("reg", "delete", key, view, "/f")
        super().close()

    def run_silent(self, launcher, args, log_path, bound=BOUND):
        """Starts Setup.exe as a management tool does and answers nothing, until every launcher of the
        prefix has ended. Gives the debug log, the exit code (cmd's start /wait keeps all 32 bits) and
        the names of every window, shown or hidden, of a Setup.exe seen meanwhile."""
        # A management tool's script: start /wait, then %ERRORLEVEL% on a line of its own.
        script = self.work / "deploy.bat"
        script.write_text("@echo off\r\nstart /wait Setup.exe %*\r\necho exit:%ERRORLEVEL%\r\n")
        first = subprocess.Popen([self.loader, "cmd", "/c", wine_path(script), *args],
                                 cwd=launcher, env=self.env, stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        windows, end = set(), time.monotonic() + bound
        while first.poll() is None or self.launchers():
            for w in self.xdotool("search", "--classname", "^setup").split():
                windows.add(self.xdotool("getwindowname", w).strip() or w)
            if time.monotonic() > end:
                for pid in self.launchers():
                    os.kill(pid, signal.SIGKILL)
                first.kill()
                raise RunError("the silent launcher did not end; windows: %r" % windows)
            time.sleep(0.2)
        code = re.search(rb"exit:(-?\d+)", first.stdout.read())
        return DebugLog.read(log_path), code and int(code.group(1)), windows


class WineMachine(Machine):
    build = "windows"

    def __init__(self, work, session, version):
        super().__init__(work, session.build_dir / "Setup.exe", session.build_dir / "host" / "dlserver")
        self.session = session
        self.temp = session.temp
        self.system_temp = session.temp.parents[2] / "windows" / "temp"
        for p in [*self.temp.iterdir(), *self.work_folders()]:
            shutil.rmtree(p) if p.is_dir() else p.unlink()
        # The Windows version Wine reports to Setup.exe is the row's; nothing else changes it between rows.
        if session.version != version:
            app_defaults = r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\Setup.exe"
            session.seed_registry({app_defaults: {"Version": version} if version else None}, work)
            session.version = version

    def set_registry(self, keys):
        self.session.seed_registry(keys, self.work)

    def trust_root(self, ca):
        self.session.trust_root(ca)

    def user_environment(self, values):
        """Sets variables of HKCU\\Environment, which Wine, as Windows, gives every new process; stop puts
        the earlier values back."""
        for name, value in values.items():
            r = self.session.wine("reg", "query", r"HKCU\Environment", "/v", name, text=True)
            m = re.search(r"REG_\w+\s+(.*)", r.stdout)
            self.environment_before = getattr(self, "environment_before", {})
            self.environment_before.setdefault(name, m.group(1).strip() if m else None)
            self.session.wine("reg", "add", r"HKCU\Environment", "/v", name, "/d", value, "/f", check=True)

    def stop(self):
        # The row's keys and the product's go, for the next row.
        self.set_registry({key: None for key in [*self.session.keys, r"HKEY_LOCAL_MACHINE\SOFTWARE\TAVO"]})
        for name, value in getattr(self, "environment_before", {}).items():
            if value is None:
                self.session.wine("reg", "delete", r"HKCU\Environment", "/v", name, "/f")
            else:
                self.session.wine("reg", "add", r"HKCU\Environment", "/v", name, "/t", "REG_EXPAND_SZ", "/d", value,
                                  "/f")
        super().stop()

    def installed_product(self):
        r = self.session.wine("reg", "query", INFO_KEY, "/v", "ProductName", "/reg:64", text=True)
        m = re.search(r"REG_SZ\s+(.*)", r.stdout)
        return m.group(1).strip() if m else None

    def run(self, args=(), keys="", bound=BOUND):
        if is_silent(args, SILENT_SWITCHES + PASSIVE_SWITCHES):  # nobody answers either
            log, code, windows = self.session.run_silent(self.launcher, args, self.debug_log_path(), bound)
            return Outcome(log, self.server.requests(), exit_code=code, windows=windows)
        log, box, code = self.session.drive(self.launcher, args, self.debug_log_path(), bound, self.work / "hang.png",
                                            env=self.env)
        return Outcome(log, self.server.requests(), box=box, exit_code=code)

    def program_that_ends_at_once(self):
        return windowless((self.session.build_dir / "bin" / "exit_code_child.exe").read_bytes())

    def native(self, path):
        return wine_path(path)

    def busy_installer(self):
        """Another installation holds the Windows Installer's mutex; gives the end of it."""
        holder = subprocess.Popen([self.session.loader, str(self.session.build_dir / "bin" / "exit_code_child.exe"),
                                   "0", "600000", "Global\\_MSIExecute"], env=self.session.env,
                                  stdout=subprocess.PIPE, stderr=subprocess.DEVNULL)
        if not select.select([holder.stdout], [], [], 30)[0] or not holder.stdout.readline():  # "held"
            holder.kill()
            raise RunError("the busy installer's mutex was not taken within 30 s")
        return lambda: (holder.kill(), holder.wait())
