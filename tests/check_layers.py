#!/usr/bin/env python3
"""Fails when a product file includes a file of a higher layer.

The layers, from the bottom (a file includes only its own layer or lower ones):
  platform  platform/, platform/win32/, platform/posix/
  base      base/
  config    config/
  trust     trust/
  env       env/
  net       net/
  install   install/
  ui        ui/ (portable page logic)
  frontend  ui/win32/, ui/terminal/
  app       app/ (context, command line, start-up, the main files)
tools/ (the simulated installer, the server, the benchmark) may use every layer
up to install/. <windows.h> is included only by the
Windows backends, the Win32 windows and the Windows main file.

    tests/check_layers.py [CHECKOUT]
"""
import re
import subprocess
import sys
from pathlib import Path

LAYERS = ["platform", "base", "config", "trust", "env", "net", "install", "ui", "frontend", "app"]
WINDOWS_H = ("platform/win32/", "ui/win32/", "app/main/main_win.cpp")


def layer_of(path):
    top = path.split("/")[0]
    if top == "ui" and path.split("/")[1] in ("win32", "terminal"):
        return "frontend"
    if top == "tools":
        return "tools"
    return top if top in LAYERS else None


def main(root):
    files = subprocess.run(["git", "-C", root, "ls-files", "*.cpp", "*.h", "*.cc"], check=True,
                           capture_output=True, text=True).stdout.split()
    bad = []
    for path in files:
        own = layer_of(path)
        if own is None:
            continue
        for number, line in enumerate((Path(root) / path).read_text(errors="replace").splitlines(), 1):
            m = re.match(r'\s*#\s*include\s*[<"]([^>"]+)[>"]', line)
            if not m:
                continue
            target = m.group(1)
            if target.lower() == "windows.h" and not path.startswith(WINDOWS_H):
                bad.append("%s:%d includes <windows.h>" % (path, number))
            other = layer_of(target) if "/" in target else None
            if other is None or other == "tools":
                continue
            limit = LAYERS.index("install") if own == "tools" else LAYERS.index(own)
            if LAYERS.index(other) > limit:
                bad.append("%s:%d (%s) includes %s (%s)" % (path, number, own, target, other))
    for line in bad:
        print(line)
    print("layers: %d files checked, %d upward includes" % (len(files), len(bad)))
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main(sys.argv[1] if len(sys.argv) > 1 else str(Path(__file__).resolve().parents[1])))
