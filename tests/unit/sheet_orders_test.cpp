// Orders out of a sheet: header search from the saved view, later matches replacing earlier
// ones, the column check, masked addresses, prefix columns, and rows that give no order.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/import/sheet_orders.h"
#include "core/text/codepage.h"

namespace pv {
namespace {

// A sheet of text cells; "" leaves a cell empty. `top` and `left` are the saved view's
// first row and column.
SpreadsheetSheet sheetOf(const std::vector<std::vector<std::string>>& rows, int top = 0, int left = 0) {
  SpreadsheetSheet sheet;
  sheet.setTopLeft(top, left);
  for (size_t r = 0; r < rows.size(); ++r) {
    for (size_t c = 0; c < rows[r].size(); ++c) {
      if (rows[r][c].empty()) continue;
      const std::string utf8 = gbkToUtf8(rows[r][c]);
      const auto offset = static_cast<uint32_t>(sheet.pool().size());
      sheet.pool() += utf8;
      sheet.addText(static_cast<uint32_t>(r), static_cast<uint32_t>(c), offset, static_cast<uint32_t>(utf8.size()));
    }
  }
  sheet.finish();
  return sheet;
}

// The profile of the free import, after its defaults.
ImportProfile freeImport(ImportOptional& optional) {
  ImportProfile p;
  p.regionPattern = "地区|省市区";
  p.addressPattern = "(收[件货]|详细)(地址|信息)|地址";
  p.orderNoPattern = "订单号|订单编号|原始单号|来源单号";
  optional.flags[0] = 1;
  return p;
}

ImportProfile jingDa() {  // 精打
  ImportProfile p;
  p.regionPattern = "省";
  p.cityPattern = "市";
  p.districtPattern = "区";
  p.addressPattern = "地址";
  p.orderNoPattern = "订单编号";
  return p;
}

std::string run(const SpreadsheetSheet& sheet, const ImportProfile& profile, const ImportOptional& optional) {
  std::vector<ImportedOrder> orders;
  const SheetImport result = readSheetOrders(sheet, profile, optional, orders);
  if (result.missingSlot >= 0) return "missing " + profile.pattern(result.missingSlot);
  std::string out = "header " + std::to_string(result.headerRow + 1);
  for (const ImportedOrder& o : orders) out += "\n" + o.orderNumber + "|" + o.address;
  return out;
}

const std::string kMasked(30, 'x');  // the client's cipher text: 26 or more such characters

TEST(SheetOrders, FindsTheHeaderAndReadsTheRowsBelowIt) {
  ImportOptional opt;
  const ImportProfile free = freeImport(opt);
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> rows;
    int top;
    std::string want;
    int left = 0;
  };
  const Case cases[] = {
      {"header on row 3 under two title rows",
       {{"订单导出"}, {"2024-05-01"}, {"订单编号", "省市区", "收货地址"}, {"A1", "浙江杭州", "文三路1号"}, {"A2", "", "上海"}},
       0, "header 3\nA1|浙江杭州文三路1号\nA2|上海"},
      {"the later of two address matches in the header row is used",
       {{"订单号", "地址", "", "详细地址"}, {"1", "粗", "", "细"}}, 0, "header 1\n1|细"},
      {"a sender's address column after the consignee's is never the address column",
       {{"订单号", "收货地址", "寄件人地址", "", "", "发货地址"}, {"1", "收件处", "寄件处", "", "", "发件处"}}, 0,
       "header 1\n1|收件处"},
      {"nor is a sender's region a prefix",
       {{"订单号", "发货地区", "地址"}, {"1", "杭州", "北京"}}, 0, "header 1\n1|北京"},
      {"a title row's order column is replaced by the header's",
       {{"", "订单号汇总"}, {"订单号", "备注", "地址"}, {"7", "x", "北京"}}, 0, "header 2\n7|北京"},
      {"a title row's order column stays when the header has none",
       {{"", "订单号汇总"}, {"编号", "单号", "地址"}, {"7", "8", "北京"}}, 0, "header 2\n8|北京"},
      {"a masked address is screened by its region alone",
       {{"订单号", "地区", "地址"}, {"1", "浙江省杭州市", kMasked}, {"2", "", kMasked}, {"3", "", "此次不解密"}}, 0,
       "header 1\n1|浙江省杭州市"},
      {"rows with an empty address are skipped, empty order numbers are imported",
       {{"订单号", "地址"}, {"1", ""}, {"", "广州"}}, 0, "header 1\n|广州"},
      {"the search starts at the saved view's top row",
       {{"订单号", "", "地址"}, {"1", "", "北京"}, {"订单编号", "收货地址"}, {"3", "深圳", "x"}}, 2,
       "header 3\n3|深圳"},
      {"the search starts at the saved view's left column",
       {{"地址", "订单号", "备注"}, {"北京", "1", "x"}, {"", "订单编号", "收货地址"}, {"广州", "2", "深圳"}}, 0,
       "header 3\n2|深圳", 1},
  };
  for (const Case& c : cases) EXPECT_EQ(run(sheetOf(c.rows, c.top, c.left), free, opt), c.want) << c.name;
}

TEST(SheetOrders, PrefixColumnsOfASpreadsheetTakeEveryMatchingHeader) {
  const ImportOptional none;
  // One 省市区 header matches the province, city and district slots: its text three times.
  EXPECT_EQ(run(sheetOf({{"订单编号", "省市区", "地址"}, {"9", "浙江杭州", "路1号"}}), jingDa(), none),
            "header 1\n9|浙江杭州浙江杭州浙江杭州路1号");
  // A later 收货地区 takes the district slot from 区.
  EXPECT_EQ(run(sheetOf({{"订单编号", "省", "市", "区", "地址", "收货地区"}, {"9", "浙", "杭", "西湖", "路", "余杭"}}),
                jingDa(), none),
            "header 1\n9|浙杭余杭路");
}

TEST(SheetOrders, APatternThatFindsEmptyTextTakesTheLastEmptyCellOfTheRow) {
  // Empty cells are never stored, yet they are searched as the empty text they read as:
  // "^$" takes the rightmost empty column of the header row up to the last used column.
  ImportProfile p;
  p.regionPattern = "^$";
  p.addressPattern = "地址";
  p.orderNoPattern = "订单号";
  const ImportOptional none;
  struct Case {
    const char* name;
    std::vector<std::vector<std::string>> rows;
    std::string want;
  };
  const Case cases[] = {
      {"a gap between text cells", {{"订单号", "", "地址", "x"}, {"1", "省", "北京", ""}}, "header 1\n1|省北京"},
      {"an empty cell past the row's last text", {{"订单号", "地址"}, {"1", "北京", "", "y"}}, "header 1\n1|y北京"},
      {"no empty cell in the header row", {{"订单号", "地址"}, {"1", "北京"}}, "missing ^$"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(sheetOf(c.rows), p, none), c.want) << c.name;
}

TEST(SheetOrders, AMissingRequiredColumnStopsTheImport) {
  ImportOptional opt;
  const ImportProfile free = freeImport(opt);
  const ImportOptional none;
  struct Case {
    const char* name;
    SpreadsheetSheet sheet;
    const ImportProfile& profile;
    const ImportOptional& optional;
    std::string want;
  };
  ImportProfile exactAddress;
  exactAddress.addressPattern = "^地址$";
  exactAddress.orderNoPattern = "订单号|订单编号";
  const Case cases[] = {
      {"精打 export without 区", sheetOf({{"订单编号", "省", "市", "地址"}, {"1", "a", "b", "c"}}), jingDa(), none,
       "missing 区"},
      {"^地址$ does not take 收货地址", sheetOf({{"订单号", "收货地址"}, {"1", "x"}}), exactAddress, none,
       "missing ^地址$"},
      {"header above the saved view", sheetOf({{"订单号", "地址"}, {"1", "x"}}, 5), free, opt,
       "missing (收[件货]|详细)(地址|信息)|地址"},
      {"an empty sheet", sheetOf({}), free, opt, "missing (收[件货]|详细)(地址|信息)|地址"},
      {"header left of the saved view", sheetOf({{"收货地址", "订单号", "备注"}, {"北京", "1", "x"}}, 0, 1), free, opt,
       "missing (收[件货]|详细)(地址|信息)|地址"},
      {"optional region missing: no stop", sheetOf({{"订单编号", "详细地址"}, {"1", "x"}}), free, opt,
       "header 1\n1|x"},
  };
  for (const Case& c : cases) EXPECT_EQ(run(c.sheet, c.profile, c.optional), c.want) << c.name;
}

}  // namespace
}  // namespace pv
