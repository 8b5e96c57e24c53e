#!/usr/bin/env bash
# bench-startup.sh [--runs N] [--client EXE]: how long parcelvane.exe takes from its process
# start to its login window shown and painted, beside a plain window that does nothing
# else, started alternately N times (default 7) in one Wine session with the server kept
# running. Prints every pair, both medians and their ratio (bench/startup/startup_bench.cpp
# says what is timed). --client times another build of the client (a Windows path, or a
# host path under Z:). Not part of the test run.
#
# The flavour is the machine's, or PV_WINE_BITS (only the 64-bit one runs where the kernel
# cannot execute 32-bit programs). The client's login workers talk to the local screening
# service on port 18080: one already answering there is used, else the native build's is
# started for the run. Port and display are shared with the e2e runs, so the measurement
# waits for /tmp/pv-e2e.lock as they do.
set -uo pipefail
cd "$(dirname "$0")/.."

source scripts/wine-env.sh || exit 1
build=build/win$pv_wine_bits
echo "bench-startup: $pv_wine_flavour, $build"

export CMAKE_CXX_COMPILER_LAUNCHER=${CMAKE_CXX_COMPILER_LAUNCHER:-ccache}
bash scripts/build.sh "win$pv_wine_bits" >/dev/null || exit 1
sandbox=build/native/tools/sandbox/parcelvane-sandbox
if [[ ! -x $sandbox ]]; then
  [[ -f build/native/build.ninja ]] || cmake --preset native >build/configure-native.log 2>&1 || exit 1
  cmake --build build/native --target parcelvane-sandbox >/dev/null || exit 1
fi

sandbox_pid=
finish() {
  pv_wine_cleanup
  if [[ -n $sandbox_pid ]]; then
    kill "$sandbox_pid" 2>/dev/null
    wait "$sandbox_pid" 2>/dev/null
  fi
}
trap finish EXIT
trap 'exit 130' INT TERM

port_answers() { timeout 2 bash -c "exec 3<>/dev/tcp/127.0.0.1/18080" 2>/dev/null; }

exec {lock}>/tmp/pv-e2e.lock
flock -w 1800 "$lock" || { echo "bench-startup: /tmp/pv-e2e.lock stayed taken" >&2; exit 1; }

if ! port_answers; then
  "$sandbox" --port 18080 >"$build/bench-startup-sandbox.log" 2>&1 </dev/null &
  sandbox_pid=$!
  for ((i = 0; i < 100; i++)); do
    port_answers && break
    sleep 0.1
  done
  port_answers || { echo "bench-startup: the sandbox did not start" >&2; exit 1; }
fi

pv_wine_ensure_display || exit 1
pv_wine_ensure_prefix || exit 1
pv_wine_start_server || exit 1
# Wine notes on standard error that it cannot read drive Z:'s label at each start.
scripts/wine-run "$build/bench/startup_bench.exe" "$@" 2> >(grep -v 'FS volume label' >&2)
