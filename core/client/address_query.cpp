#include "core/client/address_query.h"

#include "core/batch/main_window.h"
#include "core/client/login_window.h"
#include "core/client/summary.h"
#include "core/product/product.h"
#include "core/regex/regex_matcher.h"
#include "core/screening/render.h"
#include "core/screening/service_code.h"
#include "core/system/note_failure.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {

const std::string_view kPlaceNamePattern =
    "北京|天津|河北|山西|内蒙|辽宁|吉林|黑龙江|上海|江苏|浙江|安徽|福建|江西|山东|河南|湖北|湖南|广东|广西|海南|重庆|"
    "四川|贵州|云南|西藏|陕西|甘肃|青海|宁夏|新疆|香港|澳门|直辖区|石家庄|唐山|秦皇岛|邯郸|邢台|保定|张家口|承德|沧州|"
    "廊坊|衡水|太原|大同|阳泉|长治|晋城|朔州|晋中|运城|忻州|临汾|吕梁|呼和浩特|包头|乌海|赤峰|通辽|鄂尔多斯|呼伦贝尔|"
    "巴彦淖尔|乌兰察布|兴安|锡林郭勒|阿拉善|沈阳|大连|鞍山|抚顺|本溪|丹东|锦州|营口|阜新|辽阳|盘锦|铁岭|朝阳|葫芦岛|"
    "长春|吉林|四平|辽源|通化|白山|松原|白城|延边|哈尔滨|齐齐哈尔|鸡西|鹤岗|双鸭山|大庆|伊春|佳木斯|七台河|牡丹江|黑河|"
    "绥化|大兴安岭|南京|无锡|徐州|常州|苏州|南通|连云港|淮安|盐城|扬州|镇江|泰州|宿迁|杭州|宁波|温州|嘉兴|湖州|绍兴|"
    "金华|衢州|舟山|台州|丽水|合肥|芜湖|蚌埠|淮南|马鞍山|淮北|铜陵|安庆|黄山|滁州|阜阳|宿州|六安|亳州|池州|宣城|福州|"
    "厦门|莆田|三明|泉州|漳州|南平|龙岩|宁德|南昌|景德镇|萍乡|九江|新余|鹰潭|赣州|吉安|宜春|抚州|上饶|济南|青岛|淄博|"
    "枣庄|东营|烟台|潍坊|济宁|泰安|威海|日照|临沂|德州|聊城|滨州|菏泽|郑州|开封|洛阳|平顶山|安阳|鹤壁|新乡|焦作|濮阳|"
    "许昌|漯河|三门峡|南阳|商丘|信阳|周口|驻马店|直辖县|武汉|黄石|十堰|宜昌|襄阳|鄂州|荆门|孝感|荆州|黄冈|咸宁|随州|"
    "恩施|长沙|株洲|湘潭|衡阳|邵阳|岳阳|常德|张家界|益阳|郴州|永州|怀化|娄底|湘西|广州|韶关|深圳|珠海|汕头|佛山|江门|"
    "湛江|茂名|肇庆|惠州|梅州|汕尾|河源|阳江|清远|东莞|中山|潮州|揭阳|云浮|南宁|柳州|桂林|梧州|北海|防城港|钦州|贵港|"
    "玉林|百色|贺州|河池|来宾|崇左|海口|三亚|三沙|儋州|成都|自贡|攀枝花|泸州|德阳|绵阳|广元|遂宁|内江|乐山|南充|眉山|"
    "宜宾|广安|达州|雅安|巴中|资阳|阿坝|甘孜|凉山|贵阳|六盘水|遵义|安顺|毕节|铜仁|黔西南|黔东南|黔南|昆明|曲靖|玉溪|"
    "保山|昭通|丽江|普洱|临沧|楚雄|红河|文山|西双版纳|大理|德宏|怒江|迪庆|拉萨|日喀则|昌都|林芝|山南|那曲|阿里|西安|"
    "铜川|宝鸡|咸阳|渭南|延安|汉中|榆林|安康|商洛|兰州|嘉峪关|金昌|白银|天水|武威|张掖|平凉|酒泉|庆阳|定西|陇南|临夏|"
    "甘南|西宁|海东|海北|黄南|海南|果洛|玉树|海西|银川|石嘴山|吴忠|固原|中卫|乌鲁木齐|克拉玛依|吐鲁番|哈密|昌吉|"
    "博尔塔拉|巴音郭楞|阿克苏|克孜勒苏|喀什|和田|伊犁|塔城|阿勒泰|香港|九龙|新界|澳门|氹仔|路环";

std::stop_token WorkerSlot::replace() {
  std::lock_guard lock(mutex_);
  if (current_.stop_possible()) current_.request_stop();
  current_ = std::stop_source();
  return current_.get_token();
}

void WorkerSlot::stop() {
  std::lock_guard lock(mutex_);
  if (current_.stop_possible()) current_.request_stop();
}

