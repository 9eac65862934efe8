"""Setup.exe under Wine, answered as a user would answer it.

One virtual display and one Wine prefix; the machine's registry seeded through
Wine's reg and read back; a driver that answers each page through its window
with xdotool, knowing what the launcher shows from its debug log. The demo's
Windows run and the Windows rows of the tests' outcome matrix both use it.
Every wait here waits for an event (a log line, a window, a process), with a
bound that only keeps a broken run from hanging.
"""
import fcntl
import os
import re
import shutil
import signal
import struct
import subprocess
import sys
import time
from pathlib import Path

BOUND = int(os.environ.get("TAVO_RUN_BOUND", "120"))  # seconds: no whole run takes this long unless it hangs

WINE64 = "/usr/lib/wine/wine64"

INFO_KEY = r"HKEY_LOCAL_MACHINE\SOFTWARE\TAVO\TAVO Security\CurrentVersion\Info"


class RunError(AssertionError):
    pass


def run_bounded(command, what, bound=60, **kw):
    try:
        return subprocess.run(command, timeout=bound, **kw)
    except subprocess.TimeoutExpired:
        raise RunError("%s hung: no end after %d s (%s)" % (what, bound, " ".join(map(str, command))[:200]))


def wait_for(what, check, bound=BOUND, step=0.1):
    end = time.monotonic() + bound
    while True:
        value = check()
        if value:
            return value
        if time.monotonic() > end:
            raise RunError("timed out waiting for " + what)
        time.sleep(step)


def registry_text(keys):
    """A .reg file (64-bit view paths): {key: {name: value}}; a value None deletes the key."""
    out = ["Windows Registry Editor Version 5.00", ""]
    for key, values in keys.items():
        if values is None:
            out += ["[-%s]" % key, ""]
            continue
        out.append("[%s]" % key)
        for name, value in values.items():
            if name == ";@AccessDenied":
                out.append(name)
            else:
                out.append('"%s"="%s"' % (name, value.replace("\\", "\\\\").replace('"', '\\"')))
        out.append("")
    return "\r\n".join(out) + "\r\n"


def installed_product(name, version="10.0.2032.10"):
    return {INFO_KEY: {"ProductName": name, "ProductVersion": version,
                       "InstallDir": "C:\\Program Files\\TAVO\\TAVO Security\\"}}


# --- the debug log ------------------------------------------------------------------

ENTRY = re.compile(r"^\[(\d{4}/\d\d/\d\d \d\d:\d\d:\d\d\.\d{3})\] \[(情報|エラー)\] \[(.*)\]$", re.S)


class LogReader:
    """TAVODebugLog.txt: UTF-16LE with one byte-order mark, CR LF, "[time] [level] [text]"."""

    def __init__(self, raw):
        self.raw = raw
        text = raw.decode("utf-16-le", errors="replace") if raw else ""
        self.boms = text.count("\ufeff")
        self.lines = text.lstrip("\ufeff").split("\r\n")
        if self.lines and self.lines[-1] == "":
            self.lines.pop()
        self.entries = [ENTRY.match(line) for line in self.lines]

    @classmethod
    def read(cls, path):
        return cls(path.read_bytes() if path.is_file() else b"")

    def texts(self):
        return [re.sub(r" \(ERRORCODE -?\d+\)$", "", e.group(3)) for e in self.entries if e]


# --- Wine ------------------------------------------------------------------------

def launchers(name, value):
    """Unix ids of the Setup.exe processes whose environment holds the variable with that value (the machine's)."""
    pids = []
    for d in Path("/proc").glob("[0-9]*"):
        try:
            if b"Setup.exe" in (d / "cmdline").read_bytes() and \
                    ("%s=%s\0" % (name, value)).encode() in (d / "environ").read_bytes():
                pids.append(int(d.name))
        except OSError:
            pass
    return pids


def wine_loader(program):
    """Wine's loader for the program: the 64-bit one for a 64-bit program, which the 32-bit loader would start as a
    process of its own and outlive with an exit code of its own, and on a machine whose kernel runs no 32-bit
    programs."""
    data = Path(program).read_bytes()[:4096]
    if struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0] == 0x8664 and \
            os.access(WINE64, os.X_OK):
        return WINE64
    try:
        run_bounded(["wine", "--version"], "wine --version", check=True, stdout=subprocess.DEVNULL,
                    stderr=subprocess.DEVNULL)
        return "wine"
    except (OSError, subprocess.CalledProcessError, RunError):
        return WINE64


