#!/bin/sh
# Runs a command with the loopback download server on a free port of 127.0.0.1 beside it, with a fresh served
# folder, rules file and request log, as ctest runs every test program of both builds (the Windows ones run
# under Wine and cannot start the host's Linux server). The variables it hands on are those of
# tests/support/loopback_server.h; the command's exit code is passed through.
#
#   tests/support/with-dlserver.sh DLSERVER COMMAND [ARGS...]
set -u
if [ "$#" -lt 2 ]; then
  echo "usage: $0 DLSERVER COMMAND [ARGS...]" >&2
  exit 2
fi
server=$1
shift

dir=$(mktemp -d "${TMPDIR:-/tmp}/tavo-dlserver.XXXXXX") || exit 1
mkdir "$dir/root"
: >"$dir/rules"
: >"$dir/requests.log"
"$server" --root "$dir/root" --port 0 --port-file "$dir/port" \
  --rules "$dir/rules" --log "$dir/requests.log" >"$dir/server.out" 2>&1 &
pid=$!
cleanup() {
  kill "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

waited=0
while [ ! -s "$dir/port" ]; do
  if ! kill -0 "$pid" 2>/dev/null; then
    echo "with-dlserver: the server did not start:" >&2
    cat "$dir/server.out" >&2
    exit 1
  fi
  if [ "$waited" -ge 1000 ]; then
    echo "with-dlserver: the server reported no port" >&2
    exit 1
  fi
  sleep 0.01
  waited=$((waited + 1))
done

TAVO_DLSERVER_PORT=$(cat "$dir/port")
TAVO_DLSERVER_ROOT=$dir/root
TAVO_DLSERVER_RULES=$dir/rules
TAVO_DLSERVER_LOG=$dir/requests.log
export TAVO_DLSERVER_PORT TAVO_DLSERVER_ROOT TAVO_DLSERVER_RULES TAVO_DLSERVER_LOG
# Loopback requests never go through a proxy of the environment.
no_proxy=127.0.0.1,localhost${no_proxy:+,$no_proxy}
NO_PROXY=$no_proxy
export no_proxy NO_PROXY

"$@"
status=$?
exit "$status"
