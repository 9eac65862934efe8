#!/usr/bin/env bash
# The launcher's main job, as a user meets it: a fresh simulated Windows 10 x64
# machine, the loopback download server with a demo server tree (notices, a
# download configuration and a package for the simulated Windows Installer),
# and Setup.exe started beside its settings file: the start-up dialog with its
# notices refresh, the notices, the installation and the completion page.
#
#   scripts/run.sh [--windows] [--state STATE]
#
# STATE is the machine the launcher starts on:
#   fresh          nothing installed (default)
#   conflict       a conflicting anti-virus product is installed (result 12)
#   older          TAVO Net Shield 9.0 is installed: the launcher upgrades it
#   latest         the newest TAVO Net Shield is installed already (result 17)
#   other-edition  TAVO Virus Guard is installed (result 16)
#   unsupported    Windows Server 2016 (result 21); with --windows Windows XP,
#                  since Wine reports no Windows Server of that kind
#   dead-server    the download server does not answer (result 3)
# --windows runs the real Windows Setup.exe under Wine in a window instead
# (under Xvfb when there is no display, driven by keys and saving screenshots
# to build/demo/screenshots); the states are then made in the Wine prefix.
#
# Keys in the terminal: the letter of a button (N, X, C, M), Tab, Enter, Space,
# y/n in questions. When standard input is not a terminal the demo confirms the
# notices by itself and ends after the completion page.
set -euo pipefail
cd "$(dirname "$0")/.."
root=$PWD

windows=0
state=fresh
while [ $# -gt 0 ]; do
  case "$1" in
    --windows) windows=1 ;;
    --state) state=$2; shift ;;
    --state=*) state=${1#--state=} ;;
    -h|--help) sed -n '2,25p' "$0"; exit 0 ;;
    *) echo "run.sh: unknown option $1" >&2; exit 2 ;;
  esac
  shift
done

scripts/install-deps.sh
scripts/build.sh linux >/dev/null
if [ "$windows" = 1 ]; then scripts/build.sh windows >/dev/null; fi

demo=$root/build/demo
rm -rf "$demo"
mkdir -p "$demo/server" "$demo/machine" "$demo/launcher"
machine=$demo/machine

# --- the machine -----------------------------------------------------------
cat > "$machine/machine.ini" <<INI
[Windows]
Major=10
Minor=0
Build=19045
ProductType=1
Architecture=9
Wow64=1
INI
build/linux/bin/msiexec.exe --install-machine "$machine" >/dev/null
info='HKEY_LOCAL_MACHINE\SOFTWARE\TAVO\TAVO Security\CurrentVersion\Info'
installed() {  # edition name, version
  printf 'Windows Registry Editor Version 5.00\r\n\r\n[%s]\r\n"ProductName"="%s"\r\n"ProductVersion"="%s"\r\n"InstallDir"="C:\\\\Program Files\\\\TAVO\\\\TAVO Security\\\\"\r\n' \
    "$info" "$1" "$2" > "$machine/registry.reg"
}
case "$state" in
  fresh|dead-server) ;;
  conflict) printf 'Windows Registry Editor Version 5.00\r\n\r\n[HKEY_LOCAL_MACHINE\\SOFTWARE\\Example\\Antivirus]\r\n"Version"="5.1"\r\n' > "$machine/registry.reg" ;;
  older) installed "TAVO Net Shield" "9.0.2032.2" ;;
  latest) installed "TAVO Net Shield" "10.0.2032.10" ;;
  other-edition) installed "TAVO Virus Guard" "10.0.2032.10" ;;
  unsupported) sed -i 's/^ProductType=1/ProductType=3/' "$machine/machine.ini" ;;
  *) echo "run.sh: unknown state $state" >&2; exit 2 ;;
esac

# --- the download server ---------------------------------------------------
build/linux/bin/dlserver --root "$demo/server" --port 0 --port-file "$demo/port" --log "$demo/requests.log" \
  >/dev/null 2>&1 &
server=$!
trap 'kill $server 2>/dev/null || true' EXIT
for _ in $(seq 100); do [ -s "$demo/port" ] && break; sleep 0.05; done
port=$(cat "$demo/port")
base=http://127.0.0.1:$port/
python3 tools/publish/publish.py samples/demo/demo.json "$demo/server" --base-url "$base"
if [ "$state" = dead-server ]; then
  kill $server 2>/dev/null || true
  wait $server 2>/dev/null || true
fi

# --- the launcher beside its settings ----------------------------------------
sed "s#http://127.0.0.1:8080/#$base#" samples/SetupLauncherV2.xml > "$demo/launcher/SetupLauncherV2.xml"
cp samples/SetupNotification.xml "$demo/launcher/"

if [ "$windows" = 0 ]; then
  cp build/linux/Setup.exe "$demo/launcher/Setup.exe"
  export SETUP_MACHINE=$machine
  if [ -t 0 ]; then
    "$demo/launcher/Setup.exe" || true
  else
    # Without a person at the keyboard: confirm the notices, then let the run end.
    printf 'n' | "$demo/launcher/Setup.exe" || true
  fi
  echo
  echo "Debug log: $machine/Temp/TAVODebugLog.txt"
else
  # The Windows build that runs on this machine (scripts/lib/windows-tests.sh).
  # A fresh Wine prefix is the fresh machine; without a display the run is
  # answered page by page on a virtual display and each page is saved.
  . scripts/lib/windows-tests.sh
  cp "$(windows_test_build)/Setup.exe" "$demo/launcher/Setup.exe"
  /usr/bin/python3 scripts/demo_windows.py "$demo" "$state" "$(windows_test_build)"
fi
echo "  read it with: iconv -f UTF-16LE -t UTF-8 <debug log>"
