#include "core/erp/batch_screening.h"

#include <mutex>
#include <string>

#include "core/erp/erp_windows.h"
#include "core/json/json.h"
#include "core/regex/regex.h"
#include "core/regex/regex_matcher.h"
#include "core/screening/restriction.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {

namespace {

constexpr std::string_view kMainClass = "TForm_main";
constexpr std::string_view kListClass = "TListView";
constexpr std::string_view kFullWidthSpace = "　";
constexpr auto kTickPause = std::chrono::milliseconds(10);
constexpr auto kBatchPause = std::chrono::milliseconds(50);

// The cipher text the client shows for an encrypted address, or its own placeholder.
constexpr std::string_view kMaskedPattern =
    "[a-zA-Z0-9/=$*~`~!@#$%^&*()_\\-+=<>?:{}|,.\\/;'\\\\[\\]·~！@#￥%……&*（）——\\-+={}|《》？：【】、；‘'，。、]{26,}"
    "|此次不解密";

void tell(ErpRunContext& run, std::string_view text) {
  (void)run.dialogs.show(DialogMessage{.text = std::string(text),
                                       .title = std::string(kErpMessageTitle),
                                       .buttons = DialogButtons::Ok,
                                       .owner = Window::Main});
}

bool ticked(Ui& ui, std::string_view box) { return ui.checked(Window::Main, box); }

// Whether a failing restriction of this type stops the order under the operator's options.
bool restrictionCounts(Ui& ui, RestrictionKind kind) {
  switch (kind) {
    case RestrictionKind::BlindArea: return ticked(ui, kBlindAreaBox);
    case RestrictionKind::Surcharge: return ticked(ui, kSurchargeBox);
    case RestrictionKind::FalseAddress: return ticked(ui, kFalseAddressBox);
    case RestrictionKind::Other: return ticked(ui, kOtherRestrictionBox);
    case RestrictionKind::Unknown: break;
  }
  return true;  // a kind the options do not name always counts
}

std::string textAt(const JsonValue& value, std::string_view key) { return utf8ToGbk(value.member(key).text()); }

// One verdict after "【筛选结果】：": the sites, then each restriction; the decision
// before the operator's inverse mode.
bool writeVerdict(ErpRunContext& run, const JsonValue& item, const std::string& message) {
  bool decision = true;
  run.output.appendStyledText("【筛选结果】：", kColourBlack);

  const JsonValue sites = item.member("sites");
  if (sites.isArray()) {
    std::vector<std::string> names;
    for (JsonValue site : sites.elements()) {
      std::string name = textAt(site, "title");
      if (name.empty()) name = textAt(site, "name");
      names.push_back(std::move(name));
    }
    if (!names.empty()) run.output.appendStyledText(joinTexts(names, "；") + "；", kColourBlue);
  }

  const JsonValue policies = item.member("policies");
  if (policies.isArray()) {
    for (JsonValue policy : policies.elements()) {
      std::string name = textAt(policy, "shortTypeName");
      if (name.empty()) name = textAt(policy, "typeName");
      if (name.empty()) name = "暂无说明";
      std::string object = textAt(policy, "object");
      if (object == name) object.clear();
      run.output.appendStyledText(object + "[" + name + "]；", parseHexColour(textAt(policy, "color")));
      if (decision && !policy.member("pass").toBool() && restrictionCounts(run.ui, restrictionKindOf(policy.member("type").toInt()))) {
        decision = false;
      }
    }
    if (policies.size() == 0) run.output.appendStyledText("区域正常[未查询到相关异常]", kColourGreen);
  } else if (!message.empty()) {
    run.output.appendStyledText("区域正常[未查询到相关异常]", kColourGreen);
  }
  run.output.appendStyledText("\r\n", kColourBlack);
  return decision;
}

struct BatchEntry {
  int row = 0;
  std::string region;   // the cells as read, to see whether the row still holds this order
  std::string address;
  std::string text;     // what was sent
};

std::string withoutSpaces(std::string_view text) { return replaceAll(replaceAll(text, " ", ""), kFullWidthSpace, ""); }

// The order list: a visible list under a window titled with the page name.
std::unique_ptr<ForeignList> findOrderList(ErpRunContext& run, WindowHandle client, const std::string& pageName,
                                           bool& anyCandidate) {
  const std::vector<WindowHandle> candidates = listChildWindowsByClass(run.desktop, client, kListClass);
  anyCandidate = !candidates.empty();
  for (WindowHandle list : candidates) {
    WindowHandle ancestor = run.desktop.parent(run.desktop.parent(list));
    for (int level = 0; level < 2 && ancestor != 0; ++level, ancestor = run.desktop.parent(ancestor)) {
      if (!containsText(run.desktop.title(ancestor), pageName) || !run.desktop.visible(list)) continue;
      if (auto attached = run.desktop.attachList(list, kListClass)) return attached;
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
  bool exactAddress = false;
  for (size_t i = 0; i < headers.size(); ++i) {
    const std::string& header = headers[i];
    const int column = static_cast<int>(i) + 1;
    if (containsText(header, "地区")) columns.region = column;
    if (header == "地址") {
      columns.address = column;
      exactAddress = true;
    } else if (!exactAddress && containsText(header, "地址")) {
      columns.address = column;
    }
  }
  return columns;
}

bool isMaskedAddress(std::string_view address) {
  // Compiled once: an imported file asks for every one of its rows. Not thread_local: the
  // static MinGW runtime frees a thread_local object's storage before its destructor runs at
  // thread exit, and the worker then died freeing a garbage pointer. The matcher keeps a
  // cache, so searches take turns.
  static Regex masked =
      Regex::compile(gbkToUtf16(kMaskedPattern), {.ignoreCase = false, .multiline = true});
  static std::mutex maskedTurn;
  const std::u16string wide = gbkToUtf16(address);
  if (wide.empty() && !address.empty()) {  // a byte the code page refuses: the matcher's lenient way
    RegexMatcher matcher;
    return matcher.execute(kMaskedPattern, address, {.caseSensitive = true, .global = false}) && matcher.matchCount() > 0;
  }
  RegexMatches found;
  std::lock_guard turn(maskedTurn);
  return masked.valid() && masked.search(wide, 0, found, false);
}

void showScreeningProgress(Ui& ui, int total, int processed, int tickedCount, bool querying) {
  std::string text = "筛单进度：" + std::to_string(processed) + "/" + std::to_string(total) + "，勾选数量：" +
                     std::to_string(tickedCount);
  if (querying) text += "，正在查询...";
  (void)ui.setStatusText(Window::Main, kMainStatusBar, 0, text);
}

bool screenBatch(ErpRunContext& run, const std::vector<std::string>& texts, std::vector<bool>& decisions,
                 int& tickedCount) {
  decisions.clear();
  if (run.stop.stop_requested()) return false;
  const std::string answer = run.screening.screenAddresses(texts, run.stop);
  // A stop while the request was out: the operator has moved on, write nothing more.
  if (run.stop.stop_requested()) return false;

  JsonDocument document;
  (void)document.parse(answer);
  const std::string message = utf8ToGbk(document.member("msg").text());
  if (!run.screening.checkServiceCode(document.member("code").toInt(), message)) {
    run.output.appendLabelledLine("筛单中止", message, kColourOrange);
    (void)run.ui.setStatusText(Window::Main, kMainStatusBar, 0, "【筛单中止】" + message);
    return false;
  }

  for (size_t n = 0; n < texts.size(); ++n) {
    run.output.appendLabelledLine("筛选地址", texts[n]);
    bool decision = writeVerdict(run, document.at("/data/" + std::to_string(n)), message);
    if (run.ui.checked(Window::Main, kInverseRadio)) decision = !decision;
    if (decision) {
      ++tickedCount;
      run.output.appendLabelledLine("勾选结果", "选中", kColourGreen);
    } else {
      run.output.appendLabelledLine("勾选结果", "不选", kColourOrange);
    }
    run.output.appendStyledText("\r\n", kColourBlack);
    run.output.scrollToEnd();
    decisions.push_back(decision);
  }
  return true;
}

bool screenListViewOrders(ErpRunContext& run, ScreeningTotals& totals) {
  const WindowHandle client = findTopLevelWindowByClass(run.desktop, kMainClass);
  const std::string pageName = orderPageName(run.desktop.title(client));

  bool anyCandidate = false;
  const std::unique_ptr<ForeignList> list = findOrderList(run, client, pageName, anyCandidate);
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

  totals.total = list->itemCount();
  const int last = list->itemCount() - 1;
  const int regionColumn = columns.region - 1;
  const int addressColumn = columns.address - 1;

  int screened = 0;
  for (int start = 0; start <= last; start += kBatchSize) {
    if (run.stop.stop_requested()) return false;
    std::vector<BatchEntry> batch;
    // The row count is asked again for every row: rows removed meanwhile end the batch.
    for (int k = 0; k < kBatchSize; ++k) {
      const int row = start + k;
      if (row > list->itemCount() - 1) break;
      BatchEntry entry{row, list->itemText(row, regionColumn), list->itemText(row, addressColumn), {}};
      entry.text = entry.region;
      if (!isMaskedAddress(entry.address)) entry.text += entry.address;
      entry.text = withoutSpaces(entry.text);
      batch.push_back(std::move(entry));
    }
    // Rows removed meanwhile took the rest of the page with them: nothing is left to ask.
    if (batch.empty()) break;
    screened += static_cast<int>(batch.size());
    const int processed = start + static_cast<int>(batch.size());
    showScreeningProgress(run.ui, totals.total, processed, totals.ticked, true);

    std::vector<std::string> texts;
    for (const BatchEntry& entry : batch) texts.push_back(entry.text);
    std::vector<bool> decisions;
    if (!screenBatch(run, texts, decisions, totals.ticked)) return false;

    for (size_t i = 0; i < batch.size() && i < decisions.size(); ++i) {
      if (run.stop.stop_requested()) return false;
      const BatchEntry& entry = batch[i];
      // The operator may re-sort or refresh the list while the batch was out: a row that
      // no longer holds the order screened is left alone rather than ticked by position.
      if (list->itemText(entry.row, regionColumn) != entry.region ||
          list->itemText(entry.row, addressColumn) != entry.address) {
        if (decisions[i]) --totals.ticked;
        run.output.appendLabelledLine("跳过勾选", "第" + std::to_string(entry.row + 1) + "行（" + entry.text +
                                                      "）在筛单时已变动，未改动其勾选",
                                      kColourOrange);
        continue;
      }
      list->setCheckState(entry.row, decisions[i]);
      run.pause(kTickPause);
    }
    run.pause(kBatchPause);
    showScreeningProgress(run.ui, totals.total, processed, totals.ticked, false);
  }
  // The summary counts the orders screened, not rows that were gone before their turn.
  totals.total = screened;
  return true;
}

}  // namespace pv
