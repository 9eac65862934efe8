"""What an attacker of the elevated launcher arranges on a Windows machine, for the rows of the outcome matrix."""
import os
import shutil
import struct
import subprocess
import threading
from pathlib import Path

from checks import expect
from harness import run_bounded, wait_for
from keys import changed_after_signing, make_signers, sign

HERE = Path(__file__).parent


def mingw_arch(exe):
    """The mingw-w64 architecture whose programs match the PE file's machine."""
    data = exe.read_bytes()
    machine = struct.unpack_from("<H", data, struct.unpack_from("<I", data, 0x3C)[0] + 4)[0]
    return "x86_64" if machine == 0x8664 else "i686"


def compile_like_launcher(m, source, out, *flags):
    """A program of ours for the architecture of the row's Setup.exe."""
    gcc = mingw_arch(m.launcher / "Setup.exe") + "-w64-mingw32-gcc"
    run_bounded([gcc, *flags, "-o", str(out), str(HERE / source)], gcc, 120, check=True)


def plant_wininet(m):
    """A wininet.dll beside Setup.exe that marks its loading, and Wine told to prefer a DLL of the
    program's folder to its own, as Windows does for every DLL that is no KnownDLL."""
    compile_like_launcher(m, "planted_wininet.c", m.launcher / "wininet.dll", "-shared")
    m.env["WINEDLLOVERRIDES"] = m.session.env["WINEDLLOVERRIDES"] + ";wininet=n,b"


def planted_dll_loaded(m):
    return list(m.launcher.glob("*.loaded"))


def plant_loads_without_defence(m):
    """The same plant beside a program that takes no defence, under the same Wine settings, is loaded:
    without this, a plant that never loads anywhere would pass the row."""
    control = m.work / "control"
    control.mkdir()
    shutil.copy(m.launcher / "wininet.dll", control / "wininet.dll")
    compile_like_launcher(m, "naive_loader.c", control / "naive.exe")
    m.session.wine("naive.exe", cwd=control, env=dict(m.session.env, WINEDLLOVERRIDES=m.env["WINEDLLOVERRIDES"]))
    return (control / "wininet.dll.loaded").exists()


def swap_after_check(name, data, held, checked="ハッシュ解析処理を完了しました。", where="work"):
    """Puts another file in place of a downloaded one as soon as its check has passed, while the server
    holds the next download (the path held) until the swap is done: in the launcher's working folder
    ("work", as only an administrator could) or where the launcher once worked, the user's temporary
    folder ("temp", as any process of the user can). data may be a function of the machine."""
    def arrange(m):
        swapped = m.work / "swapped"
        m.server.set_rules({held: "hold-until=%s" % swapped})

        def attacker():
            wait_for("the check of " + name, lambda: m.log().has(checked), step=0.02)
            folder = m.work_folder() if where == "work" else m.temp
            planted = folder / (name + ".planted")
            planted.write_bytes(data(m) if callable(data) else data)
            os.replace(planted, folder / name)
            swapped.touch()
        threading.Thread(target=attacker, daemon=True).start()
    return arrange


def self_update_signed(served, own_changed=False):
    """The running launcher signed by the vendor's test key (and changed after signing, with own_changed);
    the newer launcher on the server signed by the same key ("vendor"), by another one ("other"), by another
    key under the vendor's name ("impostor"), signed and then changed by one byte ("changed"), or not at all
    (None)."""
    def arrange(m):
        # Wine 8's WinVerifyTrust does not ask for a trusted root, so the test root stays out of the prefix;
        # on Windows the vendor's certificate chains to one.
        make_signers(m.work, {"vendor": "vendor", "other": "other", "impostor": "vendor"})
        sign(m.work, m.launcher / "Setup.exe", "vendor")
        if own_changed:
            changed_after_signing(m.launcher / "Setup.exe")
        newer = m.server.root / "launcher" / "Setup.exe"
        if served:
            sign(m.work, newer, "vendor" if served == "changed" else served)
        if served == "changed":
            changed_after_signing(newer)
    return arrange


def hold_log_lock(m):
    """A process of the user that keeps a lock on the whole debug log for the length of the run."""
    exe = m.work / "hold_lock.exe"
    compile_like_launcher(m, "hold_lock.c", exe, "-municode")
    ready = m.work / "locked"
    m.lock_holder = subprocess.Popen([m.session.loader, str(exe), m.native(m.debug_log_path()), m.native(ready)],
                                     env=m.session.env, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
    stop = m.stop

    def stop_holder_first():  # whatever the row's outcome
        m.lock_holder.kill()
        m.lock_holder.wait(timeout=30)
        stop()
    m.stop = stop_holder_first
    wait_for("the lock on the debug log", ready.exists)


def lock_released(m):
    """The holder kept its lock for the whole run: a holder that ended early proves nothing."""
    return expect("the lock holder's exit code at the end of the run", m.lock_holder.poll(), None)
