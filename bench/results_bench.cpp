// results_bench WRITER [ROWS] [REPEAT] [OUT]: writes the results of ROWS orders (default
// 100,000) with WRITER, best of REPEAT runs, and prints "MILLISECONDS BYTES"; OUT keeps the
// last file. The rows are built before the clock starts: source-like columns (order number,
// name, phone, region, address, note) and the results beside them (verdict, site, distance,
// surcharge, restrictions of one to three lines, remark), a third of the rows filled.
//   results_bench --list           the writers, one a line (scripts/bench-results.sh times each)
//   results_bench sample OUT.xlsx  a small results workbook of awkward texts, and on standard
//                                  output the texts each cell must read back as, as JSON
//                                  {"rows":[["text",...],...]} (scripts/crosscheck-spreadsheets.sh --writer)
// Run by scripts/bench-results.sh; not part of the test run.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

#include "bench/json_text.h"
#include "core/import/results_file.h"
#include "core/sheets/xlsx_writer.h"
#include "core/text/codepage.h"
#include "core/system/files.h"

namespace {

using Rows = std::vector<std::vector<std::string>>;

// A results writer under test: the bytes of the file it writes from the sheet.
struct ResultsWriter {
  const char* name;
  std::string (*write)(const pv::SheetToWrite&);
};

// The csv results of an import of a GBK text file holding the sheet's source columns: the
// file is read (as the import reads it) and the orders given their results once per sheet,
// so the best of the repeats times the writing alone.
std::string writeCsvResults(const pv::SheetToWrite& sheet) {
  struct Prepared {
    const pv::SheetToWrite* sheet = nullptr;
    pv::ImportSource source;
    std::vector<pv::ImportedOrder> orders;
    pv::RunLedger ledger;
  };
  static Prepared prepared;
  if (prepared.sheet != &sheet) {
    prepared = Prepared();
    prepared.sheet = &sheet;
    constexpr size_t kSourceColumns = 6;
    std::string text;
    for (const auto& row : sheet.rows) {
      for (size_t c = 0; c < row.size() && c < kSourceColumns; ++c) text += (c ? "," : "") + pv::utf8ToGbk(row[c]);
      text += "\r\n";
    }
    prepared.source.text = true;
    pv::ImportProfile profile;
    profile.orderNoPattern = "订单";
    profile.addressPattern = "地址";
    (void)pv::parseCsvOrders(text, prepared.orders, profile, pv::HeaderMatcher(profile), &prepared.source.layout);
    prepared.ledger = pv::RunLedger(static_cast<int>(prepared.orders.size()));
    for (size_t i = 0; i < prepared.orders.size(); ++i) {
      prepared.ledger.orders().push_back({prepared.orders[i].address, prepared.orders[i].orderNumber, {}});
      const auto& row = sheet.rows[i + 1];
      pv::OrderResult result;
      result.outcome = i % 3 == 0 ? pv::OrderOutcome::Unticked : pv::OrderOutcome::Ticked;
      result.restricted = i % 3 == 0;
      if (row.size() > kSourceColumns + 1) result.types = pv::utf8ToGbk(row[kSourceColumns + 1]);
      if (row.size() > kSourceColumns + 3) result.remarks = pv::utf8ToGbk(row[kSourceColumns + 3]);
      prepared.ledger.settle(i, result, false);
    }
  }
  return pv::importResultsBytes(prepared.source, prepared.orders, prepared.ledger);
}

// "rows" writes nothing: its peak memory is that of the rows alone, the floor under every
// writer's.
const ResultsWriter kWriters[] = {
    {"rows", [](const pv::SheetToWrite&) { return std::string(); }},
    {"xlsx", pv::writeXlsxBook},
    {"csv", writeCsvResults},
};

std::string u8(const char8_t* text) { return reinterpret_cast<const char*>(text); }

pv::SheetToWrite resultsOf(size_t orders) {
  const std::vector<std::string> names = {u8(u8"张伟"), u8(u8"王芳"), u8(u8"李娜"), u8(u8"刘洋"), u8(u8"陈静")};
  const std::vector<std::string> regions = {u8(u8"浙江省 杭州市 西湖区"), u8(u8"广东省 深圳市 南山区"),
                                            u8(u8"四川省 甘孜藏族自治州 理塘县"), u8(u8"新疆维吾尔自治区 喀什地区 塔什库尔干塔吉克自治县"),
                                            u8(u8"北京市 北京市 朝阳区")};
  const std::vector<std::string> streets = {u8(u8"人民路"), u8(u8"建设路"), u8(u8"解放路"), u8(u8"中山路"), u8(u8"新华街")};
  const std::vector<std::string> verdicts = {u8(u8"正常"), u8(u8"正常"), u8(u8"偏远地区"), u8(u8"超区")};
  const std::vector<std::string> restrictions = {
      "", u8(u8"限重30公斤"), u8(u8"需加收附加费\n派送时效延长1-2天"),
      u8(u8"禁寄液体\n禁寄电池\n大件需提前预约")};
  pv::SheetToWrite sheet;
  sheet.sheetName = u8(u8"筛单结果");
  sheet.headerRow = 0;
  sheet.rows.reserve(orders + 1);
  sheet.rowFills.reserve(orders + 1);
  sheet.rows.push_back({u8(u8"订单编号"), u8(u8"收件人"), u8(u8"联系电话"), u8(u8"省市区"), u8(u8"收货地址"), u8(u8"买家留言"),
                        u8(u8"筛单结果"), u8(u8"网点"), u8(u8"距离(公里)"), u8(u8"附加费"), u8(u8"限制说明"), u8(u8"备注")});
  sheet.rowFills.push_back(0);
  uint32_t seed = 12345;
  const auto next = [&seed](uint32_t n) { return (seed = seed * 1103515245 + 12345) / 65536 % n; };
  for (size_t i = 0; i < orders; ++i) {
    const std::string& verdict = verdicts[next(4)];
    std::string address = streets[next(5)] + std::to_string(1 + next(300)) + u8(u8"号");
    if (next(10) < 3) address += std::to_string(1 + next(20)) + u8(u8"栋") + std::to_string(101 + next(30)) + u8(u8"室");
    sheet.rows.push_back({"TB" + std::to_string(2024050100000 + i), names[next(5)], "1" + std::to_string(300000000 + next(690000000)),
                          regions[next(5)], std::move(address), next(10) == 0 ? u8(u8"请尽快发货") : "",
                          verdict, u8(u8"网点") + std::to_string(next(800)), std::to_string(next(50)) + "." + std::to_string(next(10)),
                          verdict == u8(u8"偏远地区") ? std::to_string(5 + next(20)) : "0", restrictions[next(4)],
                          next(20) == 0 ? u8(u8"地址不详，请核实") : ""});
    sheet.rowFills.push_back(verdict == u8(u8"正常") ? 0 : verdict == u8(u8"超区") ? 0xFFC7CE : 0xFFEB9C);
  }
  return sheet;
}

// The awkward texts of a results file: what is written, and what every reader must see.
int writeSample(const char* path) {
  struct Cell {
    std::string text, want;
  };
  const std::string box = u8(u8"📦");
  const std::vector<std::vector<Cell>> rows = {
      {{u8(u8"订单编号"), u8(u8"订单编号")}, {u8(u8"收货地址"), u8(u8"收货地址")}, {u8(u8"筛单结果"), u8(u8"筛单结果")}, {u8(u8"限制说明"), u8(u8"限制说明")}},
      {{"000123", "000123"}, {u8(u8"浙江省杭州市西湖区文三路90号"), u8(u8"浙江省杭州市西湖区文三路90号")}, {u8(u8"正常"), u8(u8"正常")}, {"", ""}},
      {{"12345678901234567890", "12345678901234567890"}, {"a & b < c > d \" e ' f ]]>", "a & b < c > d \" e ' f ]]>"},
       {u8(u8"偏远地区"), u8(u8"偏远地区")}, {u8(u8"需加收附加费\n派送时效延长1-2天"), u8(u8"需加收附加费\n派送时效延长1-2天")}},
      {},
      {{"  lead", "  lead"}, {"trail  ", "trail  "}, {"1.5E+3", "1.5E+3"}, {"0", "0"}},
      {{u8(u8"📦 包裹 🚚 𠀀"), u8(u8"📦 包裹 🚚 𠀀")}, {"ctl\x01" "x\x1f", "ctlx"}, {"bad\xff" "byte", u8(u8"bad\uFFFDbyte")}},
      {{"_x0041_", "_x0041_"}, {"tab\there", "tab\there"}, {"line\none\n", "line\none\n"}, {"=1+1", "=1+1"}},
      {{std::string(40000, 'y'), std::string(32767, 'y')}, {std::string(32766, 'z') + box, std::string(32766, 'z')}},
      {{"", ""}, {"", ""}, {"", ""}, {"last", "last"}},
  };
  pv::SheetToWrite sheet;
  sheet.sheetName = u8(u8"结果:2024/05");
  sheet.headerRow = 0;
  sheet.rowFills = {0, 0, 0xFFEB9C, 0, 0xFFC7CE, 0xFFC7CE};
  std::string json = "{\"rows\":[";
  for (size_t r = 0; r < rows.size(); ++r) {
    auto& row = sheet.rows.emplace_back();
    json += r ? ",[" : "[";
    for (size_t c = 0; c < rows[r].size(); ++c) {
      row.push_back(rows[r][c].text);
      json += (c ? "," : "") + jsonString(rows[r][c].want);
    }
    json += "]";
  }
  json += "]}\n";
  if (!pv::writeFileBytes(path, pv::writeXlsxBook(sheet))) {
    std::fprintf(stderr, "cannot write %s\n", path);
    return 1;
  }
  std::fwrite(json.data(), 1, json.size(), stdout);
  return 0;
}

}  // namespace

