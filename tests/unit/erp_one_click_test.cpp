// The one-click run and its summary against the in-memory desktop and windows.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <thread>

#include "core/client/one_click.h"
#include "core/text/text.h"
#include "tests/unit/erp_fakes.h"

namespace pv {
namespace {

using namespace erp_test;

const std::vector<std::string> kHeaders = {"订单编号", "地区", "地址"};

// The client whose row holds the profile.
std::string clientOf(const ErpImportProfile& profile) {
  for (const ErpClient& client : erpClients()) {
    if (std::get_if<ErpImportProfile>(&client.flow) == &profile) return std::string(client.displayName);
  }
  return "(no client)";
}

struct OneClickRig : ErpRig {
  RecordingWindowExtras windows{ui};
  ManualWorkers workers;
  Published<OrderNumbers> matching;
  MemoryClipboard clipboard;
  SummaryContext summary{ui, dialogs, output, workers, matching, clipboard};
  std::vector<std::string> importsRun;
  int importResult = 1;
  OneClickContext context{ui, dialogs, windows, desktop, screening, output, summary, [](auto) {},
                          [this](const ErpImportProfile& profile, ScreeningTotals& totals, std::stop_token) {
                            importsRun.push_back(clientOf(profile));
                            totals.total += 2;
                            totals.ticked += 1;
                            totals.orderNumbers.push_back(std::string("D").append(std::to_string(importsRun.size())));
                            return importResult;
                          },
                          [this](ScreeningTotals& totals, std::stop_token) {
                            importsRun.emplace_back("free");
                            totals.total = 3;
                            totals.orderNumbers = {"F1", "F2"};
                            return 1;
                          }};
  OneClickControl control{context, workers};

