#!/usr/bin/env bash
# crosscheck-spreadsheets.sh [FILE...]: compares what our xls/xlsx reader makes of each
# workbook with LibreOffice's own conversion of its first sheet to csv. Every cell we read
# (text, or a number as General shows it) must equal LibreOffice's cell; every cell we leave
# empty must be empty there too or hold a date, time, boolean or error (which the import
# reads as empty). Not part of the
# test run: it needs LibreOffice (libreoffice-calc-nogui, installed when missing) and takes
# a few seconds per file. Default files: the committed fixtures our reader loads.
set -euo pipefail
cd "$(dirname "$0")/.."

if ! command -v soffice >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends libreoffice-calc-nogui >/dev/null
fi
bash scripts/build.sh native >/dev/null
dump=build/native/bench/spreadsheet_dump

files=("$@")
if ((${#files[@]} == 0)); then
  for f in tests/fixtures/spreadsheets/*.xls tests/fixtures/spreadsheets/*.xlsx; do
    "$dump" "$f" >/dev/null 2>&1 && files+=("$f")
  done
fi

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
status=0
for f in "${files[@]}"; do
  name=$(basename "$f")
  mkdir -p "$work/$name"
  "$dump" "$f" >"$work/$name/ours.json" || { echo "$name: our reader refused it: $(cat "$work/$name/ours.json")"; status=1; continue; }
  # Comma, double quote, UTF-8, from line 1; token 12 picks the first sheet.
  soffice --headless "-env:UserInstallation=file://$work/profile" --convert-to \
    'csv:Text - txt - csv (StarCalc):44,34,76,1,,0,false,true,false,false,false,1' \
    --outdir "$work/$name" "$f" >/dev/null 2>&1 || true
  csv=$(ls "$work/$name"/*.csv 2>/dev/null | head -1)
  if [[ -z $csv ]]; then
    echo "$name: LibreOffice did not convert it"
    status=1
    continue
  fi
  python3 - "$name" "$work/$name/ours.json" "$csv" <<'PY' || status=1
import csv, json, re, sys
name, ours_path, csv_path = sys.argv[1:]
ours = json.load(open(ours_path, encoding="utf-8"))["rows"]
with open(csv_path, encoding="utf-8", newline="") as f:
    theirs = list(csv.reader(f))
# Differences that are LibreOffice's, not ours: it recalculates formulas instead of reading
# their saved results (the trap fixture's formulas are not even real ones), and it does not
# find a part whose relationship target differs in letter case, though part names compare
# without case.
known = {
    "traps.xls": {"R4C1", "R4C3"},
    "libreoffice.xls": {"R11C8"},
    "traps.xlsx": "*",
}.get(name, set())
if known == "*":
    print(f"{name}: not compared (LibreOffice does not find its sheet)")
    sys.exit(0)
# A date or time has a separator a plain number lacks; a number we left empty is a fault.
non_text = re.compile(r"^(\d[\d.:/ -]*[:/-][\d.:/ -]*|TRUE|FALSE|#[A-Z/0!?]+.*)$")
problems, texts = [], 0
for r in range(max(len(ours), len(theirs))):
    row_ours = ours[r] if r < len(ours) else []
    row_theirs = theirs[r] if r < len(theirs) else []
    for c in range(max(len(row_ours), len(row_theirs))):
        mine = row_ours[c] if c < len(row_ours) else ""
        lo = row_theirs[c] if c < len(row_theirs) else ""
        if f"R{r+1}C{c+1}" in known:
            continue
        if mine:
            texts += 1
            if mine != lo:
                problems.append(f"R{r+1}C{c+1}: ours {mine!r}, LibreOffice {lo!r}")
        elif lo and not non_text.match(lo):
            problems.append(f"R{r+1}C{c+1}: ours empty, LibreOffice text {lo!r}")
if problems:
    print(f"{name}: {len(problems)} differences")
    for p in problems[:20]:
        print("   ", p)
    sys.exit(1)
print(f"{name}: {texts} cells agree")
PY
done
exit $status
