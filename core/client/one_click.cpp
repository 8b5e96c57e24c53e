#include "core/client/one_click.h"

#include "core/client/service_boxes.h"
#include "core/erp/erp_windows.h"
#include "core/erp/list_screening.h"
#include "core/product/product.h"

namespace pv {

namespace {

using Find = ErpDetectionRule::Find;
using Flow = ErpDetectionRule::Flow;

constexpr ErpDetectionRule kRules[] = {
    {Find::ByClass, "TForm_main", "", "网店管家云端版", Flow::ListView},
    {Find::ByTitlePart, "TfrmMain", "网店管家（在线版）", "网店管家在线版", Flow::ImportProfile},
    {Find::ByTitlePart, "", "银狐库存管家系统", "银狐库存管家系统", Flow::ImportProfile},
    {Find::ByTitlePart, "", "极速系列网店综合管理系统", "极速系列网店综合管理系统", Flow::ImportProfile},
    {Find::ByClass, "CoolWindow", "", "旺店通", Flow::ImportProfile},
    {Find::ByTitlePart, "", "飞鱼-", "飞鱼", Flow::ImportProfile},
    {Find::ByTitlePart, "", "淘打 ", "淘打", Flow::ImportProfile},
    {Find::ByTitlePart, "", "精打 - ", "精打", Flow::ImportProfile},
    {Find::ByTitlePart, "", "富润网店管理系统", "富润网店管理系统", Flow::ImportProfile},
    {Find::ByTitlePart, "", "易掌柜", "易掌柜", Flow::ImportProfile},
    {Find::ByTitlePart, "", "善管ERP", "善管ERP", Flow::ImportProfile},
};

bool recognised(Desktop& desktop, const ErpDetectionRule& rule) {
  return rule.find == Find::ByClass ? findTopLevelWindowByClass(desktop, rule.className) != 0
                                    : findWindowByTitlePart(desktop, rule.titlePart, rule.className) != 0;
}

int runFlow(OneClickContext& context, const ErpDetectionRule& rule, ScreeningTotals& totals, std::stop_token stop) {
  if (rule.flow == Flow::ListView) {
    RunContext run{context.ui, context.dialogs, context.screening, context.output, context.pause,
                      stop};
    return screenListViewOrders(run, context.desktop, totals) ? 1 : 0;
  }
  return context.runErpImportProfile ? context.runErpImportProfile(rule.displayName, totals, stop) : 0;
}

}  // namespace

std::span<const ErpDetectionRule> erpDetectionRules() { return kRules; }

void runOneClickScreening(OneClickContext& context, std::stop_token stop) {
  Ui& ui = context.ui;
  ScreeningTotals totals;
  (void)ui.hide(Window::Result);
  if (!checkServiceChosen(ui, context.dialogs, context.windows)) {
    if (!stop.stop_requested()) (void)ui.setText(Window::Main, kOneClickButton, kIdleCaption);
    return;
  }
  (void)ui.setText(Window::Main, kOutputBox, "");
  (void)ui.setVisible(Window::Main, kScrollToSitesButton, false);
  (void)ui.setVisible(Window::Main, kScrollToPoliciesButton, false);
  context.output.appendLabelledLine("筛单项目", chosenProjectAndService(ui));

  for (const ErpDetectionRule& rule : kRules) {
    if (stop.stop_requested()) return;
    if (!recognised(context.desktop, rule)) continue;
    context.output.appendLabelledLine("匹配软件", rule.displayName);
    totals.summaryWanted = runFlow(context, rule, totals, stop) == 1;
  }
  if (stop.stop_requested()) return;

  if (totals.total == 0) {
    const DialogAnswer answer = context.dialogs.show(DialogMessage{
        .text = "未匹配到ERP客户端，是否导入excel表格进行筛单？",
        .title = std::string(kRunMessageTitle),
        .buttons = DialogButtons::OkCancel,
        .owner = Window::Main});
    if (stop.stop_requested()) return;
    if (answer == DialogAnswer::Ok) {
      context.output.appendLabelledLine("自由筛单", "数据表格");
      totals.summaryWanted = context.screenImportedOrders && context.screenImportedOrders(totals, stop) == 1;
      if (stop.stop_requested()) return;
    }
  }
  (void)ui.setText(Window::Main, kOneClickButton, kIdleCaption);
  if (totals.summaryWanted) {
    showScreeningSummary(context.summary, totals.total, totals.ticked, totals.orderNumbers);
  }
}

void OneClickControl::toggleOneClickScreening() {
  Ui& ui = context_.ui;
  std::lock_guard lock(mutex_);
  if (ui.text(Window::Main, kOneClickButton) != kIdleCaption) {
    running_.request_stop();
    (void)ui.setText(Window::Main, kOneClickButton, kIdleCaption);
    return;
  }
  running_ = std::stop_source();
  (void)ui.setText(Window::Main, kOneClickButton, kRunningCaption);
  OneClickContext* context = &context_;
  workers_.start([context, stop = running_.get_token()] { runOneClickScreening(*context, stop); });
}

bool registerResultWindowEvents(SummaryContext& summary) {
  SummaryContext* s = &summary;
  EventHub& events = summary.ui.events();
  bool registered = events.on(Window::Result, "", Event::Created, [s](EventArgs&) {
    (void)s->ui.setTitle(Window::Result,
                         s->ui.title(Window::Result) + " " + std::string(kProductName) + std::string(kProductVersion));
  });
  registered = events.on(Window::Result, kResultSeparator, Event::ItemSelected,
                         [s](EventArgs&) {
                           s->workers.start([s] { fillResultWindow(s->ui, s->matchingOrderNumbers); });
                         }) &&
               registered;
  registered = events.on(Window::Result, kResultCopy, Event::Clicked,
                         [s](EventArgs&) {
                           (void)s->clipboard.setText(s->ui.text(Window::Result, kResultText));
                           (void)s->ui.setText(Window::Result, kResultCopy, "已复制");
                         }) &&
               registered;
  registered = events.on(Window::Result, "", Event::MayClose,
                         [s](EventArgs& args) {
                           (void)s->ui.hide(Window::Result);
                           (void)s->ui.setText(Window::Result, kResultCopy, kCopyAllCaption);
                           args.cancel = true;
                         }) &&
               registered;
  return registered;
}

bool registerOneClickEvents(Ui& ui, OneClickControl& control) {
  OneClickControl* target = &control;
  return ui.events().on(Window::Main, kOneClickButton, Event::Clicked,
                        [target](EventArgs&) { target->toggleOneClickScreening(); });
}

}  // namespace pv