namespace {

// More lines up than any output box holds: the top.
constexpr int kScrollToTop = -99999;

ServiceCodeReactions reactionsOf(QueryContext& context) {
  return {context.client.dialogs, context.client.browser, context.restart};
}

MainWindowCall mainWindowCall(QueryContext& context) {
  return {context.client.ui, context.client.apiTransport, context.client.records.session, context.pauses,
          context.requestBuilder};
}

bool looksLikeAddress(std::string_view text) {
  RegexMatcher matcher;
  return matcher.execute(kPlaceNamePattern, text) && matcher.matchCount() > 0;
}

}  // namespace

int checkAnswerCode(QueryContext& context, const JsonDocument& answer) {
  ServiceCodeReactions reactions = reactionsOf(context);
  return checkServiceCode(reactions, answer.member("code").toInt(), utf8ToGbk(answer.member("msg").text()));
}

void runAddressQuery(QueryContext& context) {
  ClientContext& client = context.client;
  Ui& ui = client.ui;
  if (!checkServiceChosen(ui, client.dialogs, client.windows)) return;
  JsonDocument answer;
  {
    const std::lock_guard oneAtATime(context.records.detailedQuery);
    ui.setVisible(Window::Main, kScrollToSitesButton, true);
    ui.setVisible(Window::Main, kScrollToPoliciesButton, true);
    ui.setEnabled(Window::Main, kQueryButton, false);
    ui.setStatusText(Window::Main, kMainStatusBar, kProgressPart, "正在查询...");
    ui.setText(Window::Main, kOutputBox, "");

    // Taken as it stands: the placeholder too, when that is what the box shows.
    const std::string address = ui.text(Window::Main, kAddressBox);
    answer.parse(screenFromMainWindow(mainWindowCall(context), {address}));

    UiRichTextBox box(ui, Window::Main, kOutputBox);
    RichWriter writer{box, context.pauses};
    const std::string keywords = renderSummaryBlock(writer, answer, 0, address, SummaryLayout::Detailed);
    const SectionLines lines = renderDetailedSections(writer, answer, 0, keywords);
    context.records.siteSectionLine = lines.site;
    context.records.policySectionLine = lines.policy;

    ui.clearSelection(Window::Main, kOutputBox);
    ui.setEnabled(Window::Main, kQueryButton, true);
    ui.setStatusText(Window::Main, kMainStatusBar, kProgressPart, "");
  }
  // After the box is released: a message waiting for the operator holds up no other query.
  checkAnswerCode(context, answer);
}

void runQuickQuery(QueryContext& context, std::stop_token stop) {
  ClientContext& client = context.client;
  Ui& ui = client.ui;
  if (!ui.checked(Window::Main, kQuickQueryCheck)) return;
  const std::string copied = context.clipboard.text();
  if (copied == *context.records.lastClipboardText.load() || containsText(copied, "【查询地址】")) return;
  if (!looksLikeAddress(copied)) return;
  if (!checkServiceChosen(ui, client.dialogs, client.windows, true)) return;
  if (stop.stop_requested()) return;

  // Our mark: the next ticks see it and wait for the operator to copy something else. The
  // space goes onto the operator's own text, so nothing GBK lacks is lost from the clipboard.
  // A mark that could not be written is noted, and the copy as it stands is remembered
  // instead: the next tick would otherwise take it for a new one and query it again.
  const std::string marked = copied + " ";
  if (context.clipboard.appendText(copied, " ")) {
    context.records.lastClipboardText.store(marked);
  } else {
    noteFailure("quick query", "the clipboard kept the copy without its mark");
    context.records.lastClipboardText.store(copied);
  }

  if (stop.stop_requested()) return;
  ui.setText(Window::QuickTip, kQuickTipBox, "");
  JsonDocument answer;
  answer.parse(screenFromMainWindow(mainWindowCall(context), {copied}, stop));
  if (stop.stop_requested()) return;

  const std::string serviceLine = chosenProjectAndService(ui);
  UiRichTextBox box(ui, Window::QuickTip, kQuickTipBox);
  RichWriter writer{box, context.pauses};
  renderSummaryBlock(writer, answer, 0, copied, SummaryLayout::Quick, serviceLine);

  if (stop.stop_requested()) return;
  ui.clearSelection(Window::QuickTip, kQuickTipBox);
  ui.setText(Window::QuickTip, kCopyButton, "复制");
  ui.show(Window::QuickTip);
  restartQuickTipCountdown(context);
  if (stop.stop_requested()) return;
  checkAnswerCode(context, answer);
}

void quickTipCountdown(QueryContext& context, std::stop_token stop) {
  Ui& ui = context.client.ui;
  if (stop.stop_requested()) return;
  ui.setStatusText(Window::QuickTip, kQuickTipStatusBar, kProgressPart, "");
  for (int second = 1; second <= 5; ++second) {
    if (!context.pauses.pause(milliseconds(1000), stop)) return;
    ui.setStatusText(Window::QuickTip, kQuickTipStatusBar, kProgressPart, std::to_string(5 - second) + "秒后关闭");
  }
  if (stop.stop_requested()) return;
  ui.hide(Window::QuickTip);
  ui.setStatusText(Window::QuickTip, kQuickTipStatusBar, kProgressPart, "");
}