  OneClickRig() {
    EXPECT_TRUE(registerResultWindowEvents(summary));
    ui.load(Window::Result, false);
    EXPECT_TRUE(registerOneClickEvents(ui, control));
    chooseService();
  }
  void chooseService() {
    ui.addItem(Window::Main, kProjectBox, "普通筛单", 1);
    ui.setSelectedIndex(Window::Main, kProjectBox, 0);
    ui.addItem(Window::Main, kServiceBox, "中通-杭州", 101);
    ui.setSelectedIndex(Window::Main, kServiceBox, 0);
  }
  std::string caption() { return ui.text(Window::Main, kOneClickButton); }
  // A click, and the run it starts taken to its end on this thread.
  void clickAndRun() {
    ASSERT_TRUE(ui.click(Window::Main, kOneClickButton));
    workers.runAll();
  }
};

TEST(ErpDetection, TheTableOfClients) {
  const auto clients = erpClients();
  ASSERT_EQ(clients.size(), 11u);
  EXPECT_EQ(clients[0].window.className, "TForm_main");
  EXPECT_TRUE(std::holds_alternative<ReadOrderList>(clients[0].flow));
  for (size_t i = 1; i < clients.size(); ++i) {
    const auto* profile = std::get_if<ErpImportProfile>(&clients[i].flow);
    ASSERT_NE(profile, nullptr) << clients[i].displayName;
    EXPECT_FALSE(profile->address.empty() || profile->orderNo.empty() || profile->instruction.empty() ||
                 profile->completion.empty())
        << clients[i].displayName;
  }
}

// Which windows start which flows: every rule is tested whether or not one matched.
TEST(OneClick, RecognisesClientsByTheTable) {
  struct Case {
    const char* name;
    std::vector<std::pair<std::string, std::string>> windows;  // class, title
    std::vector<std::string> matched;
  };
  const Case cases[] = {
      {"cloud client of any title", {{"TForm_main", "随便"}}, {"网店管家云端版"}},
      {"online client needs its class", {{"TfrmMain", "网店管家（在线版）v3"}, {"Other", "网店管家（在线版）"}},
       {"网店管家在线版"}},
      {"class by itself", {{"CoolWindow", ""}}, {"旺店通"}},
      {"精打 without its dash", {{"X", "精打云"}}, {}},
      {"精打 with it", {{"X", "精打 - 店铺"}}, {"精打"}},
      {"淘打 needs the blank", {{"X", "淘打云"}, {"Y", "淘打 2.0"}}, {"淘打"}},
      {"letter case ignored", {{"X", "善管erp 5.1"}}, {"善管ERP"}},
      {"two at once, in table order", {{"CoolWindow", "a"}, {"TForm_main", "b"}}, {"网店管家云端版", "旺店通"}},
  };
  for (const Case& c : cases) {
    OneClickRig rig;
    rig.dialogs.script(DialogAnswer::Cancel);
    for (const auto& [cls, title] : c.windows) rig.desktop.addWindow(0, cls, title);
    rig.clickAndRun();
    std::vector<std::string> matched;
    for (const std::string& line : splitText(rig.output.text(), "\r\n")) {
      if (startsWith(line, "【匹配软件】：")) matched.push_back(line.substr(std::string("【匹配软件】：").size()));
    }
    EXPECT_EQ(matched, c.matched) << c.name;
    EXPECT_EQ(rig.caption(), kIdleCaption) << c.name;
  }
}

TEST(OneClick, ScreensTheCloudClientAndSummarises) {
  OneClickRig rig;
  rig.setOptions(true, false, false, false, false);
  rig.ui.setChecked(Window::Main, kVillageCheck, true);
  rig.ui.setChecked(Window::Main, kRemoteCheck, false);
  rig.ui.setText(Window::Main, kVillageDistanceBox, "15000");
  rig.ui.setText(Window::Main, kOutputBox, "上一次的结果");
  rig.ui.show(Window::Result);
  const WindowHandle list = rig.addClient(kHeaders, {{"1", "浙江", "甲路"}, {"2", "浙江", "乙路"}});
  rig.screening.verdicts["浙江甲路"] = verdict({policy(1)});

  ASSERT_TRUE(rig.ui.click(Window::Main, kOneClickButton));
  EXPECT_EQ(rig.caption(), kRunningCaption);
  rig.workers.runAll();

  EXPECT_EQ(rig.caption(), kIdleCaption);
  EXPECT_EQ(rig.desktop.checks(list), "01");
  EXPECT_EQ(rig.ui.text(Window::Main, kOutputBox), "") << "cleared at the start";
  EXPECT_FALSE(rig.ui.isShown(Window::Result)) << "no order numbers: the result window stays hidden";
  const std::string text = rig.output.text();
  EXPECT_TRUE(startsWith(text, "【筛单项目】：普通筛单 - 中通-杭州\r\n【匹配软件】：网店管家云端版\r\n【选中界面】："));
  EXPECT_TRUE(endsWith(text, "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：2；勾选数量：1。\r\n"
                             "【限制类型】：盲区停发；屏蔽村组15000米\r\n"))
      << text;
  ASSERT_EQ(rig.dialogs.count(), 1u);
  EXPECT_EQ(rig.dialogs.shown()[0].text,
            "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：2；勾选数量：1\r\n【限制类型】：盲区停发；屏蔽村组15000米");
  EXPECT_EQ(rig.clipboard.writes(), 1);
  EXPECT_EQ(rig.clipboard.text(), "");
}

TEST(OneClick, NothingRecognisedOffersFreeScreening) {
  for (const DialogAnswer answer : {DialogAnswer::Ok, DialogAnswer::Cancel}) {
    OneClickRig rig;
    rig.dialogs.script(answer);
    rig.clickAndRun();
    ASSERT_GE(rig.dialogs.count(), 1u);
    const DialogMessage offer = rig.dialogs.shown()[0];
    EXPECT_EQ(offer.text, "未匹配到ERP客户端，是否导入excel表格进行筛单？");
    EXPECT_EQ(offer.buttons, DialogButtons::OkCancel);
    EXPECT_EQ(rig.caption(), kIdleCaption);
    if (answer == DialogAnswer::Ok) {
      EXPECT_TRUE(containsText(rig.output.text(), "【自由筛单】：数据表格\r\n"));
      EXPECT_EQ(rig.importsRun, (std::vector<std::string>{"free"}));
      EXPECT_EQ(rig.dialogs.count(), 2u) << "the summary";
      EXPECT_EQ(rig.clipboard.text(), "F1\r\nF2");
    } else {
      EXPECT_TRUE(rig.importsRun.empty());
      EXPECT_EQ(rig.dialogs.count(), 1u) << "no summary after Cancel";
      EXPECT_EQ(rig.clipboard.writes(), 0);
    }
  }
}

TEST(OneClick, AnEmptyOrderPageAlsoOffersFreeScreening) {
  OneClickRig rig;
  rig.addClient(kHeaders, {});
  rig.clickAndRun();
  ASSERT_EQ(rig.dialogs.count(), 1u);
  EXPECT_EQ(rig.dialogs.shown()[0].text, "未匹配到ERP客户端，是否导入excel表格进行筛单？");
}

TEST(OneClick, WithoutAServiceOnlyTheCaptionComesBack) {
  OneClickRig rig;
  rig.ui.setSelectedIndex(Window::Main, kServiceBox, -1);
  rig.addClient(kHeaders, {{"1", "浙江", "甲路"}});
  rig.clickAndRun();
  EXPECT_EQ(rig.caption(), kIdleCaption);
  ASSERT_EQ(rig.dialogs.count(), 1u);
  EXPECT_EQ(rig.dialogs.shown()[0].text, "请选择筛单服务");
  EXPECT_TRUE(rig.screening.calls().empty());
  EXPECT_EQ(rig.output.text(), "");
}

// Two clients: counters shared, the last flow's result decides the summary.
TEST(OneClick, TheLastFlowDecidesTheSummary) {
  for (const int lastResult : {1, 0}) {
    OneClickRig rig;
    rig.importResult = lastResult;
    rig.addClient(kHeaders, {{"1", "浙江", "甲路"}});
    rig.desktop.addWindow(0, "CoolWindow", "旺店通ERP");
    rig.ui.setSelectedIndex(Window::Result, kResultSeparator, 1);
    rig.clickAndRun();
    EXPECT_EQ(rig.importsRun, (std::vector<std::string>{"旺店通"}));
    if (lastResult == 1) {
      ASSERT_EQ(rig.dialogs.count(), 1u);
      EXPECT_TRUE(containsText(rig.dialogs.shown()[0].text, "筛单总数：3；勾选数量：2"));
      EXPECT_EQ(rig.clipboard.text(), "D1");
      EXPECT_TRUE(rig.ui.isShown(Window::Result));
      EXPECT_EQ(rig.ui.activeWindow(), Window::Result);
      EXPECT_EQ(rig.ui.text(Window::Result, kResultText), "D1");
    } else {
      EXPECT_EQ(rig.dialogs.count(), 0u);
      EXPECT_FALSE(rig.ui.isShown(Window::Result));
    }
  }
}

TEST(ScreeningSummary, Texts) {
  struct Case {
    const char* name;
    int total, ticked;
    std::vector<std::string_view> ticks;  // boxes ticked
    std::string lines, box;          // box: empty when none is shown
  };
  const Case cases[] = {
      {"total 0", 0, 0, {kBlindAreaBox}, "【筛单提示】：筛单结束\r\n", ""},
      {"nothing ticked", 5, 0, {}, "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：5；勾选数量：0。\r\n",
       "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：5；勾选数量：0\r\n【限制类型】："},
      {"only the village option", 5, 2, {kVillageCheck},
       "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：5；勾选数量：2。\r\n【限制类型】：屏蔽村组15000米\r\n",
       "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：5；勾选数量：2\r\n【限制类型】：屏蔽村组15000米"},
      {"every option", 1, 1,
       {kBlindAreaBox, kSurchargeBox, kFalseAddressBox, kOtherRestrictionBox, kVillageCheck, kRemoteCheck},
       "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：1；勾选数量：1。\r\n"
       "【限制类型】：盲区停发；超区加收；虚假地址；其他限制；屏蔽村组15000米；屏蔽偏远3000米\r\n",
       "【筛单项目】：普通筛单 - 中通-杭州\r\n【筛单结果】：筛单总数：1；勾选数量：1\r\n"
       "【限制类型】：盲区停发；超区加收；虚假地址；其他限制；屏蔽村组15000米；屏蔽偏远3000米"},
  };
  for (const Case& c : cases) {
    OneClickRig rig;
    for (std::string_view box : {kBlindAreaBox, kSurchargeBox, kFalseAddressBox, kOtherRestrictionBox, kVillageCheck,
                            kRemoteCheck}) {
      rig.ui.setChecked(Window::Main, box, false);
    }
    for (const auto& box : c.ticks) rig.ui.setChecked(Window::Main, box, true);
    rig.ui.setText(Window::Main, kVillageDistanceBox, "15000");
    rig.ui.setText(Window::Main, kRemoteDistanceBox, "3000");
    showScreeningSummary(rig.summary, c.total, c.ticked, {});
    EXPECT_EQ(rig.output.text(), c.lines) << c.name;
    if (c.box.empty()) {
      EXPECT_EQ(rig.dialogs.count(), 0u) << c.name;
      EXPECT_EQ(rig.clipboard.writes(), 0) << c.name << ": clipboard untouched";
    } else {
      ASSERT_EQ(rig.dialogs.count(), 1u) << c.name;
      EXPECT_EQ(rig.dialogs.shown()[0].text, c.box) << c.name;
      EXPECT_EQ(rig.dialogs.shown()[0].title, "筛单提示") << c.name;
      EXPECT_EQ(rig.clipboard.writes(), 1) << c.name;
      EXPECT_EQ(rig.clipboard.text(), "") << c.name;
    }
    EXPECT_FALSE(rig.ui.isShown(Window::Result)) << c.name;
  }
}

TEST(ResultWindow, ListsCopiesAndOnlyHidesOnClose) {
  OneClickRig rig;
  showScreeningSummary(rig.summary, 3, 3, {"A1", "B2", "C3"});
  rig.workers.runAll();
  EXPECT_TRUE(rig.ui.isShown(Window::Result));
  EXPECT_EQ(rig.ui.text(Window::Result, kResultText), "A1\r\nB2\r\nC3");
  EXPECT_EQ(rig.clipboard.text(), "A1\r\nB2\r\nC3");

  ASSERT_TRUE(rig.ui.pickItem(Window::Result, kResultSeparator, 1));
  rig.workers.runAll();
  EXPECT_EQ(rig.ui.text(Window::Result, kResultText), "A1,B2,C3");
  ASSERT_TRUE(rig.ui.pickItem(Window::Result, kResultSeparator, 0));
  rig.workers.runAll();
  EXPECT_EQ(rig.ui.text(Window::Result, kResultText), "A1\r\nB2\r\nC3");

  ASSERT_TRUE(rig.clipboard.setText("别的"));
  ASSERT_TRUE(rig.ui.click(Window::Result, kResultCopy));
  EXPECT_EQ(rig.clipboard.text(), "A1\r\nB2\r\nC3");
  EXPECT_EQ(rig.ui.text(Window::Result, kResultCopy), "已复制");

  EXPECT_FALSE(rig.ui.close(Window::Result)) << "the close is refused";
  EXPECT_TRUE(rig.ui.isLoaded(Window::Result));
  EXPECT_FALSE(rig.ui.isShown(Window::Result));
  EXPECT_EQ(rig.ui.text(Window::Result, kResultCopy), kCopyAllCaption);

  showScreeningSummary(rig.summary, 1, 1, {"Z9"});
  rig.workers.runAll();
  EXPECT_TRUE(rig.ui.isShown(Window::Result));
  EXPECT_EQ(rig.ui.text(Window::Result, kResultCopy), kCopyAllCaption);
  EXPECT_EQ(rig.ui.text(Window::Result, kResultText), "Z9");
}

TEST(ResultWindow, TitleCarriesTheProductAndVersion) {
  OneClickRig rig;
  EXPECT_TRUE(endsWith(rig.ui.title(Window::Result), "筛单结果 Parcelvanev2.0.2")) << rig.ui.title(Window::Result);
}

// Runs each job on a thread of its own that the test joins, so it can see the end.
class JoinedWorkers final : public Workers {
 public:
  ~JoinedWorkers() override { join(); }
  void start(WorkerJob job) noexcept override { threads_.emplace_back(std::move(job)); }
  void join() {
    for (auto& thread : threads_) thread.join();
    threads_.clear();
  }

