#include "core/erp/list_screening.h"

#include <string>

#include <optional>

#include "core/batch/journal.h"
#include "core/batch/ledger.h"
#include "core/erp/erp_windows.h"
#include "core/system/files.h"
#include "core/import/import_flow.h"
#include "core/text/text.h"

namespace pv {

namespace {

constexpr std::string_view kListClass = "TListView";
constexpr std::string_view kFullWidthSpace = "　";
constexpr auto kTickPause = std::chrono::milliseconds(10);
constexpr auto kBatchPause = std::chrono::milliseconds(50);

void tell(RunContext& run, std::string_view text) {
  (void)run.dialogs.show(DialogMessage{.text = std::string(text),
                                       .title = std::string(kRunMessageTitle),
                                       .buttons = DialogButtons::Ok,
                                       .owner = Window::Main});
}

struct BatchEntry {
  int row = 0;
  std::string region;   // the cells as read, to see whether the row still holds this order
  std::string address;
  std::string text;     // what was sent
};

std::string withoutSpaces(std::string_view text) { return replaceAll(replaceAll(text, " ", ""), kFullWidthSpace, ""); }

// The order list: a visible list under a window titled with the page name.
std::unique_ptr<ForeignList> findOrderList(Desktop& desktop, WindowHandle client, const std::string& pageName,
                                           bool& anyCandidate) {
  const std::vector<WindowHandle> candidates = listChildWindowsByClass(desktop, client, kListClass);
  anyCandidate = !candidates.empty();
  for (WindowHandle list : candidates) {
    WindowHandle ancestor = desktop.parent(desktop.parent(list));
    for (int level = 0; level < 2 && ancestor != 0; ++level, ancestor = desktop.parent(ancestor)) {
      if (!containsText(desktop.title(ancestor), pageName) || !desktop.visible(list)) continue;
      if (auto attached = desktop.attachList(list, kListClass)) return attached;
    }
  }
  return nullptr;
}

}  // namespace

std::string orderPageName(std::string_view title) {
  const int open = findText(title, "[");
  if (open < 0) return {};
  const int close = findText(title, "]", open + 1);
  if (close < 0) return {};
  return std::string(title.substr(static_cast<size_t>(open), static_cast<size_t>(close - open - 1)));
}

ColumnMap mapColumns(const std::vector<std::string>& headers) {
  ColumnMap columns;
  // Matched as the import matches its headers: GBK whatever the system's code page.
  ImportProfile orderNumbers;
  orderNumbers.orderNoPattern = std::string(kDefaultOrderNoPattern);
  const HeaderMatcher matcher(orderNumbers);
  bool exactAddress = false;
  for (size_t i = 0; i < headers.size(); ++i) {
    const std::string& header = headers[i];
    const int column = static_cast<int>(i) + 1;
    if (containsText(header, "地区")) columns.region = column;
    if (columns.orderNo == 0 && matcher.finds(kOrderNoSlot, header)) columns.orderNo = column;
    if (header == "地址") {
      columns.address = column;
      exactAddress = true;
    } else if (!exactAddress && containsText(header, "地址")) {
      columns.address = column;
    }
  }
  return columns;
}

bool screenListViewOrders(RunContext& run, Desktop& desktop, WindowHandle client, ScreeningTotals& totals,
                          std::string_view clientName) {
  const std::string pageName = orderPageName(desktop.title(client));

  bool anyCandidate = false;
  const std::unique_ptr<ForeignList> list = findOrderList(desktop, client, pageName, anyCandidate);
  if (!list) {
    tell(run, anyCandidate ? "没有在客户端内找到订单页！" : "请先打开‘订单审核’或‘单据打印’界面");
    return false;
  }
  run.output.appendLabelledLine("选中界面", pageName + "\r\n");

  const int columnCount = list->columnCount();
  std::vector<std::string> headers;
  for (int c = 0; c < columnCount; ++c) headers.push_back(list->columnText(c));
  const ColumnMap columns = mapColumns(headers);
  if (columnCount == 0) {
    tell(run, "请以管理员身份运行重启软件");
    return false;
  }
  if (columns.address == 0) {
    tell(run, "请右键订单列表点击‘配置显示列’，勾选‘地区、地址’列\r\n保证显示‘地址’列");
    return false;
  }
  if (columns.region == 0) {
    tell(run, "请右键订单列表点击‘配置显示列’，勾选‘地区、地址’列\r\n保证显示‘地区’列");
    return false;
  }

  const int last = list->itemCount() - 1;
  const int regionColumn = columns.region - 1;
  const int addressColumn = columns.address - 1;
  const int orderNoColumn = columns.orderNo - 1;

  RunLedger ledger(list->itemCount());
  std::optional<RunJournal> journal;
  if (run.files != nullptr && !run.files->journalFolder.empty()) {
    RunSource source;
    source.kind = std::string(clientName) + "\t" + pageName;
    journal = RunJournal::start(run.files->journalFolder, source, ledger.total(), run.files->now());
    if (journal) ledger.setLog(&*journal);
  }
  std::vector<BatchEntry> entries;  // entry i is the ledger's order i
  std::vector<std::vector<std::string>> cells;

  // The operator may re-sort or refresh the list while a batch is out: a row that no longer
  // holds the order screened is left alone rather than ticked by position.
  const SettleOrder settle = [&](size_t index, const OrderResult& result, std::string& reason) {
    if (run.stop.stop_requested()) return true;
    const BatchEntry& entry = entries[index];
    if (list->itemText(entry.row, regionColumn) != entry.region ||
        list->itemText(entry.row, addressColumn) != entry.address) {
      run.output.appendLabelledLine("跳过勾选", "第" + std::to_string(entry.row + 1) + "行（" + entry.text +
                                                    "）在筛单时已变动，未改动其勾选",
                                    kColourOrange);
      reason = "筛单时该行已变动，未改动其勾选";
      return false;
    }
    list->setCheckState(entry.row, result.tick);
    run.pause(kTickPause);
    return true;
  };

  // A run cut short still counts the list's rows, as its progress did.
  const auto cutShort = [&] {
    (void)run.ui.setTaskbarProgress(Window::Main, 0, 0);
    addLedgerTotals(ledger, totals, false, true);
    return false;
  };
  for (int start = 0; start <= last; start += kBatchSize) {
    if (run.stop.stop_requested()) return cutShort();
    std::vector<size_t> batch;
    // The row count is asked again for every row: rows removed meanwhile end the batch.
    for (int k = 0; k < kBatchSize; ++k) {
      const int row = start + k;
      if (row > list->itemCount() - 1) break;
      BatchEntry entry{row, list->itemText(row, regionColumn), list->itemText(row, addressColumn), {}};
      entry.text = entry.region;
      if (!isMaskedAddress(entry.address)) entry.text += entry.address;
      entry.text = withoutSpaces(entry.text);
      std::string orderNumber = orderNoColumn >= 0 ? list->itemText(row, orderNoColumn) : std::string();
      cells.push_back({entry.region, entry.address});
      if (orderNoColumn >= 0) cells.back().insert(cells.back().begin(), orderNumber);
      ledger.orders().push_back({entry.text, std::move(orderNumber), {}});
      batch.push_back(entries.size());
      entries.push_back(std::move(entry));
    }
    // Rows removed meanwhile took the rest of the page with them: nothing is left to ask.
    if (batch.empty()) break;
    if (!screenLedgerBatch(run, ledger, batch, settle)) return cutShort();
    run.pause(kBatchPause);
  }
  if (!offerRetryOfFailed(run, ledger, settle)) return cutShort();
  (void)run.ui.setTaskbarProgress(Window::Main, 0, 0);
  if (journal) journal->finish();

  // The summary counts the orders screened, not rows that were gone before their turn.
  addLedgerTotals(ledger, totals, false);
  if (run.files != nullptr && run.files->documentsFolder) {
    std::vector<std::string> columnsRead = {headers[static_cast<size_t>(regionColumn)],
                                            headers[static_cast<size_t>(addressColumn)]};
    if (orderNoColumn >= 0) columnsRead.insert(columnsRead.begin(), headers[static_cast<size_t>(orderNoColumn)]);
    const std::string stem = std::string(clientName) + "_" + pageName + "_" + localTimestamp(run.files->now());
    saveResults(totals, {}, run.files->documentsFolder() + std::string(kResultsSubfolder), safeFileName(stem), ".xlsx",
                writeXlsxBook(listResultsSheet(columnsRead, cells, ledger)));
  }
  return true;
}

}  // namespace pv
