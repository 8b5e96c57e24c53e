#!/usr/bin/env bash
# fault-table.sh [--check] [TABLE]: puts the fault table that the last run of the fault
# table test wrote (default build/native/fault-table.md) into README.md between its
# markers; with --check, only compares and fails when the README's copy differs.
# The table itself comes from the test: ctest --test-dir build/native -R '^fault-table$'
set -euo pipefail
cd "$(dirname "$0")/.."

check=0
if [[ ${1:-} == --check ]]; then
  check=1
  shift
fi
table=${1:-build/native/fault-table.md}
if [[ ! -s $table ]]; then
  echo "fault-table: no table at $table; run: ctest --test-dir build/native -R '^fault-table\$'" >&2
  exit 1
fi

python3 - "$check" "$table" README.md <<'PY'
import sys
check, table_path, readme_path = sys.argv[1] == "1", sys.argv[2], sys.argv[3]
begin, end = "<!-- fault-table:begin -->", "<!-- fault-table:end -->"
table = open(table_path, encoding="utf-8").read().strip("\n")
readme = open(readme_path, encoding="utf-8").read()
if begin not in readme or end not in readme:
    sys.exit(f"fault-table: {readme_path} has no {begin} ... {end} markers")
head, rest = readme.split(begin, 1)
current, tail = rest.split(end, 1)
if check:
    if current.strip("\n") != table:
        sys.exit("fault-table: the README's fault table differs from the one the test just wrote; "
                 "run: bash scripts/fault-table.sh")
    sys.exit(0)
open(readme_path, "w", encoding="utf-8").write(head + begin + "\n" + table + "\n" + end + tail)
print(f"fault-table: README.md updated from {table_path}")
PY
