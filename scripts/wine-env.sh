# Wine environment of the project, sourced by wine-run, wine-session, run.sh and test.sh.
#
# Everything lives under build/wine: the prefix (created once, reused), a scratch HOME,
# the stamp that marks the prefix complete and the lock that serialises its creation.
# The functions start only what is missing and remember what they started, so
# pv_wine_cleanup ends exactly that: our Xvfb by its pid, our persistent wineserver by
# `wineserver -k` under our own prefix. Every wait is bounded.
#
# Functions (each returns non-zero on failure, never exits the caller's shell):
#   pv_wine_ensure_display   reuse $DISPLAY when it answers, else start Xvfb on a free number
#   pv_wine_ensure_prefix    create the prefix once (flock-guarded), with the registry values
#                            that keep headless runs from stalling
#   pv_wine_start_server     keep a wineserver for the prefix alive until cleanup, with
#                            Wine's own system processes started away from our pipes
#   pv_wine_cleanup          end what the functions above started, and only that

pv_repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pv_wine_dir=$pv_repo_dir/build/wine

export WINEPREFIX=$pv_wine_dir/prefix
export WINEARCH=win32
export WINEDEBUG=${PV_WINEDEBUG:--all}
# No Mono or Gecko installer prompts, no menu entries or desktop files on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
export HOME=$pv_wine_dir/home
# zh_CN.UTF-8 gives Wine processes the ANSI code page 936 of the machines our users run;
# PV_WINE_LANG picks another locale for tests that must hold on any code page (C.UTF-8:
# code page 1252).
export LANG=${PV_WINE_LANG:-zh_CN.UTF-8}
export LC_ALL=$LANG

pv_wine_started_xvfb_pid=
pv_wine_started_server=

pv_wine_log() { echo "wine-env: $*" >&2; }

pv_display_answers() {
  [[ -n ${1:-} ]] && timeout 10 xdpyinfo -display "$1" >/dev/null 2>&1
}

pv_wine_ensure_display() {
  if pv_display_answers "${DISPLAY:-}"; then
    return 0
  fi
  mkdir -p "$pv_wine_dir"
  local numfile
  numfile=$(mktemp "$pv_wine_dir/xvfb-display.XXXXXX") || return 1
  # -displayfd: Xvfb picks a free display number itself and writes it once it accepts
  # connections, so there is neither a race for the number nor a guess at readiness.
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$numfile" </dev/null >/dev/null 2>&1 &
  pv_wine_started_xvfb_pid=$!
  local number= i
  for ((i = 0; i < 300; i++)); do  # 30 s
    number=$(tr -dc '0-9' <"$numfile")
    [[ -n $number ]] && break
    kill -0 "$pv_wine_started_xvfb_pid" 2>/dev/null || break
    sleep 0.1
  done
  rm -f "$numfile"
  if [[ -z $number ]] || ! pv_display_answers ":$number"; then
    pv_wine_log "Xvfb did not start"
    pv_wine_stop_xvfb
    return 1
  fi
  export DISPLAY=:$number
}

