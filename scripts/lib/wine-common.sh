# shellcheck shell=bash disable=SC2154,SC2034
# Helpers of the scripts that drive the Windows Setup.exe under Wine on a
# virtual display (sourced, not run). The caller sets, before using them:
#   tag    the script's name for messages ("wine-e2e")
#   work   a scratch folder of its own
# and, for the debug log helpers, log_file (see wine_prepare_prefix).
#
# Processes started here are remembered by their id and ended by
# wine_stop_all, which the caller runs from its EXIT trap; the prefix's
# wineserver is ended through WINEPREFIX, so other prefixes stay untouched.

wine_xvfb_pid=
wine_owned_pids=()

fail() {
  echo "$tag: $*" >&2
  if [ -n "${DISPLAY:-}" ] && [ -n "$wine_xvfb_pid" ] && command -v import >/dev/null; then
    import -window root "$work/failure.png" 2>/dev/null && echo "$tag: screen saved as $work/failure.png" >&2
  fi
  if [ -f "${log_file:-}" ]; then
    echo "--- debug log (last 60 entries)" >&2
    iconv -f UTF-16LE -t UTF-8 "$log_file" | tail -60 >&2
  fi
  exit 1
}

wine_require_tools() {  # tool...
  local tool
  for tool in "$@"; do
    command -v "$tool" >/dev/null || { echo "$tag: $tool is missing" >&2; exit 1; }
  done
}

# A virtual display of our own (even when one is set: keys must reach our windows only).
wine_start_display() {  # WIDTHxHEIGHT
  exec 8>"$work/display"
  Xvfb -displayfd 8 -screen 0 "${1:-1280x1024}x24" -nolisten tcp >"$work/xvfb.log" 2>&1 &
  wine_xvfb_pid=$!
  local _
  for _ in $(seq 1 100); do
    [ -s "$work/display" ] && break
    sleep 0.1
  done
  exec 8>&-
  [ -s "$work/display" ] || fail "Xvfb did not start"
  DISPLAY=:$(head -n1 "$work/display")
  export DISPLAY
}

# Exports the Wine settings for the prefix, creates it on first use and sets
# temp_dir (the user's temporary folder, where the launcher works) and log_file.
wine_prepare_prefix() {  # prefix folder
  export WINEPREFIX=$1
  export WINEARCH=win64
  export WINEDEBUG=-all
  export WINEDLLOVERRIDES="mscoree,mshtml="
  export LANG=C.UTF-8
  if [ ! -f "$WINEPREFIX/.tavo-prefix-ready" ]; then
    mkdir -p "$WINEPREFIX"
    wineboot -i >/dev/null 2>&1 || fail "could not create the Wine prefix $WINEPREFIX"
    wineserver -w
    touch "$WINEPREFIX/.tavo-prefix-ready"
  fi
  temp_dir=$(find "$WINEPREFIX/drive_c/users" -maxdepth 2 -type d -name Temp | head -n1)
  [ -n "$temp_dir" ] || fail "no temporary folder in the prefix $WINEPREFIX"
  log_file=$temp_dir/TAVODebugLog.txt
}

# The loopback download server on a free port; sets server_port.
wine_start_dlserver() {  # dlserver binary, served folder, server arguments...
  local binary=$1 root=$2
  shift 2
  rm -f "$work/dlserver.port"
  "$binary" --root "$root" --port 0 --port-file "$work/dlserver.port" "$@" >"$work/dlserver.out" 2>&1 &
  wine_owned_pids+=($!)
  wait_for "the download server" 20 test -s "$work/dlserver.port"
  server_port=$(cat "$work/dlserver.port")
}

wine_stop_all() {
  local pid
  for pid in "${wine_owned_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
  wineserver -k 2>/dev/null || true
  if [ -n "$wine_xvfb_pid" ]; then kill "$wine_xvfb_pid" 2>/dev/null || true; fi
}

wait_for() {  # description, seconds, command...
  local what=$1 seconds=$2
  shift 2
  local end=$((SECONDS + seconds))
  until "$@"; do
    [ "$SECONDS" -lt "$end" ] || fail "timed out waiting for $what"
    sleep 0.2
  done
}

# --- windows -----------------------------------------------------------------
window_of() { xdotool search --name "^$1\$" 2>/dev/null | head -n1; }
window_exists() { [ -n "$(window_of "$1")" ]; }
window_gone() { [ -z "$(window_of "$1")" ]; }
# Keys go to the window that has the X input focus.
send_keys() {  # window title, keys...
  local title=$1 w
  shift
  w=$(window_of "$title")
  [ -n "$w" ] || fail "no window \"$title\" for the keys $*"
  xdotool windowfocus --sync "$w" 2>/dev/null || xdotool windowfocus "$w"
  sleep 0.3
  xdotool key --delay 150 "$@"
  sleep 0.5
}

# --- processes ---------------------------------------------------------------
pid_ended() { ! kill -0 "$1" 2>/dev/null; }
# Unix ids of the processes of this prefix whose command line begins with
# the text given (Wine shows a Windows program's command line as its own).
prefix_pids() {  # command line start
  local dir pid args
  for dir in /proc/[0-9]*; do
    pid=${dir#/proc/}
    args=$(tr '\0' ' ' <"$dir/cmdline" 2>/dev/null) || continue
    case "$args" in "$1"*) ;; *) continue ;; esac
    tr '\0' '\n' <"$dir/environ" 2>/dev/null | grep -xF "WINEPREFIX=$WINEPREFIX" >/dev/null && echo "$pid"
  done
  return 0
}

# --- the debug log (UTF-16LE) --------------------------------------------------
log_text() { if [ -f "$log_file" ]; then iconv -f UTF-16LE -t UTF-8 "$log_file" | sed $'1s/^\uFEFF//' || true; fi; }
# Entry texts only, one a line: "[time] [level] [text]" gives "text"; an
# error entry's " (ERRORCODE n)" is left off, so its text compares as written.
log_entries() {
  log_text | sed -n 's/^\[[^]]*\] \[[^]]*\] \[\(.*\)\]\r\{0,1\}$/\1/p' |
    sed 's/ (ERRORCODE -\{0,1\}[0-9]*)$//'
}
# No "grep -q" or early exits in these pipelines: a reader that stops early
# ends the writer with SIGPIPE, and under "pipefail" a found line would count
# as not found.
log_has() { log_entries | grep -xF -- "$1" >/dev/null; }
log_count() { log_entries | grep -cxF -- "$1" || true; }
expect_log() {  # entry text...
  local line
  for line in "$@"; do
    log_has "$line" || fail "the debug log lacks: $line"
  done
}
expect_no_log() {  # entry text...
  local line
  for line in "$@"; do
    log_has "$line" && fail "the debug log holds: $line"
  done
  return 0
}
# Line number of the first entry equal to the text after line "after" (0: from the start); empty if none.
log_line_of() {  # entry text, [after]
  log_entries | awk -v t="$1" -v a="${2:-0}" '!found && NR > a && $0 == t { print NR; found = 1 }'
}
