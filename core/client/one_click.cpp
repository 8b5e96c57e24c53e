#include "core/client/one_click.h"

#include "core/client/service_boxes.h"
#include "core/erp/list_screening.h"
#include "core/product/product.h"

namespace pv {

namespace {

// Runs the client's flow; the result flag.
int runFlow(OneClickContext& context, const ErpClient& client, WindowHandle window, ScreeningTotals& totals,
            std::stop_token stop) {
  RunContext run{context.ui, context.dialogs, context.screening, context.output, context.pause, stop, context.files};
  if (std::holds_alternative<ReadOrderList>(client.flow)) {
    return screenListViewOrders(run, context.desktop, window, totals, client.displayName) ? 1 : 0;
  }
  const auto& profile = std::get<ErpImportProfile>(client.flow);
  return context.runErpImportProfile ? context.runErpImportProfile(profile, totals, stop) : 0;
}

}  // namespace

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

  for (const ErpClient& client : erpClients()) {
    if (stop.stop_requested()) return;
    const WindowHandle window = findErpClientWindow(context.desktop, client);
    if (window == 0) continue;
    context.output.appendLabelledLine("匹配软件", client.displayName);
    totals.summaryWanted = runFlow(context, client, window, totals, stop) == 1;
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
  if (totals.summaryWanted) showScreeningSummary(context.summary, totals);
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
  registered = events.on(Window::Result, kResultOpenFile, Event::Clicked,
                         [s](EventArgs&) {
                           const auto path = s->resultsFile.load();
                           if (path->empty() || s->browser == nullptr || !s->browser->open(*path)) {
                             (void)s->dialogs.show({.text = "结果文件无法打开：" + *path,
                                                    .title = std::string(kRunMessageTitle),
                                                    .owner = Window::Result});
                           }
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
