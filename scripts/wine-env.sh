# Wine environment of the project, sourced by wine-run, wine-session, run.sh and test.sh.
#
# Two flavours: 32 (WINEARCH=win32, Wine's 32-bit loader: the program we ship) and 64
# (WINEARCH=win64, wine64: the test flavour for machines whose kernel cannot execute 32-bit
# programs at all). Each has its own folder under build/wine (build/wine/win32,
# build/wine/win64): the prefix (created once, reused), a scratch HOME, the stamp that marks
# the prefix complete and the lock that serialises its creation. The loader is named
# explicitly: Debian's `wine` wrapper takes the 32-bit one whenever it is installed, even
# where it cannot run.
#
# The functions start only what is missing and remember what they started, so
# pv_wine_cleanup ends exactly that: our Xvfb by its pid, our persistent wineserver by
# `wineserver -k` under our own prefix. Every wait is bounded.
#
# Functions (each returns non-zero on failure, never exits the caller's shell):
#   pv_wine_machine_bits     sets PV_WINE_MACHINE_BITS: 32 when this machine runs 32-bit
#                            programs, else 64 (probed once, kept in the environment)
#   pv_wine_select [BITS]    choose the flavour: BITS, else $PV_WINE_BITS, else the machine's;
#                            sets WINEARCH, WINEPREFIX, WINELOADER, pv_wine_bits and
#                            pv_wine_flavour (a one-line description)
#   pv_wine_ensure_display   reuse $DISPLAY when it answers, else start Xvfb on a free number
#   pv_wine_ensure_prefix    create the flavour's prefix once (flock-guarded), with the
#                            registry values that keep headless runs from stalling
#   pv_wine_start_server     keep a wineserver for the prefix alive until cleanup, with
#                            Wine's own system processes started away from our pipes
#   pv_wine_cleanup          end what the functions above started, and only that
#
# Sourcing selects the flavour of $PV_WINE_BITS or of the machine; a program's own bitness
# can select again (wine-run does).

pv_repo_dir=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
pv_wine_dir=$pv_repo_dir/build/wine
pv_wine_libdir=/usr/lib/wine

export WINEDEBUG=${PV_WINEDEBUG:--all}
# No Mono or Gecko installer prompts, no menu entries or desktop files on the host.
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
# zh_CN.UTF-8 gives Wine processes the ANSI code page 936 of the machines our users run.
export LANG=zh_CN.UTF-8
export LC_ALL=zh_CN.UTF-8

pv_wine_log() { echo "wine-env: $*" >&2; }

# Whether the kernel executes 32-bit programs: some of our machines refuse every one with
# "Exec format error", at once. The answer is kept in the environment, so the scripts a
# run starts ask the kernel only once.
pv_wine_machine_bits() {
  if [[ -z ${PV_WINE_MACHINE_BITS:-} ]]; then
    PV_WINE_MACHINE_BITS=64
    if [[ -x /lib/ld-linux.so.2 && -x $pv_wine_libdir/wine ]] &&
      timeout 10 /lib/ld-linux.so.2 --version >/dev/null 2>&1 </dev/null; then
      PV_WINE_MACHINE_BITS=32
    fi
    export PV_WINE_MACHINE_BITS
  fi
}

pv_wine_select() {
  local bits=${1:-${PV_WINE_BITS:-}} machine
  pv_wine_machine_bits
  machine=$PV_WINE_MACHINE_BITS
  case $bits in
    "")
      bits=$machine
      if ((bits == 32)); then
        pv_wine_flavour="i686"
      else
        pv_wine_flavour="x86_64: this machine cannot run 32-bit programs"
      fi
      ;;
    32)
      if ((machine != 32)); then
        pv_wine_log "32-bit Wine cannot run here: this machine cannot run 32-bit programs"
        return 1
      fi
      pv_wine_flavour="i686"
      ;;
    64)
      if ((machine == 32)); then
        pv_wine_flavour="x86_64: chosen by PV_WINE_BITS=64"
      else
        pv_wine_flavour="x86_64: this machine cannot run 32-bit programs"
      fi
      ;;
    *)
      pv_wine_log "PV_WINE_BITS must be 32 or 64, not '$bits'"
      return 1
      ;;
  esac
  pv_wine_bits=$bits
  pv_wine_flavour_dir=$pv_wine_dir/win$bits
  export WINEARCH=win$bits
  export WINEPREFIX=$pv_wine_flavour_dir/prefix
  export HOME=$pv_wine_flavour_dir/home
  if ((bits == 32)); then
    export WINELOADER=$pv_wine_libdir/wine
  else
    export WINELOADER=$pv_wine_libdir/wine64
  fi
  return 0
}

# The bitness of a Windows program (32 or 64) from its PE header; nothing for anything else.
pv_pe_bits() {
  python3 - "$1" <<'PY' 2>/dev/null
import struct, sys
with open(sys.argv[1], "rb") as f:
    head = f.read(4096)
if head[:2] == b"MZ" and len(head) >= 64:
    pe = struct.unpack_from("<I", head, 0x3C)[0]
    if pe + 6 <= len(head) and head[pe:pe + 4] == b"PE\0\0":
        machine = struct.unpack_from("<H", head, pe + 4)[0]
        print({0x14C: 32, 0x8664: 64}.get(machine, ""))
PY
}

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
  local stamp=$pv_wine_flavour_dir/prefix.stamp
  [[ -f $stamp ]] && return 0
  mkdir -p "$pv_wine_flavour_dir" "$HOME" || return 1
  # The single prefix of earlier versions (build/wine/prefix) is of no flavour: 590 MB freed.
  [[ -d $pv_wine_dir/prefix ]] && rm -rf "$pv_wine_dir/prefix" "$pv_wine_dir/prefix.stamp"
  local lock rc=0
  exec {lock}>"$pv_wine_flavour_dir/prefix.lock"
  if ! flock -w 600 "$lock"; then
    pv_wine_log "gave up waiting for another creation of the prefix"
    exec {lock}>&-
    return 1
  fi
  if [[ ! -f $stamp ]]; then
    pv_wine_log "creating the Wine prefix $WINEPREFIX (once)"
    local started=$SECONDS reg=$pv_wine_flavour_dir/headless.reg
    rm -rf "$WINEPREFIX"
    pv_wine_write_registry "$reg"
    # Output to /dev/null: the boot starts Wine's services, which inherit the first
    # process's stdout and would hold any pipe open.
    if timeout 300 "$WINELOADER" wineboot -i >/dev/null 2>&1 </dev/null &&
      timeout 120 "$WINELOADER" regedit /S "$reg" >/dev/null 2>&1 </dev/null; then
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
      pv_wine_log "wineboot or regedit of the $WINEARCH prefix failed or timed out"
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
  timeout 120 "$WINELOADER" wineboot >/dev/null 2>&1 </dev/null
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

# The sourcing script's status: whether the flavour asked for can run here.
pv_wine_select
