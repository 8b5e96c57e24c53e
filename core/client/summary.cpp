#include "core/client/summary.h"

#include "core/text/text.h"

namespace pv {

namespace {

std::string selectedText(const Ui& ui, std::string_view box) {
  return ui.itemText(Window::Main, box, ui.selectedIndex(Window::Main, box));
}

}  // namespace

std::string chosenProjectAndService(const Ui& ui) {
  return selectedText(ui, kProjectBox) + " - " + selectedText(ui, kServiceBox);
}

std::vector<std::string> restrictionSummary(Ui& ui) {
  std::vector<std::string> kinds;
  auto ticked = [&](std::string_view box) { return ui.checked(Window::Main, box); };
  if (ticked(kBlindAreaBox)) kinds.emplace_back("盲区停发");
  if (ticked(kSurchargeBox)) kinds.emplace_back("超区加收");
  if (ticked(kFalseAddressBox)) kinds.emplace_back("虚假地址");
  if (ticked(kOtherRestrictionBox)) kinds.emplace_back("其他限制");
  if (ticked(kVillageCheck)) kinds.push_back("屏蔽村组" + ui.text(Window::Main, kVillageDistanceBox) + "米");
  if (ticked(kRemoteCheck)) kinds.push_back("屏蔽偏远" + ui.text(Window::Main, kRemoteDistanceBox) + "米");
  return kinds;
}

void showScreeningSummary(SummaryContext& summary, int total, int ticked, const OrderNumbers& orderNumbers) {
  showScreeningSummary(summary, ScreeningTotals{.total = total, .ticked = ticked, .orderNumbers = orderNumbers, .resultsFile = {}, .resultsNote = {}});
}

void showScreeningSummary(SummaryContext& summary, const ScreeningTotals& totals) {
  Ui& ui = summary.ui;
  const int total = totals.total, ticked = totals.ticked;
  const OrderNumbers& orderNumbers = totals.orderNumbers;
  if (total == 0) {
    summary.output.appendLabelledLine("筛单提示", "筛单结束");
    summary.output.scrollToEnd();
    return;
  }
  const std::string restrictions = joinTexts(restrictionSummary(ui), "；");
  const std::string project = chosenProjectAndService(ui);
  const std::string counts = "筛单总数：" + std::to_string(total) + "；勾选数量：" + std::to_string(ticked);
  summary.output.appendLabelledLine("筛单项目", project);
  summary.output.appendLabelledLine("筛单结果", counts + "。", kColourBlue);
  summary.output.appendLabelledLine("限制类型", restrictions, kColourOrange);
  std::string files;
  if (!totals.resultsFile.empty()) {
    summary.output.appendLabelledLine("结果文件", totals.resultsFile, kColourBlue);
    files += "\r\n结果文件：" + totals.resultsFile;
  }
  if (!totals.resultsNote.empty()) {
    summary.output.appendLabelledLine("结果文件", totals.resultsNote, kColourOrange);
    files += "\r\n" + totals.resultsNote;
  }
  summary.output.scrollToEnd();
  summary.resultsFile.store(totals.resultsFile);
  (void)ui.setVisible(Window::Result, kResultOpenFile, !totals.resultsFile.empty() && summary.browser != nullptr);

  (void)summary.dialogs.show(DialogMessage{
      .text = "【筛单项目】：" + project + "\r\n【筛单结果】：" + counts + "\r\n【限制类型】：" + restrictions + files,
      .title = std::string(kRunMessageTitle),
      .buttons = DialogButtons::Ok,
      .owner = Window::Main});

  (void)summary.clipboard.setText(joinTexts(orderNumbers, "\r\n"));
  if (orderNumbers.empty()) return;
  summary.matchingOrderNumbers.store(orderNumbers);
  Ui* target = &ui;
  Published<OrderNumbers>* numbers = &summary.matchingOrderNumbers;
  summary.workers.start([target, numbers] { fillResultWindow(*target, *numbers); });
  (void)ui.show(Window::Result);
  (void)ui.setText(Window::Result, kResultCopy, kCopyAllCaption);
  (void)ui.activate(Window::Result);
}

void fillResultWindow(Ui& ui, const Published<OrderNumbers>& matchingOrderNumbers) {
  const auto numbers = matchingOrderNumbers.load();
  const bool commas = ui.selectedIndex(Window::Result, kResultSeparator) == 1;
  (void)ui.setText(Window::Result, kResultText, joinTexts(*numbers, commas ? "," : "\r\n"));
}

}  // namespace pv
