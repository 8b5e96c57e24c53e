// import_bench orders|load|inflate FILE [REPEAT]: the import's reading of an order file, timed.
//   orders:  the file to ImportedOrders as the free import reads it (csv reader, or our
//            workbook reader and the header search and data rows), best of REPEAT runs
//   load:    only our workbook reader (no header search, no orders)
//   inflate: only zlib inflating the first sheet's part of an xlsx: the floor of any reader
// Prints "MILLISECONDS COUNT" (orders, or inflated bytes). Run by scripts/bench-import.sh.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "core/import/csv_reader.h"
#include "core/import/sheet_orders.h"
#include "core/sheets/spreadsheet.h"
#include "core/sheets/zip_archive.h"
#include "core/system/files.h"

namespace {

pv::ImportProfile freeImport(pv::ImportOptional& optional) {
  pv::ImportProfile p;
  p.regionPattern = "地区|省市区";
  p.addressPattern = "(收[件货]|详细)(地址|信息)|地址";
  p.orderNoPattern = "订单号|订单编号|原始单号|来源单号";
  optional.flags[0] = 1;
  return p;
}

size_t readOrders(const std::string& path) {
  pv::ImportOptional optional;
  const pv::ImportProfile profile = freeImport(optional);
  std::vector<pv::ImportedOrder> orders;
  if (path.size() > 4 && path.substr(path.size() - 4) == ".csv") {
    pv::parseCsvOrders(pv::readFileBytes(path), orders, profile);
    return orders.size();
  }
  pv::SpreadsheetBook book;
  if (!book.load(path)) {
    std::fprintf(stderr, "cannot read %s\n", path.c_str());
    std::exit(1);
  }
  pv::readSheetOrders(*book.sheet(0), profile, optional, orders);
  return orders.size();
}

size_t loadOnly(const std::string& path) {
  pv::SpreadsheetBook book;
  return book.load(path) ? book.sheet(0)->textCellCount() : 0;
}

size_t inflateSheet(const std::string& path) {
  const std::string bytes = pv::readFileBytes(path);
  const pv::ZipArchive zip(bytes);
  pv::ZipArchive::Status status;
  return zip.extract(zip.find("xl/worksheets/sheet1.xml"), status).size();
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 3) {
    std::fprintf(stderr, "usage: import_bench orders|load|inflate FILE [REPEAT]\n");
    return 2;
  }
  const std::string mode = argv[1], path = argv[2];
  const int repeat = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
  double best = 1e30;
  size_t count = 0;
  for (int i = 0; i < repeat; ++i) {
    const auto start = std::chrono::steady_clock::now();
    count = mode == "inflate" ? inflateSheet(path) : mode == "load" ? loadOnly(path) : readOrders(path);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  std::printf("%.1f %zu\n", best, count);
  return 0;
}
