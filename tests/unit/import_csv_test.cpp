// The csv order reader: its grammar (Excel's quotes, line ends, the separator off the header
// line), the encoding decision, the column detection on the way, and the boxes of
// readCsvOrders.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/import/csv_reader.h"
#include "core/system/files.h"
#include "core/text/codepage.h"
#include "tests/unit/settings_fakes.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

using namespace std::string_literals;

ImportProfile profileOf(std::string address, std::string orderNo, std::string region = {},
                        std::string city = {}, std::string district = {}) {
  ImportProfile p;
  p.regionPattern = std::move(region);
  p.cityPattern = std::move(city);
  p.districtPattern = std::move(district);
  p.addressPattern = std::move(address);
  p.orderNoPattern = std::move(orderNo);
  return p;
}

// "order|address" per order, one per line.
std::string listOf(const std::vector<ImportedOrder>& orders) {
  std::string out;
  for (const ImportedOrder& o : orders) out += o.orderNumber + "|" + o.address + "\n";
  return out;
}

std::string parsed(std::string_view bytes, const ImportProfile& profile) {
  std::vector<ImportedOrder> orders;
  parseCsvOrders(bytes, orders, profile);
  return listOf(orders);
}

TEST(LooksLikeUtf8, DecidesOnTheWholeBuffer) {
  struct Case {
    const char* name;
    std::string bytes;
    bool want;
  };
  const Case cases[] = {
      {"empty", "", false},
      {"byte-order mark alone", "\xEF\xBB\xBF", true},
      {"byte-order mark before GBK", "\xEF\xBB\xBF\xD6\xD0", true},
      {"pure ASCII", "order,address\n1,x\n", false},
      {"Chinese first", utf8Text(u8"订单号,地址\n"), true},
      {"two-byte letter before Chinese", utf8Text(u8"Café,北京\n"), true},
      {"four-byte character", utf8Text(u8"a😀"), true},
      {"GBK text", "订单号,地址\n", false},
      {"valid three bytes, then GBK", "\xE4\xB8\xAD\xB9\xFA", false},
      {"sequence cut by the end", "ab\xE4\xB8", false},
      {"lone continuation byte", "a\x80", false},
      {"overlong form", "\xC0\xAF", false},
      {"encoded surrogate", "\xED\xA0\x80", false},
  };
  for (const Case& c : cases) EXPECT_EQ(looksLikeUtf8(c.bytes), c.want) << c.name;
}

