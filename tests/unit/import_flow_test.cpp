// The import flow: choosing the file, the reader by extension, the office-suite conversion
// of workbooks our reader refuses, the boxes of every failure, and the batches of 20.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "core/import/import_flow.h"
#include "core/sheets/spreadsheet.h"
#include "core/system/files.h"
#include "core/text/codepage.h"
#include "tests/unit/erp_fakes.h"
#include "tests/unit/import_fakes.h"
#include "tests/unit/settings_fakes.h"

namespace pv {
namespace {

using erp_test::ErpRig;
using testing::ScriptedChooser;

std::string fixture(std::string_view name) {
  return std::string(PV_TEST_FIXTURES) + "/spreadsheets/" + std::string(name);
}

// The office suite as a script: how it answers each step, and which file it writes when
// asked to save (nothing when empty).
struct OfficeScript {
  OfficeStep starts = OfficeStep::Done;
  OfficeStep opens = OfficeStep::Done;
  OfficeStep saves = OfficeStep::Done;
  std::string savesFrom;
  std::vector<std::string> calls;
  bool copyExistedAtSave = false;
};

class FakeOffice final : public WorkbookConverter {
 public:
  explicit FakeOffice(OfficeScript& s) : s_(s) {}
  OfficeStep start() override { return s_.calls.push_back("start"), s_.starts; }
  OfficeStep openWorkbook(std::string_view path) override {
    s_.calls.push_back("open " + fileTitleOf(path, true));
    return s_.opens;
  }
  OfficeStep saveActiveWorkbookAs(std::string_view path) override {
    s_.calls.push_back("save " + fileTitleOf(path, true));
    s_.copyExistedAtSave = !readFileBytes(path).empty();
    if (!s_.savesFrom.empty()) {
      EXPECT_TRUE(writeFileBytes(path, readFileBytes(s_.savesFrom)));
    }
    return s_.saves;
  }
  void closeWorkbooks() override { s_.calls.push_back("close"); }
  void quit() override { s_.calls.push_back("quit"); }

 private:
  OfficeScript& s_;
};

class ImportFlow : public ::testing::Test {
 protected:
  ImportFlow() {
    rig_.setOptions(true, false, false, false, false);
  }
  // A file in the scratch folder, copied from a fixture or written from bytes.
  std::string place(std::string_view name, std::string_view bytes) {
    const std::string path = folder() + std::string(name);
    EXPECT_TRUE(writeFileBytes(path, bytes));
    return path;
  }
  std::string folder() const { return utf16ToGbk(scratch_.path().u16string()) + "/"; }

  int import(std::string_view chosen, std::vector<ImportedOrder>& orders, ImportProfile profile = {}) {
    chooser_.answer = std::string(chosen);
    ImportOptional optional;
    applyImportDefaults(profile, optional);
    return importOrderFile(context_, orders, profile, optional);
  }
  std::string boxes() const {
    std::string out;
    for (const auto& m : rig_.dialogs.shown()) {
      out += (out.empty() ? "" : "\n") + m.title + ": " + m.text +
             (m.buttons == DialogButtons::YesNo ? " [Yes/No]" : "");
      EXPECT_EQ(m.owner, Window::Main);
    }
    return out;
  }
  std::string status() const { return rig_.ui.statusText(Window::Main, kMainStatusBar, 0); }

