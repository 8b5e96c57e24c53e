#include "core/import/import_flow.h"

#include <optional>

#include "core/batch/journal.h"
#include "core/batch/ledger.h"
#include "core/import/csv_reader.h"
#include "core/import/sheet_orders.h"
#include "core/sheets/spreadsheet.h"
#include "core/product/product.h"
#include "core/system/files.h"
#include "core/text/text.h"

namespace pv {
namespace {

void okBox(Dialogs& dialogs, std::string_view text, std::string_view title) {
  dialogs.show({std::string(text), std::string(title), DialogButtons::Ok, DialogIcon::None, Window::Main});
}

bool yesNoBox(Dialogs& dialogs, std::string_view text, std::string_view title) {
  return dialogs.show({std::string(text), std::string(title), DialogButtons::YesNo, DialogIcon::None,
                       Window::Main}) == DialogAnswer::Yes;
}

void setStatus(Ui& ui, std::string_view text) { (void)ui.setStatusText(Window::Main, kMainStatusBar, 0, text); }

// Byte offset just after the last separator ("\" or "/" as a character, not as a trail
// byte), or 0.
size_t afterLastSeparator(std::string_view path) {
  size_t after = 0;
  for (size_t i = 0; i < path.size();) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (isGbkLeadByte(c) && i + 1 < path.size()) {
      i += 2;
      continue;
    }
    if (c == '\\' || c == '/') after = i + 1;
    ++i;
  }
  return after;
}

// Byte offset of the last "." character at or after `from`, or npos.
size_t lastDot(std::string_view text, size_t from = 0) {
  size_t dot = std::string_view::npos;
  for (size_t i = from; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (isGbkLeadByte(c) && i + 1 < text.size()) {
      i += 2;
      continue;
    }
    if (c == '.') dot = i;
    ++i;
  }
  return dot;
}

// The rows whose order numbers a spreadsheet stored as numbers too long to keep exact, as
// the output box names them ("第3、7行…"); empty when there are none.
std::string cutNumberNote(const std::vector<ImportedOrder>& orders) {
  constexpr size_t kNamed = 10;
  std::vector<std::string> rows;
  size_t count = 0;
  for (const ImportedOrder& order : orders) {
    if (order.cutNumberRow <= 0) continue;
    if (++count <= kNamed) rows.push_back(std::to_string(order.cutNumberRow));
  }
  if (count == 0) return {};
  std::string where = "第" + joinTexts(rows, "、") + "行";
  if (count > kNamed) where += "等" + std::to_string(count) + "行";
  return where + "的订单号是超过15位的数字，表格已丢失末几位，请核对";
}

int offerWebImport(ImportContext& context) {
  if (yesNoBox(context.dialogs, kUnknownTypeText, kImportFailedTitle) && context.batchQueryAddress)
    context.browser.open(context.batchQueryAddress());
  return 0;
}

}  // namespace

std::string batchQueryAddress(int productId, int serviceId, std::string_view token) {
  return std::string(kWebConsole) + "/service/query?open=product-" + std::to_string(productId) +
         "&select=business-" + std::to_string(serviceId) + "&token=" + std::string(token);
}

std::string directoryOf(std::string_view path) {
  if (isDirectory(path)) return std::string(path);
  return std::string(path.substr(0, afterLastSeparator(path)));
}

std::string fileTitleOf(std::string_view path, bool keepExtension) {
  const std::string_view name = path.substr(afterLastSeparator(path));
  if (keepExtension) return std::string(name);
  const size_t dot = lastDot(name);
  return std::string(dot == std::string_view::npos ? name : name.substr(0, dot));
}

std::string extensionOf(std::string_view path) {
  const std::string_view name = path.substr(afterLastSeparator(path));
  const size_t dot = lastDot(name);
  return dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
}

void applyImportDefaults(ImportProfile& profile, ImportOptional& optional) {
  if (profile.orderNoPattern.empty()) profile.orderNoPattern = std::string(kDefaultOrderNoPattern);
  if (profile.addressPattern.empty()) {
    profile.regionPattern = "地区|省市区";
    optional.flags[0] = 1;
    profile.addressPattern = "(收[件货]|详细)(地址|信息)|地址";
  }
}