TEST(CsvGrammar, ReadsFieldsTheWayExcelDoes) {
  const ImportProfile profile = profileOf("地址", "订单号");
  struct Case {
    const char* name;
    std::string bytes, want;
  };
  const Case cases[] = {
      {"plain", "订单号,地址\n1,北京市朝阳区\n2,上海\n", "1|北京市朝阳区\n2|上海\n"},
      {"quoted comma stays", "订单号,地址\n1,\"北京,朝阳\"\n", "1|北京,朝阳\n"},
      {"quoted line feed stays", "订单号,地址\n1,\"北京\n朝阳\"\n2,x\n", "1|北京\n朝阳\n2|x\n"},
      {"quoted CR LF stays", "订单号,地址\r\n1,\"北京\r\n朝阳\"\r\n2,x\r\n", "1|北京\r\n朝阳\n2|x\n"},
      {"doubled quote is one quote", "订单号,地址\n1,\"他说\"\"好\"\"\"\n", "1|他说\"好\"\n"},
      {"text after the closing quote joins the field", "订单号,地址\n1,\"北京\"朝阳\"路\n", "1|北京朝阳\"路\n"},
      {"empty quoted address gives no order", "订单号,地址\n1,\"\"\n2,y\n", "2|y\n"},
      {"a stray quote is a character and ends nothing",
       "订单号,地址,商品\n1001,北京市朝阳区建国路1号,32\"显示器\n1002,上海,\"x\"\n",
       "1001|北京市朝阳区建国路1号\n1002|上海\n"},
      {"a quote inside an address stays", "订单号,地址\n1,北京\"朝阳\"路\n2,上海\n", "1|北京\"朝阳\"路\n2|上海\n"},
      {"CR LF ends the line", "订单号,地址\r\n1,上海\r\n", "1|上海\n"},
      {"CR LF with the order number last", "地址,订单号\r\n上海,7\r\n杭州,8\r\n", "7|上海\n8|杭州\n"},
      {"a lone CR ends the line", "订单号,地址\r1,上海\r2,杭州", "1|上海\n2|杭州\n"},
      {"NUL bytes are dropped", "订单号,地址\n1,北\0京\n"s, "1|北京\n"},
      {"last line without a line break", "订单号,地址\n1,A", "1|A\n"},
      {"empty address", "订单号,地址\n1,\n", ""},
      {"empty order number", "订单号,地址\n,北京\n", ""},
      {"title lines before the header", "导出时间,2024-5-1\n\n订单号,地址\n9,杭州\n", "9|杭州\n"},
      {"order-number column keeps its first match",
       "x,订单号报表\n订单号,单据,地址\n1,A,杭州\n", "A|杭州\n"},
      {"a number-like order number stays text", "订单号,地址\n001234567890123456789,x\n",
       "001234567890123456789|x\n"},
      {"tab-separated: a comma is a character", "订单号\t地址\n1\t北京,朝阳\n", "1|北京,朝阳\n"},
      {"semicolon-separated", "订单号;地址;备注\n1;北京,朝阳;x\n", "1|北京,朝阳\n"},
      {"a comma title line above a tab header does not decide",
       "导出时间,2024-5-1\n订单号\t收货地址\t备注,其他\n1\t杭州\tx,y\n", "1|杭州\n"},
      {"a sender's address column before the consignee's is skipped",
       "订单号,发货地址,收货地址\n1,发件处,收件处\n", "1|收件处\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(parsed(c.bytes, profile), c.want) << c.name;
}

TEST(CsvGrammar, AQuoteThatNeverClosesLeavesEveryLineALine) {
  std::string csv = "订单号,地址\n1001,\"北京市朝阳区建国路1号\n";
  std::string want = "1001|\"北京市朝阳区建国路1号\n";
  for (int i = 1; i <= 100; ++i) {
    csv += std::to_string(1001 + i) + ",上海" + std::to_string(i) + "号\n";
    want += std::to_string(1001 + i) + "|上海" + std::to_string(i) + "号\n";
  }
  EXPECT_EQ(parsed(csv, profileOf("地址", "订单号")), want);
}

TEST(CsvGrammar, PrefixColumnsAreFoundOnlyUntilTheAddressColumn) {
  struct Case {
    const char* name;
    ImportProfile profile;
    std::string bytes, want;
  };
  const Case cases[] = {
      {"region before the address joins in front", profileOf("地址", "订单号", "省市区"),
       "订单号,省市区,地址\n1,浙江杭州,西湖路1号\n", "1|浙江杭州西湖路1号\n"},
      // A column matched by several slots feeds only the first of them.
      {"one 省市区 column feeds one slot", profileOf("地址", "订单号", "省", "市", "区"),
       "订单号,省市区,地址\n1,浙江杭州西湖,路1号\n", "1|浙江杭州西湖路1号\n"},
      {"region after the address is never found", profileOf("地址", "订单号", "地区|省市区|省市县"),
       "订单号,地址,省市区\n1,路1号,浙江\n", "1|路1号\n"},
      {"later match before the address replaces an earlier one",
       profileOf("详细地址", "订单号", "省"), "订单号,省,收件省份,详细地址\n1,A,B,C\n", "1|BC\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(parsed(c.bytes, c.profile), c.want) << c.name;
}

// Excel's "Unicode text": a byte-order mark, then UTF-16 units in the given order.
std::string utf16File(std::u16string_view text, bool bigEndian) {
  std::string bytes = bigEndian ? "\xFE\xFF" : "\xFF\xFE";
  for (const char16_t unit : text) {
    const char high = static_cast<char>(unit >> 8), low = static_cast<char>(unit & 0xFF);
    bytes += bigEndian ? std::string{high, low} : std::string{low, high};
  }
  return bytes;
}

TEST(CsvGrammar, ReadsEveryEncodingAsGbk) {
  struct Case {
    const char* name;
    std::string bytes;
    ImportProfile profile;
    std::string want;
  };
  const ImportProfile plain = profileOf("地址", "订单号");
  const Case cases[] = {
      // The mark is no character: "^地址$" still names a header that begins the file.
      {"UTF-8 mark before the first header", utf8Text(u8"\uFEFF地址,订单号\n北京,1\n"), profileOf("^地址$", "订单号"),
       "1|北京\n"},
      // Mended: a two-byte letter first no longer makes the file GBK.
      {"UTF-8 with a Latin letter first", utf8Text(u8"订单号,地址\nCafé,北京\n"), plain, "Caf\xA8\xA6|北京\n"},
      // A character without a GBK form costs that character, not the order.
      {"UTF-8 character without a GBK form", utf8Text(u8"订单号,地址\n1,北京😀路\n"), plain, "1|北京?路\n"},
      {"UTF-16LE, tab-separated, CR LF",
       utf16File(u"订单号\t收货地址\t电话\r\n1\t\"北京,朝阳\"\t010\r\n2\t上海😀路\t021\r\n", false), plain,
       "1|北京,朝阳\n2|上海?路\n"},
      {"UTF-16BE with the order number last", utf16File(u"地址\t订单号\r\n杭州\tA7\r\n", true), plain, "A7|杭州\n"},
      {"UTF-16 cut inside a unit", utf16File(u"订单号,地址\n1,北京\n", false) + "\x41", plain, "1|北京\n"},
      {"GBK, tab-separated", "订单号\t收件人\t收货地址\r\n8\t张三\t广州\r\n", plain, "8|广州\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(parsed(c.bytes, c.profile), c.want) << c.name;
}

class CsvFile : public testing::Test {
 protected:
  std::string write(std::string_view name, std::string_view bytes) {
    const std::string path = utf16ToGbk((scratch_.path() / std::u16string(gbkToUtf16(name))).u16string());
    EXPECT_TRUE(writeFileBytes(path, bytes));
    return path;
  }
  int read(const std::string& path, const ImportProfile& profile, const ImportOptional& optional = {}) {
    return readCsvOrders(path, orders_, profile, optional, dialogs_);
  }
  std::string onlyBox() const {
    const auto shown = dialogs_.shown();
    if (shown.size() != 1) return "boxes: " + std::to_string(shown.size());
    EXPECT_EQ(shown[0].buttons, DialogButtons::Ok);
    EXPECT_EQ(shown[0].owner, Window::Main);
    return shown[0].title + ": " + shown[0].text;
  }

  testing_settings::ScratchFolder scratch_;
  RecordingDialogs dialogs_;
  std::vector<ImportedOrder> orders_;
};

TEST_F(CsvFile, ReadsAFileWithAChinesePathWithoutABox) {
  const std::string path = write("订单导出.csv", "订单号,地址\r\n1,北京\r\n2,上海\r\n");
  EXPECT_EQ(read(path, profileOf("地址", "订单号")), 1);
  EXPECT_EQ(listOf(orders_), "1|北京\n2|上海\n");
  EXPECT_EQ(dialogs_.count(), 0u);
}

TEST_F(CsvFile, SaysWhyNothingWasRead) {
  struct Case {
    const char* name;
    std::string bytes;  // empty: no file at all
    ImportProfile profile;
    ImportOptional optional;
    std::string want;
  };
  ImportOptional regionOptional;
  regionOptional.flags[0] = 1;
  const Case cases[] = {
      {"missing file", "", profileOf("地址", "订单号"), {},
       "导入失败: 读取csv文件失败，文件可能被占用，请关闭csv文件后重试"},
      {"header only, no line break", "订单号,地址", profileOf("地址", "订单号"), {},
       "导入提示: 没有检测到导入数据"},
      {"no address column", "订单号,收件人\n1,张三\n", profileOf("地址", "订单号"), {},
       "导入失败: 请确认导入标题包含‘地址’"},
      {"region after the address", "订单号,地址,省市区\n1,路1号,浙江\n",
       profileOf("地址", "订单号", "地区|省市区|省市县"), {},
       "导入失败: 请确认导入标题包含‘地区|省市区|省市县’"},
      {"orders without a region when it is optional", "订单号,地址\n,x\n",
       profileOf("地址", "订单号", "地区"), regionOptional, "导入提示: 没有检测到导入数据"},
  };
  for (const Case& c : cases) {
    dialogs_.clear();
    orders_.clear();
    const std::string path = c.bytes.empty() ? write("x.csv", "") + ".missing" : write("x.csv", c.bytes);
    EXPECT_EQ(read(path, c.profile, c.optional), 0) << c.name;
    EXPECT_EQ(onlyBox(), c.want) << c.name;
    EXPECT_TRUE(orders_.empty()) << c.name;
  }
}

}  // namespace
}  // namespace pv
