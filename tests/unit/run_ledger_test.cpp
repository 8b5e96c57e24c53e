// What a run keeps of each order beyond the output box: the results' columns, the time
// left, failed orders screened again, the journal that lets an interrupted import be taken
// up, and the results file.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "core/batch/journal.h"
#include "core/batch/ledger.h"
#include "core/batch/main_window.h"
#include "core/import/import_flow.h"
#include "core/sheets/spreadsheet.h"
#include "core/system/files.h"
#include "core/text/codepage.h"
#include "tests/unit/erp_fakes.h"
#include "tests/unit/settings_fakes.h"

namespace pv {
namespace {

using erp_test::ErpRig;
using erp_test::policy;
using erp_test::verdict;

TEST(TimeLeft, FollowsTheRunsOwnPace) {
  using std::chrono::milliseconds;
  struct Case {
    int answered, total, here;
    milliseconds elapsed;
    std::string want;
  };
  const Case cases[] = {
      {0, 100, 0, milliseconds(0), ""},                              // nothing answered: no pace yet
      {20, 100, 20, milliseconds(10'000), "筛单中 20/100，约剩 0 分 40 秒"},
      {40, 100, 40, milliseconds(20'000), "筛单中 40/100，约剩 0 分 30 秒"},
      {40, 100, 40, milliseconds(200'000), "筛单中 40/100，约剩 5 分 0 秒"},  // a stall slows the pace
      {20, 45, 20, milliseconds(1), "筛单中 20/45，约剩 0 分 1 秒"},          // never "0 秒" while orders are out
      {45, 45, 45, milliseconds(9'000), ""},                          // the last batch answered
      {600, 1000, 20, milliseconds(6'000), "筛单中 600/1000，约剩 2 分 0 秒"},  // taken up: this run's pace
  };
  for (const Case& c : cases) EXPECT_EQ(timeLeftText(c.answered, c.total, c.here, c.elapsed), c.want) << c.answered;
}

TEST(OrderResults, EveryVerdictKindFillsItsColumns) {
  struct Case {
    std::string name, entry;
    bool tick;
    std::array<std::string, kResultColumns> cells;
    uint32_t fill;
  };
  const std::string failure =
      "{\"policies\":[{\"type\":99,\"typeStr\":\"筛单失败\",\"modeStr\":\"地址解析\",\"typeName\":\"网络错误\","
      "\"remark\":\"网络错误\"}]}";
  const Case cases[] = {
      {"pass", verdict({}, {"西湖站"}), true, {"勾选", "", "", "", "西湖站", ""}, 0},
      {"blind area", verdict({policy(1, false, "盲区停发", "文三路")}), false, {"未勾选", "盲区停发", "文三路", "", "", ""}, 0xFCE4D6},
      {"hint only", verdict({policy(2, true, "超区加收")}), true, {"勾选", "超区加收（仅提示）", "", "", "", ""}, 0},
      {"several, one per line",
       "{\"policies\":[{\"type\":3,\"shortTypeName\":\"虚假地址\",\"remark\":\"查无此路\"},"
       "{\"type\":99,\"typeName\":\"其他限制\",\"popObject\":\"展示\",\"object\":\"原样\"}]}",
       false, {"未勾选", "虚假地址\n其他限制", "\n展示", "查无此路\n", "", ""}, 0xFCE4D6},
      {"nearest site",
       "{\"sites\":[{\"title\":\"远站\",\"acceptor\":{\"distance\":9000}},{\"name\":\"近站\",\"acceptor\":{\"distance\":1200}}],"
       "\"policies\":[]}",
       true, {"勾选", "", "", "", "近站", "1200"}, 0},
      {"failure", failure, false, {"筛单失败", "网络错误", "", "网络错误", "", ""}, 0xD9D9D9},
  };
  for (const Case& c : cases) {
    JsonDocument doc;
    ASSERT_TRUE(doc.parse(gbkToUtf8(c.entry))) << c.name;
    const OrderResult result = orderResultOf(doc.root(), c.tick);
    EXPECT_EQ(resultCells(result), c.cells) << c.name;
    EXPECT_EQ(resultFill(result), c.fill) << c.name;

    // The journal keeps it whole.
    JsonMutableDocument line;
    writeOrderResult(line.createObjectRoot(), result);
    JsonDocument back;
    ASSERT_TRUE(back.parse(line.serialize()));
    OrderResult read;
    ASSERT_TRUE(readOrderResult(back.root(), read)) << c.name;
    EXPECT_EQ(read, result) << c.name;
  }
  EXPECT_EQ(resultCells(skippedOrder("收货地址为空"))[0], "跳过：收货地址为空");
}

// An import of numbered orders through the whole flow, with the run's files in a scratch
// folder.
class RunFilesTest : public testing::Test {
 protected:
  RunFilesTest() {
    files_.journalFolder = root() + "journal/";
    files_.documentsFolder = [this] { return root() + "documents/"; };
    files_.now = [] { return ClockTime{std::chrono::seconds(1'700'000'000)}; };
    rig_.run.files = &files_;
    rig_.setOptions(true, false, false, false, false);
  }
  std::string root() const { return utf16ToGbk(scratch_.path().u16string()) + "/"; }
  std::string place(std::string_view name, std::string_view bytes) {
    (void)makeFolders(root() + "orders/");
    const std::string path = root() + "orders/" + std::string(name);
    EXPECT_TRUE(writeFileBytes(path, bytes));
    return path;
  }
  static std::string numberedCsv(int count) {
    std::string csv = "导出时间,2024-5-1\r\n订单号,收货地址\r\n";
    for (int i = 1; i <= count; ++i) csv += "N" + std::to_string(i) + ",地址" + std::to_string(i) + "\r\n";
    return csv;
  }
  int importFile(std::string_view path, ScreeningTotals& totals) {
    chooser_.answer = std::string(path);
    ImportProfile profile;
    ImportOptional optional;
    return screenImportedOrders(context_, rig_.run, totals, profile, optional);
  }
  std::vector<std::string> questions() const {
    std::vector<std::string> texts;
    for (const auto& m : rig_.dialogs.shown()) {
      if (m.buttons == DialogButtons::YesNo) texts.push_back(m.text);
    }
    return texts;
  }

  testing_settings::ScratchFolder scratch_;
  ErpRig rig_;
  RunFiles files_;
  RecordingBrowser browser_;
  struct Chooser final : FileChooser {
    std::string answer;
    std::string showOpenFileDialog(Window, std::string_view, std::string_view, std::string_view) override {
      return answer;
    }
    std::string desktopFolder() override { return {}; }
  } chooser_;
  ImportContext context_{rig_.ui, rig_.dialogs, browser_, chooser_, nullptr, nullptr};
};

TEST_F(RunFilesTest, FailedOrdersAreScreenedAgainAndTheRunCountsAsOne) {
  const std::string path = place("orders.csv", numberedCsv(45));
  rig_.screening.failures = {1};  // the second batch fails after its retries
  rig_.screening.verdicts["地址3"] = verdict({policy(1)});
  rig_.dialogs.script(DialogAnswer::Yes);
  ScreeningTotals totals;
  ASSERT_EQ(importFile(path, totals), 1);
  EXPECT_EQ(questions(), std::vector<std::string>{"有 20 单筛单失败，是否重新筛选这些订单？"});
  const auto calls = rig_.screening.calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[3].front(), "地址21");
  EXPECT_EQ(calls[3].size(), 20u);
  EXPECT_EQ(totals.total, 45);
  EXPECT_EQ(totals.ticked, 44);
  ASSERT_EQ(totals.orderNumbers.size(), 44u);
  EXPECT_EQ(totals.orderNumbers[2], "N4");  // in the file's order, the retried ones in their places
  EXPECT_EQ(totals.orderNumbers[19], "N21");

  // The results file beside the source: GBK like the source, every row, no failure left.
  ASSERT_FALSE(totals.resultsFile.empty()) << totals.resultsNote;
  EXPECT_EQ(totals.resultsFile, root() + "orders/orders_筛单结果_" + localTimestamp(files_.now()) + ".csv");
  const std::string written = readFileBytes(totals.resultsFile);
  EXPECT_TRUE(written.starts_with("导出时间,2024-5-1\r\n订单号,收货地址,筛单结果,限制类型,匹配对象,说明,最近网点,网点距离(米)\r\n"))
      << written.substr(0, 200);
  EXPECT_NE(written.find("N3,地址3,未勾选,限制,,,,\r\n"), std::string::npos);
  EXPECT_NE(written.find("N45,地址45,勾选,,,,,\r\n"), std::string::npos);
  EXPECT_EQ(written.find("筛单失败"), std::string::npos);

  // No keeps the run as it went.
  rig_.screening.failures = {4};
  ScreeningTotals again;
  ASSERT_EQ(importFile(path, again), 1);
  EXPECT_EQ(rig_.screening.calls().size(), 7u);
  EXPECT_EQ(again.total, 45);
  EXPECT_EQ(again.ticked, 25);  // a failed order is never passed, whatever restriction types count
  EXPECT_NE(again.resultsFile, totals.resultsFile);  // never over the earlier one
  EXPECT_TRUE(again.resultsFile.ends_with(" (2).csv")) << again.resultsFile;
  const std::string kept = readFileBytes(again.resultsFile);
  int failed = 0;
  for (size_t at = kept.find(",筛单失败,"); at != std::string::npos; at = kept.find(",筛单失败,", at + 1)) ++failed;
  EXPECT_EQ(failed, 20);
}

TEST_F(RunFilesTest, AnInterruptedImportOfTheSameFileIsTakenUp) {
  const std::string path = place("orders.csv", numberedCsv(45));
  rig_.screening.duringCall = [&](size_t call) {
    if (call == 1) rig_.stop.request_stop();  // the operator stops during the second batch
  };
  ScreeningTotals first;
  EXPECT_EQ(importFile(path, first), 0);

  rig_.stop = std::stop_source();
  rig_.run.stop = rig_.stop.get_token();
  rig_.screening.duringCall = nullptr;
  rig_.dialogs.script(DialogAnswer::Yes);
  ScreeningTotals totals;
  ASSERT_EQ(importFile(path, totals), 1);
  EXPECT_EQ(questions(), std::vector<std::string>{"上次筛单未完成（已完成 20/45 单），是否只筛剩余的 25 单？"});
  const auto calls = rig_.screening.calls();
  ASSERT_EQ(calls.size(), 4u);
  EXPECT_EQ(calls[2].front(), "地址21");
  EXPECT_EQ(calls[2].size() + calls[3].size(), 25u);
  EXPECT_EQ(totals.total, 45);
  EXPECT_EQ(totals.orderNumbers.size(), 45u);
  EXPECT_EQ(totals.orderNumbers.front(), "N1");

  // Once through, the file is not offered again.
  rig_.dialogs.clear();
  ScreeningTotals third;
  ASSERT_EQ(importFile(path, third), 1);
  EXPECT_TRUE(questions().empty());
}

TEST_F(RunFilesTest, AJournalIsOnlyForTheSameUnchangedFile) {
  const std::string path = place("orders.csv", numberedCsv(45));
  const RunSource source = identifySource("free", path);
  auto journal = RunJournal::start(files_.journalFolder, source, 45, files_.now());
  ASSERT_TRUE(journal);
  OrderResult ticked;
  ticked.outcome = OrderOutcome::Ticked;
  ticked.tick = true;
  journal->record(0, ticked);
  journal->record(1, ticked);
  // A crash in the middle of the third line.
  ASSERT_TRUE(appendFileBytes(journal->path(), "{\"i\":2,\"outcome\":\"tic"));

  const auto found = findUnfinishedRun(files_.journalFolder, source, 45);
  ASSERT_TRUE(found);
  EXPECT_EQ(found->screened(), 2);
  EXPECT_FALSE(findUnfinishedRun(files_.journalFolder, source, 44));  // read otherwise: other orders
  EXPECT_FALSE(findUnfinishedRun(files_.journalFolder, identifySource("profile", path), 45));

  // Taken up after the torn line: the next line stands on a line of its own.
  EXPECT_TRUE(found->tornEnd);
  RunJournal resumed = RunJournal::resume(found->path, found->tornEnd);
  resumed.record(2, ticked);
  EXPECT_EQ(findUnfinishedRun(files_.journalFolder, source, 45)->screened(), 3);

  // The same size and name but other bytes: another file.
  std::string changed = numberedCsv(45);
  changed[changed.size() - 3] = '9';
  ASSERT_TRUE(writeFileBytes(path, changed));
  EXPECT_FALSE(findUnfinishedRun(files_.journalFolder, identifySource("free", path), 45));
}

TEST_F(RunFilesTest, OldJournalsAndAllButTheLastFiftyGo) {
  const std::string folder = files_.journalFolder;
  ASSERT_TRUE(makeFolders(folder));
  for (int i = 0; i < 55; ++i) ASSERT_TRUE(writeFileBytes(folder + "run-" + std::to_string(100 + i) + ".jsonl", "{}\n"));
  ASSERT_TRUE(writeFileBytes(folder + "notes.txt", "kept"));
  pruneJournals(folder, std::chrono::system_clock::now());
  EXPECT_EQ(listFiles(folder).size(), 51u);  // 50 journals and the file that is none
  pruneJournals(folder, std::chrono::system_clock::now() + std::chrono::hours(24 * 31));
  ASSERT_EQ(listFiles(folder).size(), 1u);
  EXPECT_EQ(listFiles(folder)[0].name, "notes.txt");
}

TEST_F(RunFilesTest, ResultsKeepTheSourcesEncodingOrBecomeAWorkbook) {
  // UTF-16 text (Excel's "Unicode text"), tab-separated, with a row that has no address.
  // The address column before the last one: the header is known before its line ends.
  std::u16string text = u"订单号\t收货地址\t备注\r\nA1\t杭州\t\r\nA2\t\t加急\r\n";
  std::string utf16 = "\xFF\xFE";
  for (const char16_t unit : text) utf16 += std::string{static_cast<char>(unit & 0xFF), static_cast<char>(unit >> 8)};
  ScreeningTotals totals;
  ASSERT_EQ(importFile(place("unicode.txt", utf16), totals), 1);
  const std::string written = readFileBytes(totals.resultsFile);
  ASSERT_TRUE(totals.resultsFile.ends_with(".csv")) << totals.resultsFile;
  ASSERT_TRUE(written.starts_with("\xFF\xFE"));
  std::u16string units;
  for (size_t i = 2; i + 1 < written.size(); i += 2)
    units.push_back(static_cast<char16_t>(static_cast<unsigned char>(written[i]) | static_cast<unsigned char>(written[i + 1]) << 8));
  EXPECT_EQ(utf16ToGbk(units),
            "订单号\t收货地址\t备注\t筛单结果\t限制类型\t匹配对象\t说明\t最近网点\t网点距离(米)\r\n"
            "A1\t杭州\t\t勾选\t\t\t\t\t\r\n"
            "A2\t\t加急\t跳过：收货地址为空\t\t\t\t\t\r\n");

  // A workbook gives a workbook: every source cell, the results beside them.
  const std::string book = readFileBytes(std::string(PV_TEST_FIXTURES) + "/spreadsheets/numbers.xlsx");
  ScreeningTotals fromBook;
  ASSERT_EQ(importFile(place("numbers.xlsx", book), fromBook), 1);
  ASSERT_TRUE(fromBook.resultsFile.ends_with(".xlsx")) << fromBook.resultsFile << fromBook.resultsNote;
  SpreadsheetBook source, results;
  ASSERT_TRUE(source.loadBytes(book));
  ASSERT_TRUE(results.load(fromBook.resultsFile));
  const SpreadsheetSheet& in = *source.sheet(0);
  const SpreadsheetSheet& out = *results.sheet(0);
  EXPECT_EQ(out.lastRow(), in.lastRow());
  for (int r = 0; r < in.lastRow(); ++r) {
    for (int c = 0; c < in.lastCol(); ++c) EXPECT_EQ(out.readStr(r, c), in.readStr(r, c)) << r << "," << c;
  }
  int ticks = 0;
  for (int r = 0; r < out.lastRow(); ++r) ticks += out.readStr(r, in.lastCol()) == "勾选" ? 1 : 0;
  EXPECT_EQ(ticks, fromBook.ticked);
}

TEST_F(RunFilesTest, AFolderThatTakesNothingSendsTheResultsToDocuments) {
  // A file where a folder would be: nothing can be written into it, on any system.
  ASSERT_TRUE(writeFileBytes(root() + "blocked", "in the way"));
  const std::string source = root() + "blocked/orders/", documents = root() + "documents/";

  ScreeningTotals moved;
  saveResults(moved, source, documents, "orders_筛单结果_1", ".csv", "bytes");
  EXPECT_EQ(moved.resultsFile, documents + "orders_筛单结果_1.csv");
  EXPECT_EQ(moved.resultsNote, "原文件所在文件夹无法写入，结果文件已存到“我的文档”");

  ScreeningTotals nowhere;
  saveResults(nowhere, source, root() + "blocked/documents/", "orders_筛单结果_1", ".csv", "bytes");
  EXPECT_TRUE(nowhere.resultsFile.empty());
  EXPECT_EQ(nowhere.resultsNote, "结果文件未能保存（磁盘已满或没有写入权限），本次筛单结果仍在输出框中");
}

// The output box takes an order's lines together: the same runs as line by line, one pause.
TEST(OutputBoxWriter, AnOrdersLinesGoTogetherWithOnePause) {
  MemoryUi ui;
  ASSERT_TRUE(ui.load(Window::Main, true));
  RecordingPauses pauses;
  OutputBoxWriter output(ui, pauses);
  const auto write = [&] {
    output.appendLabelledLine("筛选地址", "杭州市西湖区", kColourBlack);
    output.appendStyledText("【筛选结果】：", kColourBlack);
    output.appendStyledText("西湖网点；", kColourBlue);
    output.appendLabelledLine("勾选结果", "选中", kColourGreen);
  };
  write();
  const std::vector<TextRun> lineByLine = ui.richRuns(Window::Main, kOutputBox);
  EXPECT_EQ(pauses.taken().size(), 4u);

  ASSERT_TRUE(ui.setText(Window::Main, kOutputBox, ""));
  pauses.clear();
  output.beginOrder();
  write();
  EXPECT_TRUE(ui.richRuns(Window::Main, kOutputBox).empty());  // nothing shown half-way
  output.endOrder();
  const std::vector<TextRun> together = ui.richRuns(Window::Main, kOutputBox);
  ASSERT_EQ(together.size(), lineByLine.size());
  for (size_t i = 0; i < together.size(); ++i) {
    EXPECT_EQ(together[i].text, lineByLine[i].text) << i;
    EXPECT_EQ(together[i].colour, lineByLine[i].colour) << i;
  }
  EXPECT_EQ(pauses.taken().size(), 1u);
}

}  // namespace
}  // namespace pv
