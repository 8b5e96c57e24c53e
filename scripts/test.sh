#!/usr/bin/env bash
# test.sh: every test level, native and under Wine. One line per level, then the closing
# line "N passed, N failed" over all levels; exits non-zero on any failure.
#
# Levels: unit and integration (build/native); ship, the check of the program we ship
# (build/win32, on every machine); unit under Wine and e2e, and any other label a build
# registers. The Wine levels run in the flavour this machine can run: the 32-bit build
# under 32-bit Wine, or, where the kernel cannot execute 32-bit programs (or with
# PV_WINE_BITS=64), the 64-bit build (build/win64) under wine64; the level lines name it.
# One Wine session (display, prefix, persistent server, on an Xvfb of its own) serves the
# whole Wine part and is ended on the way out.
# A level alone: ctest --test-dir build/native -L unit, ctest --test-dir build/win32 -L e2e.
set -uo pipefail
cd "$(dirname "$0")/.."
repo=$PWD
results=$repo/build/test-results
begun=$SECONDS

passed=0
failed=0
child=

# Runs a command in the background so that a signal reaches us (and through us the
# command) at once; returns its exit code.
bounded() {
  "$@" &
  child=$!
  wait "$child"
  local rc=$?
  child=
  return $rc
}

finish() {
  [[ -n $child ]] && kill "$child" 2>/dev/null && wait "$child" 2>/dev/null
  declare -F pv_wine_cleanup >/dev/null && pv_wine_cleanup
}
trap finish EXIT
trap 'echo "test: interrupted" >&2; exit 130' INT TERM

# Counts passed and failed cases of a ctest JUnit file: prints "PASSED FAILED".
count_junit() {
  python3 - "$1" <<'PY'
import sys
import xml.etree.ElementTree as ET
try:
    root = ET.parse(sys.argv[1]).getroot()
except (OSError, ET.ParseError):
    print(0, 0)
    sys.exit()
passed = failed = 0
for case in root.iter("testcase"):
    status = case.get("status", "run")
    if status == "disabled":
        continue
    if status == "notrun" or case.find("failure") is not None or case.find("error") is not None:
        failed += 1
    else:
        passed += 1
print(passed, failed)
PY
}

# level NAME BUILD-FOLDER CTEST-SELECTION... : runs the selected tests, prints the level's
# line (with $level_note after the name when set).
level_note=
level() {
  local name=$1 build=$2 junit=$results/$1.xml started=$SECONDS
  shift 2
  rm -f "$junit"
  echo "test: level $name"
  bounded timeout -k 30 3600 ctest --test-dir "$build" --output-on-failure --no-tests=ignore \
    --parallel 2 --output-junit "$junit" "$@"
  local rc=$? p f
  read -r p f < <(count_junit "$junit")
  # ctest failing with no failed case (killed, timed out, broken test list) is a failure too.
  ((rc != 0 && f == 0)) && f=1
  passed=$((passed + p))
  failed=$((failed + f))
  LEVEL_LINES+=("level $name${level_note:+ ($level_note)}: $p passed, $f failed ($((SECONDS - started)) s)")
  echo "${LEVEL_LINES[-1]}"
}

# Levels named by label; tests with any other label (but those of $levels_elsewhere, run
# by a level of their own) form one more level per build.
levels_elsewhere=
levels_of() {
  local build=$1 prefix=$2
  shift 2
  local label pattern
  for label in "$@"; do
    level "$prefix$label" "$build" -L "^$label\$"
  done
  pattern="^($(IFS='|'; echo "$* $levels_elsewhere" | tr ' ' '|' | sed 's/|*$//'))\$"
  if ctest --test-dir "$build" -N -LE "$pattern" 2>/dev/null | grep -q '^  *Test *#'; then
    level "${prefix}other" "$build" -LE "$pattern"
  fi
}

LEVEL_LINES=()
mkdir -p "$results"

bounded bash scripts/install-deps.sh || { echo "test: installing the dependencies failed"; exit 1; }

if bounded bash scripts/build.sh native; then
  levels_of build/native "" unit integration
else
  echo "test: the native build failed"
  LEVEL_LINES+=("build native: failed")
  failed=$((failed + 1))
fi

# The program we ship is built and checked everywhere, even where it cannot run.
win32_built=
if bounded bash scripts/build.sh win32; then
  win32_built=yes
  level ship build/win32 -L '^ship$'
else
  echo "test: the win32 build failed"
  LEVEL_LINES+=("build win32: failed")
  failed=$((failed + 1))
fi

# The flavour of the Wine levels: this machine's, or the one PV_WINE_BITS asks for.
if ! source scripts/wine-env.sh; then
  echo "test: Wine could not be set up"
  LEVEL_LINES+=("wine set-up: failed")
  failed=$((failed + 1))
elif [[ $pv_wine_bits == 64 ]] && ! bounded bash scripts/build.sh win64; then
  echo "test: the win64 build failed"
  LEVEL_LINES+=("build win64: failed")
  failed=$((failed + 1))
elif [[ $pv_wine_bits == 64 || -n $win32_built ]]; then
  echo "test: Wine levels on build/win$pv_wine_bits ($pv_wine_flavour)"
  # Every Wine program of the levels runs in this flavour.
  export PV_WINE_BITS=$pv_wine_bits
  # Tests get a screen of their own: nothing pops up on the developer's display, and
  # every run sees the same screen size.
  unset DISPLAY
  if pv_wine_ensure_display && pv_wine_ensure_prefix && pv_wine_start_server; then
    echo "test: Wine on display $DISPLAY, prefix $WINEPREFIX"
    level_note=$pv_wine_flavour
    levels_elsewhere=ship
    levels_of "build/win$pv_wine_bits" "wine-" unit e2e
    level_note=
  else
    echo "test: Wine could not be set up"
    LEVEL_LINES+=("wine set-up: failed")
    failed=$((failed + 1))
  fi
fi

echo
echo "test: summary ($((SECONDS - begun)) s)"
printf '  %s\n' "${LEVEL_LINES[@]}"
echo "$passed passed, $failed failed"
((failed == 0))
