#!/usr/bin/env bash
# dayswork.sh [--scale N | --quick] [--build DIR] [--own-network]: a day's work in one client process under
# Wine, watched for leaks: one login, then N rounds (default 20, the full day) of 15 detailed
# and 15 quick queries, one one-click run of 1,000 orders against fake-erp.exe and one free
# import of a 10,000-row xlsx. Prints, per counter of the client (private bytes, handles,
# GDI and USER objects), the mean of the first and the last tenth of the samples and the
# change, PASS/FAIL against 5 %, and the fake ERP's committed memory before and after each
# run. --quick: 3 rounds of 5 queries, 200 orders and 2,000 rows (a few minutes).
# --own-network: runs in a network namespace of its own (root, with iproute2), so its service
# port is its own and the hours of a full day do not hold up the e2e tests; otherwise it holds
# /tmp/pv-e2e.lock while it uses the shared port. Run it from a worktree of its own then: the
# Wine prefix is the checkout's. Not part of the test command.
set -uo pipefail
cd "$(dirname "$0")/.."

build=
args=()
own_network=0
while (($#)); do
  case $1 in
    --scale) args+=(--rounds "$2"); shift 2 ;;
    --quick) args+=(--rounds 3 --queries 5 --erp-orders 200 --import-rows 2000); shift ;;
    --build) build=$2; shift 2 ;;
    --own-network) own_network=1; shift ;;
    *) sed -n '2,12s/^# \{0,1\}//p' "$0"; exit 2 ;;
  esac
done
if [[ -z $build ]]; then
  source scripts/wine-env.sh || exit 1
  pv_wine_select || exit 1
  build=build/win$pv_wine_bits
  ((pv_wine_bits == 32)) && build=build/win32
fi
bits=64
[[ $build == *win32* ]] && bits=32
for program in app/parcelvane.exe tools/driver/driver.exe tests/e2e/fake-erp.exe tests/e2e/e2e_fixture.exe; do
  if [[ ! -f $build/$program ]]; then
    echo "dayswork: $build/$program is missing: bash scripts/build.sh $(basename "$build")" >&2
    exit 1
  fi
done
if [[ ! -x build/native/tools/sandbox/parcelvane-sandbox ]]; then
  echo "dayswork: the local screening service is missing: bash scripts/build.sh native" >&2
  exit 1
fi

repo=$(pwd)
export PV_WINE_BITS=$bits PV_WINE_RUN=$repo/scripts/wine-run PV_DRIVER=$repo/$build/tools/driver/driver.exe
export PV_CLIENT=$repo/$build/app/parcelvane.exe PV_FIXTURE=$repo/$build/tests/e2e/e2e_fixture.exe
export PV_FAKE_ERP=$repo/$build/tests/e2e/fake-erp.exe PV_ARTEFACTS=$repo/$build/dayswork-artefacts
# The client lives all day: neither wine-run nor the session may end it early.
export PV_WINE_TIMEOUT=21600 PV_SESSION_TIMEOUT=21600
day=(nice -n 10 scripts/wine-session python3 -B tests/e2e/dayswork.py "${args[@]}")
if ((own_network)); then
  # Only the loopback there: the service and the client meet on it, nobody else does. Its
  # own display too, so no other test's clipboard or windows come near it.
  unset DISPLAY
  exec unshare --net bash -c 'ip link set lo up && exec "$@"' dayswork "${day[@]}"
fi
# Other e2e runs use the same port for their service: take turns.
exec flock /tmp/pv-e2e.lock "${day[@]}"
