"""The demo's Windows run (scripts/run.sh --windows): Setup.exe under Wine, in a
window on the user's display, or on a virtual display answered page by page
with a screenshot of each, by the Wine driver of tools/wine that the outcome
matrix's Windows rows use too.

    demo_windows.py DEMO_DIR STATE WINDOWS_BUILD_DIR
"""
import os
import subprocess
import sys
from pathlib import Path

sys.path.insert(0, os.path.join(os.path.dirname(os.path.abspath(__file__)), "..", "tools", "wine"))
from wine_session import WineSession, installed_product  # noqa: E402

STATES = {
    "fresh": {}, "dead-server": {},
    "conflict": {r"HKEY_LOCAL_MACHINE\SOFTWARE\Example\Antivirus": {"Version": "5.1"}},
    "older": installed_product("TAVO Net Shield", "9.0.2032.2"),
    "latest": installed_product("TAVO Net Shield", "10.0.2032.10"),
    "other-edition": installed_product("TAVO Virus Guard", "10.0.2032.10"),
    "unsupported": {},
}
APP_DEFAULTS = r"HKEY_CURRENT_USER\Software\Wine\AppDefaults\Setup.exe"
# Japanese text in the dialogs' fonts and in the message boxes.
FONTS = {r"HKEY_CURRENT_USER\Software\Wine\Fonts\Replacements": {
    face: "Noto Sans CJK JP" for face in ("MS UI Gothic", "メイリオ", "MS Shell Dlg", "MS Shell Dlg 2", "Tahoma")}}


def main(demo, state, build):
    demo, build = Path(demo).resolve(), Path(build).resolve()
    interactive = bool(os.environ.get("DISPLAY"))
    session = WineSession(build, demo, prefix=demo / "wineprefix",
                          display=os.environ["DISPLAY"] if interactive else None)
    try:
        # Wine reports Windows Server 2008 R2 as Windows 7 x64; Windows XP it shows as itself.
        version = {"Version": "winxp" if state == "unsupported" else "win10"}
        session.seed_registry({**FONTS, **STATES[state], APP_DEFAULTS: version}, demo)
        log = session.temp / "TAVODebugLog.txt"
        if interactive:
            print("Starting Setup.exe under Wine on %s; it ends when you close it." % session.env["DISPLAY"])
            subprocess.run([session.loader, "Setup.exe"], cwd=demo / "launcher", env=session.env)
        else:
            shots = demo / "screenshots"
            shots.mkdir(exist_ok=True)
            print("Starting Setup.exe under Wine on a virtual display ...")
            session.drive(demo / "launcher", [], log, bound=600, shots=shots)
            print("Screenshots: %s" % shots)
        print("Debug log: %s" % log)
    finally:
        session.close()


if __name__ == "__main__":
    main(*sys.argv[1:4])
