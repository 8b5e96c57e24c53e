#!/usr/bin/env bash
# bench-results.sh [ROWS]: how fast and how lean the results file of a run is written. For
# each writer bench/results_bench knows (results_bench --list; "rows" only builds the rows,
# the memory floor under every writer), the milliseconds of writing the results of ROWS
# orders (default 100,000; best of three runs) and the peak memory of one run (whole
# process, rows included), beside the time our reader takes to read the 100,000-row order
# xlsx of scripts/bench-import.sh and the results xlsx just written. Not part of the test run.
set -euo pipefail
cd "$(dirname "$0")/.."

rows=${1:-100000}
out=build/bench-import
if [[ ! -f $out/orders-100k.xlsx ]]; then
  if [[ ! -d bench/import/node_modules ]]; then
    (cd bench/import && npm install --no-audit --no-fund --silent)
  fi
  nice node bench/import/make-large.js "$out"
fi
bash scripts/build.sh native >/dev/null
bench=build/native/bench/results_bench
reader=build/native/bench/import_bench
written=$out/results-$rows.xlsx

peak_mb() {
  /usr/bin/time -f '%M' "$@" 2>&1 >/dev/null | tail -1 | awk '{printf "%.0f", $1/1024}'
}

printf '%-34s %10s %9s %12s\n' what ms "peak MB" "file MB"
for writer in $("$bench" --list); do
  read -r ms bytes < <("$bench" "$writer" "$rows" 3 "$written.$writer")
  printf '%-34s %10s %9s %12s\n' "write $rows results: $writer" "$ms" "$(peak_mb "$bench" "$writer" "$rows")" \
    "$(awk -v b="$bytes" 'BEGIN{printf "%.1f", b/1048576}')"
done
mv "$written.xlsx" "$written"
rm -f "$written".*
for file in "$out/orders-100k.xlsx" "$written"; do
  printf '%-34s %10s %9s %12s\n' "read $(basename "$file") (ours)" "$("$reader" load "$file" 3 | awk '{print $1}')" \
    "$(peak_mb "$reader" load "$file")" "$(du -m "$file" | awk '{print $1}')"
done