void restartQuickTipCountdown(QueryContext& context) {
  const std::stop_token stop = context.records.countdown.replace();
  context.client.workers.start([&context, stop] { quickTipCountdown(context, stop); });
}

void startClipboardWatch(QueryContext& context) {
  const std::stop_token stop = context.records.clipboardWatch.replace();
  // Counted before the worker starts, so a worker that ends finds every later one counted.
  context.records.watchWorkers.fetch_add(1);
  context.client.workers.start([&context, stop] {
    Ui& ui = context.client.ui;
    if (!stop.stop_requested()) {
      // No tick while this one runs: the watch never runs twice at once.
      ui.setTimerInterval(Window::QuickTip, kWatchTimer, 0);
      runQuickQuery(context, stop);
    }
    // The ticks come back when this is still the current worker, and also when it is the
    // last of its kind to end: a superseded worker may have paused the timer after the
    // current one had already set it going again, and nothing else would.
    const bool last = context.records.watchWorkers.fetch_sub(1) == 1;
    if (!stop.stop_requested() || last) ui.setTimerInterval(Window::QuickTip, kWatchTimer, kWatchIntervalMs);
  });
}

bool registerAddressQueryEvents(QueryContext& context) {
  ClientContext& client = context.client;
  Ui& ui = client.ui;
  EventHub& events = ui.events();
  const auto startQuery = [&context] { context.client.workers.start([&context] { runAddressQuery(context); }); };
  bool ok = true;
  ok &= events.on(Window::Main, kAddressBox, Event::GotFocus, [&ui](EventArgs&) {
    if (ui.text(Window::Main, kAddressBox) == kAddressPlaceholder) ui.setText(Window::Main, kAddressBox, "");
  });
  ok &= events.on(Window::Main, kAddressBox, Event::LostFocus, [&ui](EventArgs&) {
    if (ui.text(Window::Main, kAddressBox).empty()) ui.setText(Window::Main, kAddressBox, kAddressPlaceholder);
  });
  ok &= events.on(Window::Main, kAddressBox, Event::KeyDown, [startQuery](EventArgs& args) {
    if (args.key == kEnterKey) startQuery();
  });
  ok &= events.on(Window::Main, kQueryButton, Event::Clicked, [startQuery](EventArgs&) { startQuery(); });
  // Back to the top, then down to the section. A section line is the box's line count just
  // before the section was written, which counts the line the section's header starts on:
  // one line less puts the sites' header at the top; the policies show from their first
  // line under the header.
  ok &= events.on(Window::Main, kScrollToSitesButton, Event::Clicked, [&context, &ui](EventArgs&) {
    ui.scrollLines(Window::Main, kOutputBox, kScrollToTop);
    ui.scrollLines(Window::Main, kOutputBox, context.records.siteSectionLine - 1);
  });
  ok &= events.on(Window::Main, kScrollToPoliciesButton, Event::Clicked, [&context, &ui](EventArgs&) {
    ui.scrollLines(Window::Main, kOutputBox, kScrollToTop);
    ui.scrollLines(Window::Main, kOutputBox, context.records.policySectionLine);
  });

  ok &= events.on(Window::QuickTip, kWatchTimer, Event::Tick, [&context](EventArgs&) { startClipboardWatch(context); });
  ok &= events.on(Window::QuickTip, kHoverTimer, Event::Tick, [&context, &ui](EventArgs&) {
    if (ui.underCursor(Window::QuickTip)) restartQuickTipCountdown(context);
  });
  ok &= events.on(Window::QuickTip, kCloseButton, Event::Clicked, [&ui](EventArgs&) { ui.hide(Window::QuickTip); });
  ok &= events.on(Window::QuickTip, kCopyButton, Event::Clicked, [&context, &ui](EventArgs&) {
    const std::string trailer = "\r\n使用“Parcelvane（" + std::string(kWebDomain) + "）”查地址更方便哦~";
    context.clipboard.setText(ui.text(Window::QuickTip, kQuickTipBox) + trailer);
    ui.setText(Window::QuickTip, kCopyButton, "已复制");
  });
  ok &= events.on(Window::QuickTip, kDetailButton, Event::Clicked, [&context, &ui, startQuery](EventArgs&) {
    ui.setText(Window::Main, kAddressBox, *context.records.lastClipboardText.load());
    ui.activate(Window::Main);
    startQuery();
  });
  ok &= events.on(Window::QuickTip, kQuickQueryCheck, Event::Clicked, [&ui](EventArgs&) {
    ui.setChecked(Window::Main, kQuickQueryCheck, ui.checked(Window::QuickTip, kQuickQueryCheck));
  });
  return ok;
}

}  // namespace pv
