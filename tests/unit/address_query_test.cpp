// The single-address queries and the windows' events around them, on the in-memory Ui
// with a scripted service: the detailed query, the clipboard watch and quick query, the
// countdown and its hover restart, copy, detail query, close, placeholder and scrolling.
#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "core/client/address_query.h"
#include "core/regex/regex_matcher.h"
#include "core/screening/render.h"
#include "core/client/service_boxes.h"
#include "tests/unit/screening_fakes.h"

namespace pv::testing {
namespace {

constexpr std::string_view kPickPath = "/api/v2/effectiveServiceBusinesses/101/pick";
const std::string kVillage = "浙江省杭州市淳安县下姜村3组";

std::string villageVerdict() {
  return "[{\"input\":\"" + gbkToUtf8(kVillage) + "\",\"analysis\":{\"address\":\"" + gbkToUtf8(kVillage) +
         "\"},\"isVillage\":true,\"sites\":[{\"name\":\"" + gbkToUtf8("淳安") +
         "\",\"acceptor\":{\"distance\":16000}}],\"policies\":[{\"shortTypeName\":\"" + gbkToUtf8("超区") +
         "\",\"object\":\"" + gbkToUtf8("淳安县") + "\",\"color\":\"#0000ff\"}]}]";
}

struct QueryRig {
  explicit QueryRig(RecordingPauses::Hook hook = {}) : pauses(std::move(hook)) {
    base.records.session.update([](ApiSession& s) { s.authHeader = "Authentication: Bearer tok"; });
    EXPECT_TRUE(registerAddressQueryEvents(context));
    EXPECT_TRUE(ui().load(Window::Main, true));
    EXPECT_TRUE(ui().load(Window::QuickTip, false));
    ui().addItem(Window::Main, kProjectBox, "项目一", 1);
    ui().addItem(Window::Main, kServiceBox, "服务一", 101);
    ui().setSelectedIndex(Window::Main, kProjectBox, 0);
    ui().setSelectedIndex(Window::Main, kServiceBox, 0);
    base.api.answer("POST", kPickPath, answerWith(villageVerdict(), 1));
  }

  MemoryUi& ui() { return base.ui; }
  std::string output() { return ui().text(Window::Main, kOutputBox); }
  std::string quickTip() { return ui().text(Window::QuickTip, kQuickTipBox); }
  std::string countdownText() { return ui().statusText(Window::QuickTip, kQuickTipStatusBar, kProgressPart); }

  ClientRig base;
  RecordingPauses pauses;
  MemoryClipboard clipboard;
  FakeRestartHost restart;
  QueryContext context{base.client, pauses, clipboard, restart, fixedRequest};
};

TEST(AddressQuery, EnterScreensTheTypedAddressIntoTheOutputBox) {
  QueryRig rig;
  rig.ui().setText(Window::Main, kAddressBox, kVillage);
  ASSERT_TRUE(rig.ui().pressKey(Window::Main, kAddressBox, kEnterKey));
  ASSERT_EQ(rig.base.workers.pending(), 1u);
  rig.base.workers.runAll();

  const std::vector<TextRun> runs = rig.ui().richRuns(Window::Main, kOutputBox);
  ASSERT_GE(runs.size(), 6u);
  EXPECT_EQ(runs[0], (TextRun{"【查询地址】：", kColourBlack, false}));
  // The village characters bold orange, the rest black.
  EXPECT_EQ(runs[1], (TextRun{"浙江省杭州市淳安县下姜", kColourBlack, false}));
  EXPECT_EQ(runs[2], (TextRun{"村", kColourOrange, true}));
  EXPECT_EQ(runs[4], (TextRun{"组", kColourOrange, true}));
  EXPECT_NE(rig.output().find("淳安县[超区]；"), std::string::npos);  // the restriction, its own colour
  EXPECT_NE(rig.output().find("偏远村组"), std::string::npos);       // the village rule, limit 15000
  EXPECT_NE(rig.output().find("匹配网点-"), std::string::npos);
  EXPECT_NE(rig.output().find("匹配策略-"), std::string::npos);

  EXPECT_TRUE(rig.ui().visible(Window::Main, kScrollToSitesButton));
  EXPECT_TRUE(rig.ui().visible(Window::Main, kScrollToPoliciesButton));
  EXPECT_TRUE(rig.ui().enabled(Window::Main, kQueryButton));
  EXPECT_EQ(rig.ui().statusText(Window::Main, kMainStatusBar, kProgressPart), "");
  EXPECT_GT(rig.context.records.policySectionLine, rig.context.records.siteSectionLine);

  // The scroll buttons go to their sections' lines.
  ASSERT_TRUE(rig.ui().click(Window::Main, kScrollToSitesButton));
  EXPECT_EQ(rig.ui().firstVisibleLine(Window::Main, kOutputBox), rig.context.records.siteSectionLine - 1);
  ASSERT_TRUE(rig.ui().click(Window::Main, kScrollToPoliciesButton));
  EXPECT_EQ(rig.ui().firstVisibleLine(Window::Main, kOutputBox), rig.context.records.policySectionLine);

  // The request carried the box's text and the main window's settings.
  const auto sent = rig.base.api.sentTo("POST", kPickPath);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].body, fixedRequest(101, {kVillage}).body);
}

