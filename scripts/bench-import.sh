#!/usr/bin/env bash
# bench-import.sh: how fast and how lean the import reads large order files, against the
# SheetJS and exceljs readers in node and the time zlib alone needs to inflate the sheet.
# Generates its files once into build/bench-import/ (100,000 rows as xlsx and csv, 65,000 as
# xls), builds the native tools, then prints one line per reader and file: milliseconds of
# the reading only (not a program's start; ours the best of three runs, a peer's one run,
# as exceljs takes minutes over the csv), peak memory of one run (whole process), and the
# factor against our reader. Not part of the test run.
set -euo pipefail
cd "$(dirname "$0")/.."

out=build/bench-import
if [[ ! -d bench/import/node_modules ]]; then
  (cd bench/import && npm install --no-audit --no-fund --silent)
fi
if [[ ! -f $out/orders-65k.xls ]]; then
  nice node bench/import/make-large.js "$out"
fi
bash scripts/build.sh native >/dev/null
ours=build/native/bench/import_bench

# best-of-three milliseconds of a command that prints "MS COUNT"
best() {
  local b=""
  for _ in 1 2 3; do
    local ms
    ms=$("$@" | awk '{print $1}')
    if [[ -z $b ]] || awk -v a="$ms" -v b="$b" 'BEGIN{exit !(a<b)}'; then b=$ms; fi
  done
  echo "$b"
}
peak_mb() {
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.0f", $1/1024}'
}

printf '%-18s %-22s %10s %9s %10s %9s\n' file reader ms "peak MB" "time x" "memory x"
for file in orders-100k.xlsx orders-65k.xls orders-100k.csv; do
  path=$out/$file
  our_ms=$(best "$ours" orders "$path")
  our_mb=$(peak_mb "$ours" orders "$path")
  printf '%-18s %-22s %10s %9s %10s %9s\n' "$file" "parcelvane" "$our_ms" "$our_mb" 1 1
  # A peer runs once: its own timing of the reading, and the process's peak memory.
  peer() {  # name command...
    local name=$1 log
    shift
    log=$(mktemp)
    local ms
    ms=$(/usr/bin/time -o "$log" -f '%M' "$@" | awk '{print $1}')
    row "$name" "$ms" "$(awk '{printf "%.0f", $1/1024}' "$log")"
    rm -f "$log"
  }
  row() {  # name ms mb
    printf '%-18s %-22s %10s %9s %10s %9s\n' "$file" "$1" "$2" "$3" \
      "$(awk -v a="$2" -v b="$our_ms" 'BEGIN{printf "%.1f", a/b}')" \
      "$(awk -v a="$3" -v b="$our_mb" 'BEGIN{printf "%.1f", a/b}')"
  }
  peer "SheetJS (node)" node bench/import/peers.js sheetjs "$path"
  if [[ $file != *.xls ]]; then  # exceljs reads no xls
    peer "exceljs (node)" node bench/import/peers.js exceljs "$path"
  fi
  if [[ $file == *.xlsx ]]; then
    row "zlib inflate of sheet" "$(best "$ours" inflate "$path")" "$(peak_mb "$ours" inflate "$path")"
  fi
done
