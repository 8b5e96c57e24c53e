#!/usr/bin/env bash
# sanitize.sh tsan|asan [CTEST ARGS...]: builds the native build under ThreadSanitizer, or under
# AddressSanitizer with UndefinedBehaviorSanitizer (build/tsan, build/asan), runs its unit and
# integration levels and counts the sanitizers' reports. Exits non-zero on a failed test or
# on any report. Not part of the test command: a cold build of either takes a while.
set -uo pipefail
cd "$(dirname "$0")/.."

kind=${1:-}
if [[ $kind != tsan && $kind != asan ]]; then
  sed -n '2,5s/^# \{0,1\}//p' "$0"
  exit 2
fi
shift

bash scripts/install-deps.sh || exit 1
bash scripts/build.sh "$kind" || exit 1

log=build/$kind/sanitize.log
# Every report is kept (no halting at the first), with the stacks that make it readable.
export TSAN_OPTIONS="halt_on_error=0 second_deadlock_stack=1 history_size=4"
export ASAN_OPTIONS="detect_leaks=1 halt_on_error=0 detect_stack_use_after_return=1"
export UBSAN_OPTIONS="print_stacktrace=1"
ctest --test-dir "build/$kind" -L 'unit|integration' --output-on-failure --parallel 2 "$@" >"$log" 2>&1
rc=$?
reports=$(grep -cE '^(WARNING: ThreadSanitizer|==[0-9]+==ERROR: (AddressSanitizer|LeakSanitizer))|runtime error:' "$log")
grep -E '^[0-9]+% tests passed|tests failed' "$log" | tail -1
echo "sanitize $kind: $reports report(s); the whole output is in $log"
((rc == 0 && reports == 0))