pv_wine_stop_xvfb() {
  local pid=$pv_wine_started_xvfb_pid
  [[ -n $pid ]] || return 0
  pv_wine_started_xvfb_pid=
  kill "$pid" 2>/dev/null || return 0
  local i
  for ((i = 0; i < 50; i++)); do  # 5 s, then no more asking
    kill -0 "$pid" 2>/dev/null || { wait "$pid" 2>/dev/null; return 0; }
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

pv_wine_write_registry() {
  # Without a window manager, Wine-managed windows stall about 2 s on every hide or
  # destroy; an access violation would open a crash dialog that waits forever, whereas
  # with ShowCrashDialog=0 the process prints a backtrace and exits with code 5.
  printf '%s\r\n' 'REGEDIT4' '' \
    '[HKEY_CURRENT_USER\Software\Wine\X11 Driver]' '"Managed"="N"' '' \
    '[HKEY_CURRENT_USER\Software\Wine\WineDbg]' '"ShowCrashDialog"=dword:00000000' '' >"$1"
}

pv_wine_ensure_prefix() {
  local stamp=$pv_wine_dir/prefix.stamp
  [[ -f $stamp ]] && return 0
  mkdir -p "$pv_wine_dir" "$HOME" || return 1
  local lock rc=0
  exec {lock}>"$pv_wine_dir/prefix.lock"
  if ! flock -w 600 "$lock"; then
    pv_wine_log "gave up waiting for another creation of the prefix"
    exec {lock}>&-
    return 1
  fi
  if [[ ! -f $stamp ]]; then
    pv_wine_log "creating the Wine prefix $WINEPREFIX (once)"
    local started=$SECONDS reg=$pv_wine_dir/headless.reg
    rm -rf "$WINEPREFIX"
    pv_wine_write_registry "$reg"
    # Output to /dev/null: the boot starts Wine's services, which inherit the first
    # process's stdout and would hold any pipe open.
    if timeout 300 wineboot -i >/dev/null 2>&1 </dev/null &&
      timeout 120 wine regedit /S "$reg" >/dev/null 2>&1 </dev/null; then
      # The server writes the registry to disk when it ends; wait for that (bounded)
      # unless a persistent server of someone else keeps it alive.
      timeout 60 wineserver -w >/dev/null 2>&1 </dev/null
      if grep -q '"ShowCrashDialog"=dword:00000000' "$WINEPREFIX/user.reg" 2>/dev/null; then
        touch "$stamp"
        pv_wine_log "prefix ready in $((SECONDS - started)) s"
      else
        pv_wine_log "the registry values did not reach the prefix"
        rc=1
      fi
    else
      pv_wine_log "wineboot or regedit failed or timed out"
      rc=1
    fi
  fi
  flock -u "$lock"
  exec {lock}>&-
  return $rc
}

pv_wine_start_server() {
  [[ -n $pv_wine_started_server ]] && return 0
  # A server already running for the prefix belongs to someone else (a client left
  # open by run.sh, say): we share it and leave it alone at cleanup.
  if pv_wine_server_running; then
    return 0
  fi
  wineserver -p >/dev/null 2>&1 </dev/null || return 1
  pv_wine_started_server=1
  # The first process of a server boots Wine's system processes, which inherit its file
  # descriptors: boot them here, on /dev/null, so no later test's pipe is held open.
  timeout 120 wineboot >/dev/null 2>&1 </dev/null
  return 0
}

# The server of a prefix listens on a socket in a folder named after the prefix's device
# and inode numbers (under /tmp/.wine-UID upstream, /tmp/wine-XXXXXX on Debian).
pv_wine_server_running() {
  local dev ino name socket
  read -r dev ino < <(stat -c '%d %i' "$WINEPREFIX" 2>/dev/null) || return 1
  name=$(printf 'server-%x-%x' "$dev" "$ino")
  for socket in "${TMPDIR:-/tmp}"/.wine-"$(id -u)"/"$name"/socket "${TMPDIR:-/tmp}"/wine-*/"$name"/socket; do
    [[ -S $socket ]] || continue
    # A socket left by a killed server refuses connections; a live one accepts.
    timeout 5 python3 -c 'import socket, sys
s = socket.socket(socket.AF_UNIX, socket.SOCK_STREAM)
s.connect(sys.argv[1])' "$socket" >/dev/null 2>&1 && return 0
  done
  return 1
}

pv_wine_stop_server() {
  [[ -n $pv_wine_started_server ]] || return 0
  pv_wine_started_server=
  timeout 30 wineserver -k >/dev/null 2>&1 </dev/null
  timeout 30 wineserver -w >/dev/null 2>&1 </dev/null
  return 0
}

pv_wine_cleanup() {
  pv_wine_stop_server
  pv_wine_stop_xvfb
}