int importOrderFile(ImportContext& context, std::vector<ImportedOrder>& orders,
                    const ImportProfile& profile, const ImportOptional& optional, std::string_view path,
                    ImportSource* source) {
  std::string chosen(path);
  if (chosen.empty()) {
    chosen = context.files.showOpenFileDialog(Window::Main, context.files.desktopFolder(), kImportDialogTitle,
                                              kImportFilter);
    if (chosen.empty()) return 0;
  }
  setStatus(context.ui, "等待导入数据...");

  // The type is the text after the path's last dot, so "D:\data.old\orders" has none we know.
  const size_t dot = lastDot(chosen);
  const std::string type = dot == std::string::npos ? std::string() : toLowerAscii(chosen.substr(dot + 1));
  if (type != "csv" && type != "txt" && type != "xls" && type != "xlsx") return offerWebImport(context);

  // Within our types the first bytes decide, not the name: a text file is read as text
  // whatever it is called (a csv saved as .xls, Excel's "Unicode text" .txt), a workbook as
  // a workbook. Only a .txt that is neither is refused as of no known kind; a .csv of an
  // unknown kind is still read as text, as it always was.
  std::string bytes = readFileBytes(chosen);
  const SpreadsheetFormat kind = sniffSpreadsheet(bytes);
  const bool workbook = kind == SpreadsheetFormat::CompoundFile || kind == SpreadsheetFormat::Zip ||
                        kind == SpreadsheetFormat::Html || kind == SpreadsheetFormat::Xml2003;
  const bool text = kind == SpreadsheetFormat::Text || (type == "csv" && !workbook) ||
                    (type == "txt" && kind == SpreadsheetFormat::Empty);
  if (source != nullptr) {
    *source = ImportSource();
    source->path = chosen;
  }
  if (text) {
    if (source != nullptr) source->text = true;
    return readCsvOrderBytes(bytes, orders, profile, optional, context.dialogs,
                             source != nullptr ? &source->layout : nullptr);
  }
  if (type == "txt" && !workbook) return offerWebImport(context);

  auto kept = std::make_shared<SpreadsheetBook>();
  SpreadsheetBook& book = *kept;
  const bool loaded = book.loadBytes(bytes);
  bytes = std::string();  // the sheet holds what it needs
  if (!loaded) {
    // The suite would ask for the password in a window nobody sees: the operator is told.
    if (book.encrypted()) {
      okBox(context.dialogs, book.errorMessage(), kImportFailedTitle);
      return 0;
    }
    if (!path.empty()) {
      okBox(context.dialogs, book.errorMessage(), kCopyUnreadableTitle);
      return 0;
    }
    return convertWithExcel(context, orders, profile, optional, chosen, book.errorMessage(), source);
  }
  const size_t before = orders.size();
  const SheetImport sheet = readSheetOrders(*book.sheet(0), profile, optional, orders);
  if (sheet.missingSlot >= 0) {
    orders.resize(before);
    okBox(context.dialogs, missingColumnText(profile.pattern(sheet.missingSlot)), kImportFailedTitle);
    return 0;
  }
  if (orders.size() == before) {
    okBox(context.dialogs, kNoImportDataText, kImportNoticeTitle);
    return 0;
  }
  if (source != nullptr) {
    source->book = std::move(kept);
    source->headerRow = sheet.headerRow;
    source->skipped = sheet.skipped;
  }
  if (!path.empty()) (void)removeFile(path);  // the converted copy has served
  setStatus(context.ui, "导入" + std::to_string(orders.size() - before) + "条数据");
  return 1;
}

