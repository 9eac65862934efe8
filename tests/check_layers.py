#!/usr/bin/env python3
"""Fails when a product file breaks the layering of DESIGN.md.

The layers, from the bottom (a file includes only its own layer or lower ones):
  platform  platform/, platform/win32/, platform/posix/
  base      base/
  config    config/
  trust     trust/
  machine   env/, net/, install/ (one layer)
  ui        ui/ (portable page logic)
  frontend  ui/win32/, ui/terminal/
  app       app/ (context, command line, start-up, the main files)
  tools     tools/
A backend or front end of one platform includes nothing of the other's. Windows headers
(<windows.h> and every other header of the Windows SDK) are included only by the Windows
backends, the Win32 windows and the Windows main file.

    tests/check_layers.py [CHECKOUT]
"""
import re
import subprocess
import sys
from pathlib import Path

LAYERS = ["platform", "base", "config", "trust", "machine", "ui", "frontend", "app", "tools"]
FOLDERS = {"env": "machine", "net": "machine", "install": "machine"}
PLATFORM_FOLDERS = {"platform/win32/": "win32", "platform/posix/": "posix", "ui/win32/": "win32",
                    "ui/terminal/": "posix"}
WINDOWS_ONLY = ("platform/win32/", "ui/win32/", "app/main/main_win.cpp")
SDK = Path("/usr/share/mingw-w64/include")
HOST = [Path("/usr/include"), Path("/usr/include/x86_64-linux-gnu"), Path("/usr/include/i386-linux-gnu")]


def layer_of(path):
    parts = path.split("/")
    if parts[0] == "ui" and len(parts) > 1 and parts[1] in ("win32", "terminal"):
        return "frontend"
    top = FOLDERS.get(parts[0], parts[0])
    return top if top in LAYERS else None


def platform_of(path):
    return next((p for folder, p in PLATFORM_FOLDERS.items() if path.startswith(folder)), None)


def is_windows_header(name):
    """A header of the Windows SDK: mingw-w64 has it, the host's C library has not."""
    name = name.lower()
    return (SDK / name).is_file() and not any((d / name).is_file() for d in HOST)


def main(root):
    if not SDK.is_dir():
        print("layers: no mingw-w64 headers in %s to tell the Windows headers by" % SDK)
        return 1
    files = subprocess.run(["git", "-C", root, "ls-files", "*.cpp", "*.h", "*.cc"], check=True,
                           capture_output=True, text=True).stdout.split()
    bad = []
    for path in files:
        own = layer_of(path)
        if own is None:
            continue
        for number, line in enumerate((Path(root) / path).read_text(errors="replace").splitlines(), 1):
            m = re.match(r'\s*#\s*include\s*([<"])([^>"]+)[>"]', line)
            if not m:
                continue
            target = m.group(2)
            if m.group(1) == "<" and is_windows_header(target) and not path.startswith(WINDOWS_ONLY):
                bad.append("%s:%d includes the Windows header <%s>" % (path, number, target))
            other = layer_of(target) if "/" in target else None
            if other is None:
                continue
            if LAYERS.index(other) > LAYERS.index(own):
                bad.append("%s:%d (%s) includes %s (%s)" % (path, number, own, target, other))
            if platform_of(path) and platform_of(target) and platform_of(path) != platform_of(target):
                bad.append("%s:%d (%s) includes %s of the other platform" % (path, number, platform_of(path), target))
    for line in bad:
        print(line)
    print("layers: %d files checked, %d includes against the layering" % (len(files), len(bad)))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).resolve().parents[1])))