int main(int argc, char** argv) {
  const std::string mode = argc > 1 ? argv[1] : "";
  if (mode == "--list") {
    for (const ResultsWriter& w : kWriters) std::printf("%s\n", w.name);
    return 0;
  }
  if (mode == "sample" && argc == 3) return writeSample(argv[2]);
  const auto writer = std::find_if(std::begin(kWriters), std::end(kWriters), [&](const ResultsWriter& w) { return mode == w.name; });
  if (writer == std::end(kWriters)) {
    std::fprintf(stderr, "usage: results_bench --list | WRITER [ROWS] [REPEAT] [OUT] | sample OUT.xlsx\n");
    return 2;
  }
  const size_t orders = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100000;
  const int repeat = argc > 3 ? std::max(1, std::atoi(argv[3])) : 1;
  const pv::SheetToWrite sheet = resultsOf(orders);
  double best = 1e30;
  std::string bytes;
  for (int i = 0; i < repeat; ++i) {
    bytes.clear();
    const auto start = std::chrono::steady_clock::now();
    bytes = writer->write(sheet);
    const std::chrono::duration<double, std::milli> took = std::chrono::steady_clock::now() - start;
    best = std::min(best, took.count());
  }
  if (argc > 4 && !pv::writeFileBytes(argv[4], bytes)) {
    std::fprintf(stderr, "cannot write %s\n", argv[4]);
    return 1;
  }
  std::printf("%.1f %zu\n", best, bytes.size());
  return 0;
}