def wine_path(path):
    """The Windows name of a Linux path, as Wine's drive Z: shows it."""
    return "Z:" + str(path).replace("/", "\\")


class WineSession:
    """One virtual display and one Wine prefix for every Windows run of a session."""

    log_reader = LogReader  # what drive() reads the debug log with, and gives

    def __init__(self, build_dir, work, prefix=None, display=None):
        """A virtual display of its own unless a display is given (the demo's window)."""
        self.loader = wine_loader(build_dir / "Setup.exe")
        self.build_dir = build_dir
        self.work = work
        self.xvfb = None
        if display is None:
            display_file = work / "display"
            with open(display_file, "w") as fd:
                self.xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(fd.fileno()), "-screen", "0",
                                              "1280x1024x24", "-nolisten", "tcp"], pass_fds=(fd.fileno(),),
                                             stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
            display = ":" + wait_for("Xvfb", lambda: display_file.read_text().strip(), 30)
        prefix = prefix or build_dir / "wineprefix-matrix"
        # One session at a time in a prefix: two would share its registry, Temp folder and debug log.
        self.lock = open(str(prefix) + ".lock", "w")
        fcntl.flock(self.lock, fcntl.LOCK_EX)
        self.env = dict(os.environ, DISPLAY=display, WINEPREFIX=str(prefix),
                        WINEARCH="win64", WINEDEBUG="-all", WINEDLLOVERRIDES="mscoree,mshtml=", LANG="C.UTF-8")
        if not (prefix / ".tavo-prefix-ready").exists():
            # Every worker's prefix is a copy of one made by wineboot, which takes far longer than a copy.
            template = build_dir / "wineprefix-template"

            def wineboot(making):
                env = dict(self.env, WINEPREFIX=str(making))
                run_bounded([self.loader, "wineboot", "-i"], "wineboot making the prefix", 300, env=env, check=True,
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
                run_bounded(["wineserver", "-w"], "wineserver ending after wineboot", 120, env=env, check=True)
            with open(str(template) + ".lock", "w") as lock:
                fcntl.flock(lock, fcntl.LOCK_EX)
                self.make_prefix(template, wineboot)
            self.make_prefix(prefix, lambda making: shutil.copytree(template, making, symlinks=True))
        # One wineserver for the whole session: every reg, regedit and launcher start joins it at once.
        run_bounded(["wineserver", "-p"], "wineserver -p", 30, env=self.env)  # fails when one runs already
        self.temp = next((prefix / "drive_c" / "users").glob("*/Temp"))
        self.keys = set()  # the rows' registry keys, removed again after each row
        self.version = ()  # the Windows version told to Wine for Setup.exe, once it was set
        # On a virtual display of its own no window manager runs, and Wine would wait two seconds at each window's
        # end for one to withdraw it; windows that no manager handles end at once. On the user's display the
        # manager handles them as usual.
        self.seed_registry({r"HKEY_LOCAL_MACHINE\SOFTWARE\TAVO": None,  # an earlier session's product
                            r"HKEY_CURRENT_USER\Software\Wine\X11 Driver": {"Managed": "N" if self.xvfb else "Y"}}, work)

    @staticmethod
    def make_prefix(prefix, make):
        """Made aside and moved into place whole: a prefix that a failed start left half made lacks
        registrations (the DOM, CryptoAPI)."""
        if (prefix / ".tavo-prefix-ready").exists():
            return
        shutil.rmtree(prefix, ignore_errors=True)
        making = prefix.with_name(prefix.name + ".new")
        shutil.rmtree(making, ignore_errors=True)
        make(making)
        (making / ".tavo-prefix-ready").touch()
        making.rename(prefix)

    def wine(self, *args, bound=60, env=None, **kw):
        return run_bounded([self.loader, *args], "wine " + " ".join(map(str, args[:2])), bound, env=env or self.env,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, **kw)

    def xdotool(self, *args):
        return run_bounded(["xdotool", *args], "xdotool " + args[0], 30, env=self.env, text=True,
                           stdout=subprocess.PIPE, stderr=subprocess.DEVNULL).stdout

    def close(self):
        run_bounded(["wineserver", "-k"], "wineserver -k", 60, env=self.env, stderr=subprocess.DEVNULL)
        if self.xvfb:
            self.xvfb.terminate()
            self.xvfb.wait(timeout=30)
        self.lock.close()

    def seed_registry(self, keys, work):
        """Puts the keys ({key: {name: value}}, None deletes the key) into the 64-bit view, where a
        launcher under WoW64 reads them, and reads each one back before any run may rely on it."""
        added = {k: v for k, v in keys.items() if v is not None}
        if added:
            path = work / "machine.reg"
            path.write_text(registry_text(added), encoding="utf-16")
            self.wine("reg", "import", str(path), "/reg:64", check=True)
        for key, values in keys.items():
            if key.startswith("HKEY_LOCAL_MACHINE"):
                self.keys.add(key) if values is not None else self.keys.discard(key)
            got = self.wine("reg", "query", key, "/reg:64", text=True)
            if values is None:  # Wine's reg import does not delete keys; most are not there to delete
                if got.returncode == 0:
                    self.wine("reg", "delete", key, "/reg:64", "/f")
                    got = self.wine("reg", "query", key, "/reg:64", text=True)
                assert got.returncode != 0, "the key %s is still there after its removal" % key
                continue
            # reg shows what its console code page cannot as "?": so is the expected text compared.
            shown = lambda text: text.encode("ascii", "replace").decode()  # noqa: E731
            found = {shown(n): shown(v) for n, v in re.findall(r"^\s{4}(.+?)\s{4}REG_SZ\s{4}(.*)$", got.stdout, re.M)}
            wrong = [n for n, v in values.items() if not n.startswith(";") and found.get(shown(n)) != shown(v)]
            assert got.returncode == 0 and not wrong, "the key %s holds %r after its import" % (key, found)

    def windows(self, title):
        return self.xdotool("search", "--onlyvisible", "--name", "^%s$" % re.escape(title)).split()

    def key(self, title, key):
        for w in self.windows(title)[-1:]:
            self.xdotool("windowfocus", "--sync", w)
            self.xdotool("key", key)
            return True
        return False

    def launchers(self):
        return launchers("WINEPREFIX", self.env["WINEPREFIX"])

    def drive(self, launcher, args, log_path, bound=BOUND, hang_shot=None, shots=None, env=None):
        """Starts Setup.exe in the folder and answers it as a user who accepts every page, until
        every launcher of the prefix has ended. Gives the debug log, whether an error box came
        (0: its number cannot be read here) and the first launcher's exit code. With shots, each
        page is saved before it is answered."""
        first = subprocess.Popen([self.loader, "Setup.exe", *args], cwd=launcher, env=dict(self.env, **(env or {})),
                                 stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        pressed, box, shot, answered = 0.0, None, 0, None
        end = time.monotonic() + bound
        while True:
            texts = self.log_reader.read(log_path).texts()
            # A key is answered again only when its click has not reached the
            # log a while later: a window that was not ready lost it.
            ready = time.monotonic() - pressed > 3
            due = [seen for seen, click in WINE_ANSWERS if texts.count(click) < texts.count(seen)]
            # Boxes that only inform are acknowledged as soon as they show.
            title = next((t for t in ("エラー", "使い方") if self.windows(t)), "Setup" if due else None)
            if ready and title and self.windows(title):  # shown, not only logged
                box = 0 if title == "エラー" else box
                if shots:
                    shot += 1
                    self.screenshot(shots / ("%02d-%s.png" % (shot, "box" if box == 0 else "page")))
                if answered == (title, len(texts)):
                    print("driver: Return again to %r: no click logged 3 s after the last one (%s)"
                          % (title, due[:1] or "a box"), file=sys.stderr)
                if self.key(title, "Return"):
                    pressed, answered = time.monotonic(), (title, len(texts))
            if first.poll() is not None and not self.launchers():
                return self.log_reader.read(log_path), box, first.returncode
            if time.monotonic() > end:
                if hang_shot:
                    self.screenshot(hang_shot)
                for pid in self.launchers():
                    os.kill(pid, signal.SIGKILL)
                raise RunError("the launcher did not end; log:\n" + "\n".join(texts[-30:]))
            time.sleep(0.2)

    def screenshot(self, path):
        run_bounded(["import", "-window", "root", str(path)], "a screenshot", 30, env=self.env,
                    stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)


# Log lines after which the Windows driver answers as a user who accepts every
# page: the notices are confirmed, the last page is ended, an error box is
# acknowledged. Each answer is checked by the click it causes in the log.
WINE_ANSWERS = [
    ("通知データを取得します。", "「確認」ボタンをクリックしました。"),
    ("エラー画面に遷移します(メイン画面)。", "終了ボタンをクリックしました。"),
    ("インストールが完了した為、完了画面に遷移します。", "完了ボタンをクリックしました。"),
]


