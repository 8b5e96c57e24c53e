#!/usr/bin/env bash
# run.sh: the main job. Installs what is missing, builds both targets, starts the local
# screening service (when it is built), and starts parcelvane.exe under Wine: on the
# machine's display when $DISPLAY answers, else under Xvfb. Where the machine cannot run
# 32-bit programs (or with PV_WINE_BITS=64) the 64-bit build runs under wine64 instead.
# Once the login window shows, a screenshot goes to build/screenshots/ and its path is
# printed. Under Xvfb everything is ended after the screenshot; on a real display the
# client stays until it is closed.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$PWD

# The version comes from the project version, as the program's own title does.
readonly version=$(sed -n 's/^project(Parcelvane VERSION \([0-9.]*\).*/\1/p' CMakeLists.txt)
readonly login_title="登录 - Parcelvane（parcelvane.com）v$version"
readonly sandbox=$repo/build/native/tools/sandbox/parcelvane-sandbox
readonly sandbox_port=18080
readonly logs=$repo/build/run

sandbox_pid=
client_pid=

say() { echo "run: $*"; }

stop_pid() {  # ends one process of ours by its id: asked first, killed after 10 s
  local pid=$1 i
  [[ -n $pid ]] || return 0
  kill "$pid" 2>/dev/null || return 0
  for ((i = 0; i < 100; i++)); do
    kill -0 "$pid" 2>/dev/null || break
    sleep 0.1
  done
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  return 0
}

finish() {
  stop_pid "$client_pid"
  client_pid=
  declare -F pv_wine_cleanup >/dev/null && pv_wine_cleanup
  stop_pid "$sandbox_pid"
  sandbox_pid=
}
trap finish EXIT
trap 'say "interrupted"; exit 130' INT TERM

port_answers() {
  timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/$1" 2>/dev/null
}

bash scripts/install-deps.sh || exit 1
source scripts/wine-env.sh || exit 1
presets=(native win32)
[[ $pv_wine_bits == 64 ]] && presets+=(win64)
bash scripts/build.sh "${presets[@]}" || exit 1
readonly client=build/win$pv_wine_bits/app/parcelvane.exe
readonly driver_exe=build/win$pv_wine_bits/tools/driver/driver.exe
mkdir -p "$logs" build/screenshots

if [[ -x $sandbox ]]; then
  if port_answers "$sandbox_port"; then
    say "a service already answers on port $sandbox_port: using it"
  else
    "$sandbox" --port "$sandbox_port" >"$logs/sandbox.log" 2>&1 </dev/null &
    sandbox_pid=$!
    for ((i = 0; i < 100; i++)); do  # 10 s
      port_answers "$sandbox_port" && break
      kill -0 "$sandbox_pid" 2>/dev/null || break
      sleep 0.1
    done
    if ! port_answers "$sandbox_port"; then
      say "the local screening service did not start (see $logs/sandbox.log)"
      exit 1
    fi
    say "local screening service on 127.0.0.1:$sandbox_port (log $logs/sandbox.log)"
  fi
else
  say "the local screening service is not built yet ($sandbox): skipping it"
fi

if [[ $pv_wine_bits == 64 ]]; then
  say "Wine flavour $pv_wine_flavour: running the 64-bit build $client under wine64"
else
  say "Wine flavour $pv_wine_flavour: running $client"
fi
pv_wine_ensure_display || exit 1
headless=${pv_wine_started_xvfb_pid:+yes}
pv_wine_ensure_prefix || exit 1
pv_wine_start_server || exit 1
if [[ -n $headless ]]; then
  say "no display answers: running under Xvfb on $DISPLAY"
  export PV_WINE_TIMEOUT=300
else
  say "running on display $DISPLAY"
  export PV_WINE_TIMEOUT=$((7 * 24 * 3600))  # the operator's session: bounded, generously
fi

scripts/wine-run "$client" >"$logs/client.log" 2>&1 &
client_pid=$!
driver() { PV_WINE_TIMEOUT=120 scripts/wine-run "$driver_exe" "$@"; }

shown=
for ((i = 0; i < 30; i++)); do  # 60 s, in steps that notice an early end of the client
  if driver wait-window "$login_title" 2000 >/dev/null 2>&1; then
    shown=yes
    break
  fi
  kill -0 "$client_pid" 2>/dev/null || break
done

shot=$repo/build/screenshots/run-$(date +%Y%m%d-%H%M%S).png
driver screenshot "Z:${shot//\//\\}" || say "the screenshot failed"
if [[ -z $shown ]]; then
  if kill -0 "$client_pid" 2>/dev/null; then
    say "the login window \"$login_title\" did not appear within 60 s"
  else
    say "parcelvane.exe ended before its login window showed (log $logs/client.log)"
  fi
  [[ -f $shot ]] && say "screenshot: $shot"
  exit 1
fi
say "the login window is shown"
say "screenshot: $shot"

if [[ -n $headless ]]; then
  driver close "$login_title" >/dev/null 2>&1
  for ((i = 0; i < 100; i++)); do  # 10 s for the client to end by itself
    kill -0 "$client_pid" 2>/dev/null || break
    sleep 0.1
  done
  exit 0
fi

say "parcelvane.exe runs until you close it"
wait "$client_pid"
rc=$?
client_pid=
say "parcelvane.exe ended (exit code $rc)"
exit 0