 private:
  std::vector<std::thread> threads_;
};

// The stop on a real worker thread, while its request waits on the network: the caption
// comes back at once, and when the answer arrives nothing more is ticked or written and no
// summary appears.
TEST(OneClick, ASecondClickStopsTheRunAtOnce) {
  OneClickRig rig;
  JoinedWorkers threads;
  OneClickControl control{rig.context, threads};
  const WindowHandle list = rig.addClient(kHeaders, {{"1", "浙江", "甲路"}, {"2", "浙江", "乙路"}});
  std::mutex mutex;
  std::condition_variable changed;
  bool requestOut = false, answer = false;
  rig.screening.duringCall = [&](size_t) {
    std::unique_lock lock(mutex);
    requestOut = true;
    changed.notify_all();
    changed.wait(lock, [&] { return answer; });
  };

  control.toggleOneClickScreening();
  EXPECT_EQ(rig.caption(), kRunningCaption);
  {
    std::unique_lock lock(mutex);
    ASSERT_TRUE(changed.wait_for(lock, std::chrono::seconds(10), [&] { return requestOut; }));
  }
  control.toggleOneClickScreening();
  EXPECT_EQ(rig.caption(), kIdleCaption) << "back at once, while the request is still out";
  const std::string writtenBefore = rig.output.text();
  {
    std::lock_guard lock(mutex);
    answer = true;
  }
  changed.notify_all();
  threads.join();

  EXPECT_EQ(rig.desktop.checks(list), "00");
  EXPECT_EQ(rig.output.text(), writtenBefore);
  EXPECT_EQ(rig.dialogs.count(), 0u) << "no summary, no free-screening offer";
  EXPECT_EQ(rig.caption(), kIdleCaption);
  EXPECT_EQ(rig.screening.calls().size(), 1u);
}

}  // namespace
}  // namespace pv