int convertWithExcel(ImportContext& context, std::vector<ImportedOrder>& orders,
                     const ImportProfile& profile, const ImportOptional& optional, std::string_view path,
                     std::string_view readerError, ImportSource* source) {
  setStatus(context.ui, "正在转换excel...");
  std::unique_ptr<WorkbookConverter> office = context.makeConverter ? context.makeConverter() : nullptr;
  const OfficeStep started = office ? office->start() : OfficeStep::Failed;
  if (started == OfficeStep::Failed) {
    // Without an office suite the operator still learns what the file is and what went wrong.
    std::string text(kNoOfficeText);
    if (!readerError.empty()) text = std::string(readerError) + "\r\n\r\n" + text;
    if (yesNoBox(context.dialogs, text, kNoOfficeTitle)) context.browser.open(kOfficeDownloadAddress);
    return 0;
  }
  const auto noAnswer = [&] {
    okBox(context.dialogs, kOfficeNoAnswerText, kImportNoticeTitle);
    return 0;
  };
  if (started == OfficeStep::NoAnswer) return noAnswer();
  const OfficeStep opened = office->openWorkbook(path);
  if (opened == OfficeStep::NoAnswer) return noAnswer();
  if (opened == OfficeStep::Failed) {
    okBox(context.dialogs, kOfficeCannotOpenText, kImportNoticeTitle);
    return 0;
  }
  // Always an xlsx copy: saved in the workbook's own format, an HTML or XML file dressed as
  // .xls would stay one, and the copy would be as unreadable as the original.
  const std::string copy = directoryOf(path) + fileTitleOf(path, false) + "_temp.xlsx";
  (void)removeFile(copy);
  // A refused save is noticed by the read of the copy; a save cut short leaves a copy that
  // must not be read.
  if (office->saveActiveWorkbookAs(copy) == OfficeStep::NoAnswer) {
    (void)removeFile(copy);
    return noAnswer();
  }
  office->closeWorkbooks();
  office->quit();
  office.reset();
  const int read = importOrderFile(context, orders, profile, optional, copy, source);
  if (source != nullptr) source->path = std::string(path);  // the results go beside the operator's file
  return read;
}

int screenImportedOrders(ImportContext& context, RunContext& run, ScreeningTotals& totals,
                         ImportProfile& profile, ImportOptional& optional) {
  applyImportDefaults(profile, optional);
  std::vector<ImportedOrder> orders;
  ImportSource source;
  if (!importOrderFile(context, orders, profile, optional, {}, &source)) return 0;
  if (const std::string note = cutNumberNote(orders); !note.empty())
    run.output.appendLabelledLine("单号提示", note, kColourOrange);

  RunLedger ledger(static_cast<int>(orders.size()));
  for (const ImportedOrder& order : orders) ledger.orders().push_back({order.address, order.orderNumber, {}});

  // The journal: an earlier run of this very file that did not go through is offered first.
  std::optional<RunJournal> journal;
  const RunFiles* files = run.files;
  if (files != nullptr && !files->journalFolder.empty()) {
    std::string kind;
    for (int slot = 0; slot < kImportSlots; ++slot) kind += profile.pattern(slot) + "\t";
    const RunSource identity = identifySource(kind, source.path);
    if (const auto earlier = findUnfinishedRun(files->journalFolder, identity, ledger.total())) {
      const int done = earlier->screened();
      const std::string question = "上次筛单未完成（已完成 " + std::to_string(done) + "/" + std::to_string(ledger.total()) +
                                   " 单），是否只筛剩余的 " + std::to_string(ledger.total() - done) + " 单？";
      if (yesNoBox(run.dialogs, question, kRunMessageTitle)) {
        for (const auto& [index, result] : earlier->results) {
          if (result.screened()) ledger.settle(index, result, false);
        }
        journal = RunJournal::resume(earlier->path, earlier->tornEnd);
        run.output.appendLabelledLine("继续筛单", "已完成" + std::to_string(done) + "单，本次筛剩余" +
                                                      std::to_string(ledger.total() - done) + "单",
                                      kColourBlue);
      }
    }
    if (run.stop.stop_requested()) return 0;
    if (!journal) journal = RunJournal::start(files->journalFolder, identity, ledger.total(), files->now());
    if (journal) ledger.setLog(&*journal);
  }

  std::vector<size_t> left;
  for (size_t i = 0; i < ledger.orders().size(); ++i) {
    if (!ledger.orders()[i].result.screened()) left.push_back(i);
  }
  const bool through = screenLedgerOrders(run, ledger, left, {}) && offerRetryOfFailed(run, ledger, {});
  (void)run.ui.setTaskbarProgress(Window::Main, 0, 0);
  addLedgerTotals(ledger, totals, true, !through);
  if (!through) return 0;
  if (journal) journal->finish();

  if (files != nullptr && files->documentsFolder) {
    const std::string stem = fileTitleOf(source.path, false) + "_筛单结果_" + localTimestamp(files->now());
    saveResults(totals, directoryOf(source.path), files->documentsFolder() + std::string(kResultsSubfolder), stem,
                resultsExtension(source), importResultsBytes(source, orders, ledger));
  }
  return 1;
}

}  // namespace pv