  testing_settings::ScratchFolder scratch_;
  ErpRig rig_;
  RecordingBrowser browser_;
  ScriptedChooser chooser_;
  OfficeScript office_;
  ImportContext context_{rig_.ui, rig_.dialogs, browser_, chooser_,
                         [this] { return std::make_unique<FakeOffice>(office_); },
                         [] { return batchQueryAddress(3, 301, "tok"); }};
};

TEST(ImportPaths, SplitsPathsAtCharacters) {
  struct Case {
    std::string path, directory, title, titleWithExtension, extension;
  };
  const Case cases[] = {
      {"D:\\订单\\导出.xls", "D:\\订单\\", "导出", "导出.xls", ".xls"},
      {"D:\\data.old\\orders", "D:\\data.old\\", "orders", "orders", ""},
      {"D:\\订单\\", "D:\\订单\\", "", "", ""},
      // 誠 ends in the byte of "\": no folder ends inside it.
      {"D:\\誠.xls", "D:\\", "誠", "誠.xls", ".xls"},
      {"a.b.csv", "", "a.b", "a.b.csv", ".csv"},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(directoryOf(c.path), c.directory) << c.path;
    EXPECT_EQ(fileTitleOf(c.path, false), c.title) << c.path;
    EXPECT_EQ(fileTitleOf(c.path, true), c.titleWithExtension) << c.path;
    EXPECT_EQ(extensionOf(c.path), c.extension) << c.path;
  }
}

TEST_F(ImportFlow, ReadsAWorkbookChosenInTheDialog) {
  const std::string path = place("orders.XLSX", readFileBytes(fixture("sheetjs.xlsx")));
  std::vector<ImportedOrder> orders;
  ASSERT_EQ(import(path, orders), 1) << boxes();
  ASSERT_EQ(chooser_.asked.size(), 1u);
  EXPECT_EQ(chooser_.asked[0], std::string("C:\\Users\\op\\Desktop|请选择数据文件路径|") + std::string(kImportFilter));
  // Header on row 3; the order number stored as a number reads as its digits; the empty
  // address cell still has its region.
  ASSERT_EQ(orders.size(), 8u);
  EXPECT_EQ(orders[0], (ImportedOrder{"TB20240501001", "浙江省 杭州市 西湖区文三路90号东部软件园3号楼"}));
  EXPECT_EQ(orders[2], (ImportedOrder{"20240501003", "北京 北京市 朝阳区建国路88号SOHO现代城"}));
  EXPECT_EQ(orders[6], (ImportedOrder{"TB20240501007", "湖北省 武汉市 洪山区"}));
  EXPECT_EQ(status(), "导入8条数据");
  EXPECT_EQ(boxes(), "");
  EXPECT_TRUE(office_.calls.empty());
}

TEST_F(ImportFlow, RefusesFilesOfNoKnownType) {
  struct Case {
    const char* name;
    std::string path;
    DialogAnswer answer;
    std::vector<std::string> opened;
  };
  const std::string query = "https://console.parcelvane.com/service/query?open=product-3&select=business-301&token=tok";
  const Case cases[] = {
      {"a .txt that is neither text nor a workbook, Yes", place("orders.txt", "\x01\x02\x03\x04订单号"),
       DialogAnswer::Yes, {query}},
      {"text under a type we do not read, No", place("orders.dat", "订单号,地址\n1,x\n"), DialogAnswer::No, {}},
      {"dot in a folder name, No", folder() + "data.old\\orders", DialogAnswer::No, {}},
  };
  for (const Case& c : cases) {
    rig_.dialogs.clear();
    RecordingBrowser browser;
    ImportContext context{rig_.ui, rig_.dialogs, browser, chooser_, context_.makeConverter, context_.batchQueryAddress};
    rig_.dialogs.script(c.answer);
    chooser_.answer = c.path;
    std::vector<ImportedOrder> orders;
    ImportProfile profile;
    ImportOptional optional;
    EXPECT_EQ(importOrderFile(context, orders, profile, optional), 0) << c.name;
    EXPECT_EQ(boxes(), std::string("导入失败: ") + std::string(kUnknownTypeText) + " [Yes/No]") << c.name;
    EXPECT_EQ(browser.opened(), c.opened) << c.name;
  }
}

TEST_F(ImportFlow, ReadsEachOfOurTypesByItsFirstBytes) {
  // Excel's "Unicode text": UTF-16LE behind its byte-order mark, tab-separated, CR LF.
  std::string unicodeText = "\xFF\xFE";
  for (const char16_t unit : std::u16string_view(u"订单号\t收货地址\r\nA1\t北京\r\nA2\t上海\r\n"))
    unicodeText += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  struct Case {
    const char* name;
    std::string file, bytes;
    std::string want;  // orders, or the box shown
  };
  const Case cases[] = {
      {"Excel's Unicode text as .txt", "orders.txt", unicodeText, "A1|北京 A2|上海 "},
      {"GBK tab-separated .txt", "orders.txt", "订单号\t收件人\t收货地址\r\nB1\t张三\t杭州\r\n", "B1|杭州 "},
      {"csv named .xls", "orders.xls", readFileBytes(fixture("csv-export.xls")), "1|北京 "},
      {"tab-separated text named .xlsx", "orders.xlsx", "订单号\t地址\nC1\t深圳\n", "C1|深圳 "},
      {"a workbook named .csv", "orders.csv", readFileBytes(fixture("header-only.xlsx")), "导入提示: 没有检测到导入数据"},
      {"an empty .txt", "orders.txt", "", "导入失败: 读取csv文件失败，文件可能被占用，请关闭csv文件后重试"},
  };
  for (const Case& c : cases) {
    rig_.dialogs.clear();
    std::vector<ImportedOrder> orders;
    const int read = import(place(c.file, c.bytes), orders);
    std::string got = boxes();
    for (const ImportedOrder& o : orders) got += o.orderNumber + "|" + o.address + " ";
    EXPECT_EQ(got, c.want) << c.name;
    EXPECT_EQ(read, orders.empty() ? 0 : 1) << c.name;
  }
  EXPECT_TRUE(office_.calls.empty());
}

TEST_F(ImportFlow, CancelledDialogEndsSilently) {
  std::vector<ImportedOrder> orders;
  EXPECT_EQ(import("", orders), 0);
  EXPECT_EQ(boxes(), "");
  EXPECT_EQ(status(), "");
}

TEST_F(ImportFlow, AConvertedCopyIsReadAndDeleted) {
  const std::string path = place("导出.xls", readFileBytes(fixture("html-export.xls")));
  place("导出_temp.xlsx", "an earlier copy");
  office_.savesFrom = fixture("sheetjs.xlsx");
  std::vector<ImportedOrder> orders;
  ASSERT_EQ(import(path, orders), 1) << boxes();
  EXPECT_EQ(orders.size(), 8u);
  EXPECT_EQ(office_.calls, (std::vector<std::string>{"start", "open 导出.xls", "save 导出_temp.xlsx", "close", "quit"}));
  EXPECT_FALSE(office_.copyExistedAtSave);  // the earlier copy was deleted first
  EXPECT_TRUE(readFileBytes(folder() + "导出_temp.xlsx").empty());
  EXPECT_EQ(status(), "导入8条数据");
}

TEST_F(ImportFlow, ConversionFailuresSayWhy) {
  namespace e = spreadsheet_errors;
  using S = OfficeStep;
  const std::string noAnswer = "导入提示: " + std::string(kOfficeNoAnswerText);
  struct Case {
    const char* name;
    S starts, opens, saves;
    std::string savesFrom;
    DialogAnswer answer;
    std::string want;
    std::vector<std::string> opened;
    bool copyLeft;
  };
  const Case cases[] = {
      {"no office suite, Yes", S::Failed, S::Done, S::Done, "", DialogAnswer::Yes,
       "excel程序创建失败: " + std::string(e::kHtml) + "\r\n\r\n" + std::string(kNoOfficeText) + " [Yes/No]",
       {std::string(kOfficeDownloadAddress)}, false},
      {"no office suite, No", S::Failed, S::Done, S::Done, "", DialogAnswer::No,
       "excel程序创建失败: " + std::string(e::kHtml) + "\r\n\r\n" + std::string(kNoOfficeText) + " [Yes/No]", {},
       false},
      {"the office suite cannot open it", S::Done, S::Failed, S::Done, "", DialogAnswer::None,
       "导入提示: Excel表格打开失败。", {}, false},
      {"the copy is still unreadable", S::Done, S::Done, S::Done, fixture("xml2003-export.xls"), DialogAnswer::None,
       "打开Excel表格失败: " + std::string(e::kXml2003), {}, true},
      // A suite that never answers is given up on, whichever step it hangs in; a copy it may
      // have begun is not read.
      {"no answer at the start", S::NoAnswer, S::Done, S::Done, "", DialogAnswer::None, noAnswer, {}, false},
      {"no answer to the open", S::Done, S::NoAnswer, S::Done, "", DialogAnswer::None, noAnswer, {}, false},
      {"no answer to the save", S::Done, S::Done, S::NoAnswer, fixture("sheetjs.xlsx"), DialogAnswer::None, noAnswer,
       {}, false},
  };
  for (const Case& c : cases) {
    rig_.dialogs.clear();
    office_ = OfficeScript{};
    office_.starts = c.starts;
    office_.opens = c.opens;
    office_.saves = c.saves;
    office_.savesFrom = c.savesFrom;
    RecordingBrowser browser;
    ImportContext context{rig_.ui, rig_.dialogs, browser, chooser_, context_.makeConverter, context_.batchQueryAddress};
    if (c.answer != DialogAnswer::None) rig_.dialogs.script(c.answer);
    const std::string path = place("x.xls", readFileBytes(fixture("html-export.xls")));
    (void)removeFile(folder() + "x_temp.xlsx");
    chooser_.answer = path;
    std::vector<ImportedOrder> orders;
    ImportProfile profile;
    ImportOptional optional;
    applyImportDefaults(profile, optional);
    EXPECT_EQ(importOrderFile(context, orders, profile, optional), 0) << c.name;
    EXPECT_EQ(boxes(), c.want) << c.name;
    EXPECT_EQ(browser.opened(), c.opened) << c.name;
    EXPECT_EQ(!readFileBytes(folder() + "x_temp.xlsx").empty(), c.copyLeft) << c.name;
  }
}

TEST_F(ImportFlow, AnEncryptedWorkbookIsNeverHandedToTheSuite) {
  for (const char* name : {"encrypted.xls", "encrypted.xlsx"}) {
    rig_.dialogs.clear();
    office_ = OfficeScript{};
    std::vector<ImportedOrder> orders;
    EXPECT_EQ(import(place(name, readFileBytes(fixture(name))), orders), 0) << name;
    EXPECT_EQ(boxes(), "导入失败: " + std::string(spreadsheet_errors::kEncrypted)) << name;
    EXPECT_TRUE(office_.calls.empty()) << name;
  }
}

TEST_F(ImportFlow, WorkbookBoxesForMissingColumnsAndNoOrders) {
  std::vector<ImportedOrder> orders;
  ImportProfile jingDa;
  jingDa.regionPattern = "省";
  jingDa.cityPattern = "市";
  jingDa.districtPattern = "区";
  jingDa.addressPattern = "地址";
  jingDa.orderNoPattern = "订单编号";
  // A header of 订单号 and 地址 only: the first missing column is the province.
  EXPECT_EQ(import(fixture("mini-stream-view-row10.xls"), orders, jingDa), 0);
  EXPECT_EQ(boxes(), "导入失败: 请确认导入标题包含‘省’");
  rig_.dialogs.clear();
  EXPECT_EQ(import(fixture("chart-first.xls"), orders), 0);
  EXPECT_EQ(boxes(), "导入失败: 请确认导入标题包含‘(收[件货]|详细)(地址|信息)|地址’");
  rig_.dialogs.clear();
  EXPECT_EQ(import(fixture("header-only.xlsx"), orders), 0);
  EXPECT_EQ(boxes(), "导入提示: 没有检测到导入数据");
  EXPECT_TRUE(orders.empty());
}

TEST_F(ImportFlow, ScreensFortyFiveOrdersInThreeBatches) {
  std::string csv = "订单号,收货地址\r\n";
  for (int i = 1; i <= 45; ++i) csv += "N" + std::to_string(i) + ",地址" + std::to_string(i) + "\r\n";
  chooser_.answer = place("orders.csv", csv);
  // Two of them meet a blind area.
  rig_.screening.verdicts["地址7"] = erp_test::verdict({erp_test::policy(1)});
  rig_.screening.verdicts["地址44"] = erp_test::verdict({erp_test::policy(1)});
  ScreeningTotals totals;
  ImportProfile profile;
  ImportOptional optional;
  ASSERT_EQ(screenImportedOrders(context_, rig_.run, totals, profile, optional), 1) << boxes();
  const auto calls = rig_.screening.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].size(), 20u);
  EXPECT_EQ(calls[1].size(), 20u);
  EXPECT_EQ(calls[2].size(), 5u);
  EXPECT_EQ(calls[2][4], "地址45");
  EXPECT_EQ(totals.total, 45);
  EXPECT_EQ(totals.ticked, 43);
  ASSERT_EQ(totals.orderNumbers.size(), 43u);
  EXPECT_EQ(totals.orderNumbers[6], "N8");
  EXPECT_EQ(totals.orderNumbers.back(), "N45");
  EXPECT_EQ(status(), "筛单进度：45/45，勾选数量：43");
  EXPECT_EQ(profile.addressPattern, "(收[件货]|详细)(地址|信息)|地址");  // the defaults were applied
}

