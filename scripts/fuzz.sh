#!/usr/bin/env bash
# fuzz.sh TARGET [MINUTES] [LIBFUZZER OPTION...]: runs one fuzz target for MINUTES (default 10).
# fuzz.sh --list: the targets.
#
# Builds the fuzz preset (clang with libFuzzer, AddressSanitizer and UndefinedBehaviorSanitizer)
# into build/fuzz, installing clang and its runtime first when they are missing. The corpus
# grows in build/fuzz/corpus/TARGET across runs, starting from the target's seeds (fixture
# files and fuzz/seeds/TARGET/); a finding is written to build/fuzz/findings/TARGET/ and makes
# the run end non-zero. One job, at low priority: the machine is shared.
set -euo pipefail
cd "$(dirname "$0")/.."

if [[ "${1:-}" == "" || "${1:-}" == "-h" || "${1:-}" == "--help" ]]; then
  sed -n '2,9s/^# \{0,1\}//p' "$0"
  exit 2
fi

packages=(clang libclang-rt-14-dev)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' || missing+=("$p")
done
if ((${#missing[@]})); then
  echo "fuzz: installing ${missing[*]}"
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

mkdir -p build
if [[ ! -f build/fuzz/CMakeCache.txt || ! -f build/fuzz/build.ninja ]]; then
  echo "fuzz: configuring"
  if ! cmake --preset fuzz >build/configure-fuzz.log 2>&1; then
    cat build/configure-fuzz.log >&2
    exit 1
  fi
fi

if [[ "$1" == "--list" ]]; then
  cmake --build build/fuzz --target help | sed -n 's/^fuzz_\([A-Za-z0-9_]*\): .*/\1/p'
  exit 0
fi

target=$1
minutes=${2:-10}
shift $(($# < 2 ? $# : 2))
[[ "$minutes" =~ ^[0-9]+$ ]] || { echo "fuzz: MINUTES must be a whole number" >&2; exit 2; }

cmake --build build/fuzz --target "fuzz_$target"

corpus=build/fuzz/corpus/$target
seeds=build/fuzz/seed-corpus/$target
findings=build/fuzz/findings/$target
mkdir -p "$corpus" "$seeds" "$findings"
while IFS= read -r file; do
  [[ -n "$file" && -f "$file" ]] && cp "$file" "$seeds/$(basename "$file")"
done <"build/fuzz/seeds/$target.list"
[[ -d fuzz/seeds/$target ]] && cp fuzz/seeds/"$target"/* "$seeds"/ 2>/dev/null || true

options=(-max_total_time=$((minutes * 60)) -timeout=30 -print_final_stats=1 -artifact_prefix="$findings/")
[[ -f fuzz/$target.dict ]] && options+=(-dict="fuzz/$target.dict")

export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=1}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-halt_on_error=1:print_stacktrace=1:suppressions=$PWD/fuzz/ubsan.supp}
echo "fuzz: $target for $minutes min; corpus $corpus, findings $findings"
log=build/fuzz/$target.log
set +e
nice -n 10 "build/fuzz/fuzz/fuzz_$target" "${options[@]}" "$@" "$corpus" "$seeds" 2>&1 | tee "$log" |
  grep -v -E '^#[0-9]+[[:space:]]+(NEW|REDUCE|pulse)'
status=${PIPESTATUS[0]}
set -e
last=$(grep -E '^#[0-9]+' "$log" | tail -n 1 || true)
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$log" | tail -n 1)
echo "fuzz: $target: ${runs:-?} runs; last status: ${last:-none}; corpus $(ls "$corpus" | wc -l) inputs"
exit "$status"