TEST(AddressQuery, OtherKeysStartNothingAndThePlaceholderIsSentAsItIs) {
  QueryRig rig;
  ASSERT_TRUE(rig.ui().pressKey(Window::Main, kAddressBox, 'A'));
  EXPECT_EQ(rig.base.workers.pending(), 0u);
  ASSERT_TRUE(rig.ui().click(Window::Main, kQueryButton));
  rig.base.workers.runAll();
  const auto sent = rig.base.api.sentTo("POST", kPickPath);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].body, fixedRequest(101, {std::string(kAddressPlaceholder)}).body);
}

TEST(AddressQuery, WithoutAServiceTheOperatorIsToldAndTheButtonStays) {
  QueryRig rig;
  rig.ui().setSelectedIndex(Window::Main, kServiceBox, -1);
  ASSERT_TRUE(rig.ui().click(Window::Main, kQueryButton));
  rig.base.workers.runAll();
  EXPECT_EQ(rig.base.dialogs.count(), 1u);
  EXPECT_TRUE(rig.ui().enabled(Window::Main, kQueryButton));
  EXPECT_FALSE(rig.ui().visible(Window::Main, kScrollToSitesButton));
  EXPECT_TRUE(rig.base.api.sent().empty());
}

TEST(AddressQuery, AnEndedLoginRestartsAfterTheResultIsShown) {
  QueryRig rig;
  rig.base.api.answer("POST", kPickPath, envelope(20002, "token expired"));
  ASSERT_TRUE(rig.ui().click(Window::Main, kQueryButton));
  rig.base.workers.runAll();
  EXPECT_NE(rig.output().find("[token expired]；"), std::string::npos) << rig.output();
  ASSERT_EQ(rig.base.dialogs.count(), 1u);
  EXPECT_EQ(rig.base.dialogs.shown()[0].text, "token expired\r\n请重新登录");
  EXPECT_EQ(rig.restart.ended, 0);
}