TEST_F(ImportFlow, OrderNumbersStoredAsNumbersAreScreenedAndLongOnesNamedOnce) {
  // Seven orders whose order numbers are number cells (12 to 20 digits, formulas' results);
  // rows 4 and 8 hold more digits than a spreadsheet keeps.
  chooser_.answer = place("numbers.xlsx", readFileBytes(fixture("numbers.xlsx")));
  ScreeningTotals totals;
  ImportProfile profile;
  ImportOptional optional;
  ASSERT_EQ(screenImportedOrders(context_, rig_.run, totals, profile, optional), 1) << boxes();
  EXPECT_EQ(totals.total, 7);
  EXPECT_EQ(totals.orderNumbers,
            (std::vector<std::string>{"202405010012", "123456789012345", "1234567890123456", "5000", "5001", "5002",
                                      "12345678901234567000"}));
  const std::string note = "【单号提示】：第4、8行的订单号是超过15位的数字，表格已丢失末几位，请核对\r\n";
  const std::string transcript = rig_.output.text();
  EXPECT_EQ(transcript.find(note), 0u) << transcript;  // before the first batch's lines
  EXPECT_EQ(transcript.find(note, 1), std::string::npos);
}

TEST_F(ImportFlow, ARefusedBatchKeepsTheEarlierMatches) {
  std::string csv = "订单号,地址\n";
  for (int i = 1; i <= 30; ++i) csv += "N" + std::to_string(i) + ",A" + std::to_string(i) + "\n";
  chooser_.answer = place("orders.csv", csv);
  rig_.screening.refusals[1] = {50000, "服务器错误"};
  ScreeningTotals totals;
  ImportProfile profile;
  ImportOptional optional;
  EXPECT_EQ(screenImportedOrders(context_, rig_.run, totals, profile, optional), 0);
  EXPECT_EQ(totals.orderNumbers.size(), 20u);
  EXPECT_EQ(totals.total, 30);
}

}  // namespace
}  // namespace pv
