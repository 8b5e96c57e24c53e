#!/usr/bin/env bash
# fuzz-import.sh csv|xls|xlsx [MINUTES]: runs the order-file readers' libFuzzer target for
# MINUTES (default 10) under AddressSanitizer and UndefinedBehaviorSanitizer, seeded from
# the committed fixtures. Builds with clang into build/fuzz-import/ (installing clang and its
# runtime when missing); the corpus grows in build/fuzz-import/corpus/TARGET across runs and
# a finding is written to build/fuzz-import/findings/TARGET/ (the run then ends non-zero).
# One job at low priority: the machine is shared. Not part of the test run.
set -euo pipefail
cd "$(dirname "$0")/.."

target=${1:-}
minutes=${2:-10}
case "$target" in csv|xls|xlsx) ;; *) sed -n '2,7s/^# \{0,1\}//p' "$0"; exit 2 ;; esac
[[ "$minutes" =~ ^[1-9][0-9]*$ ]] || { echo "fuzz-import: MINUTES must be a whole number above 0" >&2; exit 2; }

for p in clang libclang-rt-14-dev zlib1g-dev; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    DEBIAN_FRONTEND=noninteractive apt-get install -y -qq --no-install-recommends "$p" >/dev/null
  fi
done

out=build/fuzz-import
mkdir -p "$out/obj" "$out/corpus/$target" "$out/seeds/$target" "$out/findings/$target"
flags=(-std=c++20 -O1 -g -fno-omit-frame-pointer -I.)
sources=(core/import/csv_reader.cpp core/import/import_records.cpp core/import/spreadsheet.cpp
         core/import/compound_file.cpp core/import/xls_reader.cpp core/import/xlsx_reader.cpp
         core/import/xml_reader.cpp core/import/zip_archive.cpp core/text/text.cpp core/text/encoding.cpp
         core/system/files.cpp platform/posix/codepage.cpp core/regex/*.cpp)
objects=()
for src in "${sources[@]}"; do
  obj=$out/obj/$(echo "$src" | tr / _).o
  if [[ ! -f $obj || $src -nt $obj ]]; then
    nice clang++ "${flags[@]}" -fsanitize=fuzzer-no-link,address,undefined -c "$src" -o "$obj"
  fi
  objects+=("$obj")
done
nice clang++ "${flags[@]}" -fsanitize=fuzzer,address,undefined "fuzz/${target}_fuzz.cpp" "${objects[@]}" -lz \
  -o "$out/fuzz_$target"

case "$target" in
  csv) printf '订单号,地址\r\n1,"北京,朝阳"\n2,上海\n' >"$out/seeds/csv/plain.csv"
       printf '\xef\xbb\xbf订单号,省市区,收货地址\n1,浙江,"x\ny"\n' >"$out/seeds/csv/bom.csv" ;;
  *) for f in tests/fixtures/spreadsheets/*."$target"; do
       [[ $(stat -c %s "$f") -lt 1000000 ]] && cp "$f" "$out/seeds/$target/"
     done ;;
esac
exec nice -n 10 "$out/fuzz_$target" "$out/corpus/$target" "$out/seeds/$target" -max_total_time=$((minutes * 60)) \
  -timeout=30 -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$out/findings/$target/"