TEST(AddressQuery, TwoQueriesWriteOneAfterTheOther) {
  // The first query's renderer pauses after each append; a second one starts meanwhile on
  // another thread and is given time to write: it must wait until the first is done.
  std::atomic<bool> started{false};
  std::thread second;
  QueryRig* self = nullptr;
  QueryRig rig([&](size_t index) {
    if (index == 3 && !started.exchange(true)) {
      second = std::thread([&] { runAddressQuery(self->context); });
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  self = &rig;
  rig.ui().setText(Window::Main, kAddressBox, kVillage);
  runAddressQuery(rig.context);
  second.join();
  // The second query emptied the box after the first had finished and wrote the same
  // verdict again, whole: the box holds one verdict, as a single query leaves it.
  QueryRig alone;
  alone.ui().setText(Window::Main, kAddressBox, kVillage);
  runAddressQuery(alone.context);
  ASSERT_FALSE(alone.output().empty());
  EXPECT_EQ(rig.ui().richRuns(Window::Main, kOutputBox), alone.ui().richRuns(Window::Main, kOutputBox));
  EXPECT_EQ(rig.base.api.sentTo("POST", kPickPath).size(), 2u);
}

struct QuickRig : QueryRig {
  // One tick of the watch timer, its worker run.
  void tick() {
    ASSERT_TRUE(ui().tick(Window::QuickTip, kWatchTimer));
    base.workers.runNext();
  }
};

TEST(QuickQuery, ACopiedAddressIsScreenedShownAndCountedDown) {
  QuickRig rig;
  ASSERT_TRUE(rig.clipboard.setText(kVillage));
  rig.tick();

  EXPECT_TRUE(rig.ui().isShown(Window::QuickTip));
  EXPECT_EQ(rig.clipboard.text(), kVillage + " ");
  EXPECT_EQ(*rig.context.records.lastClipboardText.load(), kVillage + " ");
  EXPECT_EQ(rig.quickTip().substr(0, rig.quickTip().find("\r\n")), "【筛单项目】：项目一 - 服务一");
  EXPECT_NE(rig.quickTip().find("【查询地址】：" + kVillage), std::string::npos);
  EXPECT_EQ(rig.ui().text(Window::QuickTip, kCopyButton), "复制");
  EXPECT_EQ(rig.ui().timerInterval(Window::QuickTip, kWatchTimer), 500);
  // The address sent is the copied text, without the space.
  EXPECT_EQ(rig.base.api.sentTo("POST", kPickPath)[0].body, fixedRequest(101, {kVillage}).body);

  // The countdown: 4 to 0, one a second, then hidden.
  ASSERT_EQ(rig.base.workers.pending(), 1u);
  rig.pauses.clear();
  std::vector<std::string> shown;
  RecordingPauses watching([&](size_t) { shown.push_back(rig.countdownText()); });
  QueryContext view{rig.base.client, watching, rig.clipboard, rig.restart};
  quickTipCountdown(view, {});
  EXPECT_EQ(shown, (std::vector<std::string>{"", "4秒后关闭", "3秒后关闭", "2秒后关闭", "1秒后关闭"}));
  EXPECT_EQ(watching.taken(), std::vector<milliseconds>(5, milliseconds(1000)));
  EXPECT_FALSE(rig.ui().isShown(Window::QuickTip));
  EXPECT_EQ(rig.countdownText(), "");

  // The next ticks see the query's own copy and do nothing.
  rig.base.workers.runAll();
  rig.tick();
  EXPECT_EQ(rig.base.api.sentTo("POST", kPickPath).size(), 1u);
}

TEST(QuickQuery, WhatIsNoAddressOrNotWantedStartsNothing) {
  struct Case {
    const char* name;
    std::string copied;
    bool ticked = true;
    bool serviceChosen = true;
  };
  const Case cases[] = {
      {"an order number", "2025120812345678"},
      {"a rendered result", "【查询地址】：浙江省杭州市"},
      {"nothing", ""},
      {"quick query unticked", kVillage, false},
      {"no service chosen", kVillage, true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    QuickRig rig;
    ASSERT_TRUE(rig.clipboard.setText(c.copied));
    rig.ui().setChecked(Window::Main, kQuickQueryCheck, c.ticked);
    if (!c.serviceChosen) rig.ui().setSelectedIndex(Window::Main, kServiceBox, -1);
    rig.tick();
    EXPECT_TRUE(rig.base.api.sent().empty());
    EXPECT_EQ(rig.clipboard.text(), c.copied);
    EXPECT_FALSE(rig.ui().isShown(Window::QuickTip));
    EXPECT_EQ(rig.base.dialogs.count(), 0u);
    EXPECT_EQ(rig.ui().timerInterval(Window::QuickTip, kWatchTimer), 500);
  }
}

TEST(QuickQuery, ASupersededWatchWritesNothingMore) {
  QuickRig rig;
  ASSERT_TRUE(rig.clipboard.setText(kVillage));
  ASSERT_TRUE(rig.ui().tick(Window::QuickTip, kWatchTimer));
  const std::stop_token first = rig.context.records.clipboardWatch.replace();  // as the next tick would
  (void)first;
  rig.base.workers.runNext();  // the first worker finds itself stopped
  EXPECT_TRUE(rig.base.api.sent().empty());
  EXPECT_EQ(rig.quickTip(), "");
  EXPECT_FALSE(rig.ui().isShown(Window::QuickTip));

  // Stopped while its call was on the way: it shows nothing of the answer.
  QuickRig late;
  ASSERT_TRUE(late.clipboard.setText(kVillage));
  std::stop_source stop;
  late.base.api.answer("POST", kPickPath, answerWith(villageVerdict(), 1));
  RecordingPauses pauses;
  QueryContext context{late.base.client, pauses, late.clipboard, late.restart,
                       [&](std::int32_t id, const std::vector<std::string>& addresses) {
                         stop.request_stop();  // the next tick comes while the request is built
                         return fixedRequest(id, addresses);
                       }};
  runQuickQuery(context, stop.get_token());
  EXPECT_EQ(late.quickTip(), "");
  EXPECT_FALSE(late.ui().isShown(Window::QuickTip));
  EXPECT_EQ(late.base.workers.pending(), 0u);  // no countdown either
}

TEST(QuickQuery, TheTicksComeBackWhicheverWatchWorkerEndsLast) {
  // The second tick stops the first worker; the current one ends and sets the ticks going.
  // Then the superseded one, which had passed its check before it was stopped, pauses the
  // timer late: being the last to end, it sets the ticks going again.
  QuickRig rig;
  ASSERT_TRUE(rig.ui().tick(Window::QuickTip, kWatchTimer));
  ASSERT_TRUE(rig.ui().tick(Window::QuickTip, kWatchTimer));
  ASSERT_EQ(rig.base.workers.pending(), 2u);
  ASSERT_TRUE(rig.base.workers.runLast());
  EXPECT_EQ(rig.ui().timerInterval(Window::QuickTip, kWatchTimer), 500);
  ASSERT_TRUE(rig.ui().setTimerInterval(Window::QuickTip, kWatchTimer, 0));  // its late pause
  rig.base.workers.runNext();
  EXPECT_EQ(rig.ui().timerInterval(Window::QuickTip, kWatchTimer), 500);
}

TEST(QuickQuery, TheClipboardKeepsWhatWasCopiedPlusOneSpace) {
  // A no-break space (what web pages put between words) and an emoji: GBK has neither.
  const std::u16string copied = u"浙江省杭州市西湖区文三路1号\u00A03栋\U0001F600";
  QuickRig rig;
  rig.clipboard.copyUnicode(copied);
  rig.tick();
  EXPECT_EQ(rig.clipboard.unicodeText(), copied + u" ");
  EXPECT_TRUE(rig.ui().isShown(Window::QuickTip));
  // The service is sent the GBK form, "?" for what GBK lacks.
  EXPECT_EQ(rig.base.api.sentTo("POST", kPickPath)[0].body,
            fixedRequest(101, {"浙江省杭州市西湖区文三路1号?3栋?"}).body);
  rig.base.workers.runAll();
  rig.tick();  // its own mark: nothing new
  EXPECT_EQ(rig.base.api.sentTo("POST", kPickPath).size(), 1u);

  // A mark that cannot be written: the copy is screened once, not again at the next tick.
  QuickRig busy;
  ASSERT_TRUE(busy.clipboard.setText(kVillage));
  busy.clipboard.refuseWrites(true);
  busy.tick();
  EXPECT_EQ(busy.clipboard.text(), kVillage);
  EXPECT_TRUE(busy.ui().isShown(Window::QuickTip));
  busy.base.workers.runAll();
  busy.tick();
  EXPECT_EQ(busy.base.api.sentTo("POST", kPickPath).size(), 1u);
  EXPECT_EQ(busy.ui().timerInterval(Window::QuickTip, kWatchTimer), 500);
}

TEST(QuickQuery, ACountdownReplacedByHoverChangesNothingMore) {
  QuickRig rig;
  rig.ui().show(Window::QuickTip);
  rig.ui().moveCursorTo(Window::QuickTip);
  ASSERT_TRUE(rig.ui().tick(Window::QuickTip, kHoverTimer));
  ASSERT_EQ(rig.base.workers.pending(), 1u);
  ASSERT_TRUE(rig.ui().tick(Window::QuickTip, kHoverTimer));  // the mouse still rests there
  ASSERT_EQ(rig.base.workers.pending(), 2u);
  rig.base.workers.runNext();  // the first countdown was replaced: it ends at once
  EXPECT_TRUE(rig.ui().isShown(Window::QuickTip));
  EXPECT_TRUE(rig.pauses.taken().empty());

  rig.ui().moveCursorTo(std::nullopt);
  ASSERT_TRUE(rig.ui().tick(Window::QuickTip, kHoverTimer));
  EXPECT_EQ(rig.base.workers.pending(), 1u);  // away from the window: nothing new
  rig.base.workers.runNext();
  EXPECT_FALSE(rig.ui().isShown(Window::QuickTip));
}

TEST(QuickQuery, CopyDetailCloseAndTheMirroredCheckBox) {
  QuickRig rig;
  ASSERT_TRUE(rig.clipboard.setText(kVillage));
  rig.tick();
  const std::string shown = rig.quickTip();

  for (int press = 0; press < 2; ++press) {
    ASSERT_TRUE(rig.ui().click(Window::QuickTip, kCopyButton));
    EXPECT_EQ(rig.clipboard.text(), shown + "\r\n使用“Parcelvane（parcelvane.com）”查地址更方便哦~");
    EXPECT_EQ(rig.ui().text(Window::QuickTip, kCopyButton), "已复制");
  }

  rig.base.workers.runAll();  // the countdown ends; show the window again for its buttons
  rig.ui().show(Window::QuickTip);
  ASSERT_TRUE(rig.ui().click(Window::QuickTip, kDetailButton));
  EXPECT_EQ(rig.ui().text(Window::Main, kAddressBox), kVillage + " ");
  EXPECT_EQ(rig.ui().activeWindow(), Window::Main);
  rig.base.workers.runAll();
  const auto sent = rig.base.api.sentTo("POST", kPickPath);
  ASSERT_EQ(sent.size(), 2u);
  EXPECT_EQ(sent[1].body, fixedRequest(101, {kVillage + " "}).body);  // trailing space kept
  EXPECT_NE(rig.output().find("匹配策略-"), std::string::npos);

  ASSERT_TRUE(rig.ui().click(Window::QuickTip, kCloseButton));
  EXPECT_FALSE(rig.ui().isShown(Window::QuickTip));

  rig.ui().show(Window::QuickTip);
  ASSERT_TRUE(rig.ui().click(Window::QuickTip, kQuickQueryCheck));
  EXPECT_FALSE(rig.ui().checked(Window::QuickTip, kQuickQueryCheck));
  EXPECT_FALSE(rig.ui().checked(Window::Main, kQuickQueryCheck));
}

TEST(MainWindow, TheAddressBoxPlaceholder) {
  QueryRig rig;
  ASSERT_TRUE(rig.ui().focus(Window::Main, kAddressBox));
  EXPECT_EQ(rig.ui().text(Window::Main, kAddressBox), "");
  ASSERT_TRUE(rig.ui().focus(Window::Main, kQueryButton));
  EXPECT_EQ(rig.ui().text(Window::Main, kAddressBox), kAddressPlaceholder);

  ASSERT_TRUE(rig.ui().focus(Window::Main, kAddressBox));
  ASSERT_TRUE(rig.ui().typeText(Window::Main, kAddressBox, "上海"));
  ASSERT_TRUE(rig.ui().focus(Window::Main, kQueryButton));
  EXPECT_EQ(rig.ui().text(Window::Main, kAddressBox), "上海");
  ASSERT_TRUE(rig.ui().focus(Window::Main, kAddressBox));
  EXPECT_EQ(rig.ui().text(Window::Main, kAddressBox), "上海");
}

TEST(MainWindow, PlaceNamePatternFindsAddresses) {
  const std::pair<std::string_view, bool> cases[] = {
      {"收货人 张三 内蒙古呼和浩特市", true}, {"九龙塘", true}, {"氹仔", true}, {"12345678901", false},
      {"hello world", false},               {"", false},
  };
  for (const auto& [text, want] : cases) {
    RegexMatcher matcher;
    ASSERT_TRUE(matcher.execute(kPlaceNamePattern, text));
    EXPECT_EQ(matcher.matchCount() > 0, want) << text;
  }
}

}  // namespace
}  // namespace pv::testing
