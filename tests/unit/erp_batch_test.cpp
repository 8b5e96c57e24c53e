// Batch screening of the cloud ERP client's order page against the in-memory desktop.
#include <gtest/gtest.h>

#include <algorithm>

#include "core/erp/list_screening.h"
#include "core/text/text.h"
#include "tests/unit/erp_fakes.h"

namespace pv {
namespace {

using namespace erp_test;

const std::vector<std::string> kHeaders = {"订单编号", "地区", "地址"};

std::vector<std::vector<std::string>> numberedRows(int count) {
  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < count; ++i) rows.push_back({std::to_string(1000 + i), "浙江省", "文三路" + std::to_string(i) + "号"});
  return rows;
}

TEST(OrderPageName, IsTheFirstBracketedPart) {
  const std::pair<std::string, std::string> cases[] = {
      {"云端ERP - [订单审核]", "订单审核"}, {"云端ERP", ""},       {"[订单审核", ""},
      {"a]b[单据打印]c[x]", "单据打印"},   {"[]", ""},              {"", ""},
  };
  for (const auto& [title, want] : cases) EXPECT_EQ(orderPageName(title), want) << title;
}

TEST(MapColumns, PrefersTheExactAddressAndTheLastRegion) {
  struct Case {
    std::vector<std::string> headers;
    int region, address, orderNo = 0;
  };
  const Case cases[] = {
      {{"收货地址", "地址"}, 0, 2},
      {{"地址", "收货地址"}, 0, 1},
      {{"收货地址", "详细地址"}, 0, 2},
      {{"地区", "发货地区", "地址"}, 2, 3},
      {{"订单编号", "金额"}, 0, 0, 1},
      {{"快递单号", "原始单号", "订单号", "地区", "地址"}, 4, 5, 2},  // a tracking number is no order number
      {{}, 0, 0},
  };
  for (const Case& c : cases) {
    const ColumnMap columns = mapColumns(c.headers);
    EXPECT_EQ(columns.region, c.region) << joinTexts(c.headers);
    EXPECT_EQ(columns.address, c.address) << joinTexts(c.headers);
    EXPECT_EQ(columns.orderNo, c.orderNo) << joinTexts(c.headers);
  }
}

TEST(IsMaskedAddress, TellsCipherTextFromAddresses) {
  const std::pair<std::string, bool> cases[] = {
      {"U2FsdGVkX1+abcdefghij0123456789==", true},
      {"abcdefghijklmnopqrstuvwxy", false},  // 25: one short
      {"abcdefghijklmnopqrstuvwxyz", true},
      {"西湖区（此次不解密）", true},
      {"西湖区文三路123号A座1201室", false},
      {"", false},
      {"！@#￥%……&*（）——《》？：【】、；，。1234567", true},
  };
  for (const auto& [text, want] : cases) EXPECT_EQ(isMaskedAddress(text), want) << text;
}

TEST(ScreeningProgress, WritesStatusPartZero) {
  MemoryUi ui;
  ui.load(Window::Main, true);
  showScreeningProgress(ui, 45, 20, 3, true);
  EXPECT_EQ(ui.statusText(Window::Main, kMainStatusBar, 0), "筛单进度：20/45，勾选数量：3，正在查询...");
  showScreeningProgress(ui, 45, 45, 0, false);
  EXPECT_EQ(ui.statusText(Window::Main, kMainStatusBar, 0), "筛单进度：45/45，勾选数量：0");
}

// The tick rule: one address with one or two restrictions under the operator's options.
TEST(ScreenBatch, TickRule) {
  struct Case {
    const char* name;
    std::vector<std::string> policies;
    bool blind, surcharge, falseAddress, other, inverse;
    bool tick;
  };
  const Case cases[] = {
      {"nothing found", {}, true, true, true, true, false, true},
      {"blind area, box ticked", {policy(1)}, true, false, false, false, false, false},
      {"blind area, only the other boxes", {policy(1)}, false, true, true, true, false, true},
      {"surcharge, box ticked", {policy(2)}, false, true, false, false, false, false},
      {"surcharge, only the other boxes", {policy(2)}, true, false, true, true, false, true},
      {"false address, box ticked", {policy(3)}, false, false, true, false, false, false},
      {"false address, only the other boxes", {policy(3)}, true, true, false, true, false, true},
      {"other, box ticked", {policy(99)}, false, false, false, true, false, false},
      {"other, only the other boxes", {policy(99)}, true, true, true, false, false, true},
      {"passing restriction", {policy(1, true)}, true, true, true, true, false, true},
      {"a kind no box names", {policy(5)}, false, false, false, false, false, false},
      {"passing, then failing", {policy(2, true), policy(2)}, false, true, false, false, false, false},
      {"inverse, nothing found", {}, false, false, false, false, true, false},
      {"inverse, blind area counted", {policy(1)}, true, false, false, false, true, true},
  };
  for (const Case& c : cases) {
    ErpRig rig;
    rig.setOptions(c.blind, c.surcharge, c.falseAddress, c.other, c.inverse);
    rig.screening.verdicts["北京"] = verdict(c.policies);
    std::vector<bool> decisions;
    int ticked = 0;
    ASSERT_TRUE(screenBatch(rig.run, {"北京"}, decisions, ticked)) << c.name;
    ASSERT_EQ(decisions.size(), 1u) << c.name;
    EXPECT_EQ(decisions[0], c.tick) << c.name;
    EXPECT_EQ(ticked, c.tick ? 1 : 0) << c.name;
  }
}

TEST(ScreenBatch, WritesEachVerdict) {
  ErpRig rig;
  rig.setOptions(true, false, false, false, false);
  rig.screening.verdicts["甲"] = verdict({policy(1, false, "盲区", "某村", "#ff0000"), policy(2, true, "超区", "超区")},
                                         {"西湖站", "文三站"});
  rig.screening.verdicts["乙"] =
      "{\"sites\":[{\"title\":\"\",\"name\":\"备用站\"}],\"policies\":[{\"type\":3,\"typeName\":\"虚假\"},{\"type\":2}]}";
  std::vector<bool> decisions;
  int ticked = 0;
  ASSERT_TRUE(screenBatch(rig.run, {"甲", "乙", "丙"}, decisions, ticked));
  EXPECT_EQ(decisions, (std::vector<bool>{false, true, true}));
  EXPECT_EQ(ticked, 2);
  EXPECT_EQ(rig.output.text(),
            "【筛选地址】：甲\r\n【筛选结果】：西湖站；文三站；某村[盲区]；[超区]；\r\n【勾选结果】：不选\r\n\r\n"
            "【筛选地址】：乙\r\n【筛选结果】：备用站；[虚假]；[暂无说明]；\r\n【勾选结果】：选中\r\n\r\n"
            "【筛选地址】：丙\r\n【筛选结果】：区域正常[未查询到相关异常]\r\n【勾选结果】：选中\r\n\r\n");
  EXPECT_EQ(rig.output.scrolls(), 3);

  const auto runs = rig.output.runs();
  auto colourOf = [&](const std::string& text) {
    for (const auto& run : runs) {
      if (run.text == text) return run.colour;
    }
    return kNoColour;  // absent
  };
  EXPECT_EQ(colourOf("西湖站；文三站；"), kColourBlue);
  EXPECT_EQ(colourOf("某村[盲区]；"), rgbColour(0xff, 0x00, 0x00));  // the service's "#ff0000"
  EXPECT_EQ(colourOf("不选"), kColourOrange);
  EXPECT_EQ(colourOf("选中"), kColourGreen);
  EXPECT_EQ(colourOf("区域正常[未查询到相关异常]"), kColourGreen);
}

TEST(ScreenBatch, EntriesWithoutPoliciesSayNormalOnlyWithAMessage) {
  for (const bool withMessage : {true, false}) {
    ErpRig rig;
    rig.screening.refusals.clear();
    // An answer whose entry has no policy array at all.
    struct NoPolicies final : BatchScreening {
      bool withMessage;
      std::string screenAddresses(const std::vector<std::string>&, std::stop_token) override {
        return gbkToUtf8(std::string("{\"code\":0,\"msg\":\"") + (withMessage ? "成功" : "") +
                         "\",\"data\":[{\"sites\":[]}]}");
      }
      bool checkServiceCode(int code, std::string_view) override { return code == 0; }
    } service;
    service.withMessage = withMessage;
    RunContext run{rig.ui, rig.dialogs, service, rig.output, [](auto) {}, {}};
    std::vector<bool> decisions;
    int ticked = 0;
    ASSERT_TRUE(screenBatch(run, {"甲"}, decisions, ticked));
    EXPECT_EQ(containsText(rig.output.text(), "区域正常"), withMessage);
  }
}

TEST(ScreenBatch, ARefusedBatchSaysWhyAndDecidesNothing) {
  ErpRig rig;
  rig.screening.refusals[0] = {20002, "登录已过期"};
  std::vector<bool> decisions;
  int ticked = 0;
  EXPECT_FALSE(screenBatch(rig.run, {"甲", "乙"}, decisions, ticked));
  EXPECT_TRUE(decisions.empty());
  EXPECT_EQ(rig.output.text(), "【筛单中止】：登录已过期\r\n");
  EXPECT_EQ(rig.output.runs()[1].colour, kColourOrange);
  EXPECT_EQ(rig.ui.statusText(Window::Main, kMainStatusBar, 0), "【筛单中止】登录已过期");
}

TEST(ScreenListViewOrders, FortyFiveRowsInThreeRequests) {
  ErpRig rig;
  rig.setOptions(true, false, false, false, false);
  const WindowHandle list = rig.addClient(kHeaders, numberedRows(45));
  rig.screening.verdicts["浙江省文三路7号"] = verdict({policy(1)});
  rig.screening.verdicts["浙江省文三路30号"] = verdict({policy(1)});
  std::vector<std::string> progress;
  rig.screening.duringCall = [&](size_t) { progress.push_back(rig.ui.statusText(Window::Main, kMainStatusBar, 0)); };

  ScreeningTotals totals;
  ASSERT_TRUE(rig.screenList(totals));
  const auto calls = rig.screening.calls();
  ASSERT_EQ(calls.size(), 3u);
  EXPECT_EQ(calls[0].size(), 20u);
  EXPECT_EQ(calls[1].size(), 20u);
  EXPECT_EQ(calls[2].size(), 5u);
  EXPECT_EQ(calls[2][4], "浙江省文三路44号");
  // From the second batch on, the run's own pace tells the time left.
  ASSERT_EQ(progress.size(), 3u);
  EXPECT_EQ(progress[0], "筛单进度：20/45，勾选数量：0，正在查询...");
  EXPECT_TRUE(progress[1].starts_with("筛单中 20/45，约剩 0 分 ")) << progress[1];
  EXPECT_TRUE(progress[1].ends_with("秒，勾选数量：19，正在查询...")) << progress[1];
  EXPECT_TRUE(progress[2].starts_with("筛单中 40/45，约剩 0 分 ")) << progress[2];
  EXPECT_TRUE(progress[2].ends_with("秒，勾选数量：38，正在查询...")) << progress[2];
  EXPECT_EQ(rig.ui.statusText(Window::Main, kMainStatusBar, 0), "筛单进度：45/45，勾选数量：43");
  EXPECT_EQ(totals.total, 45);
  EXPECT_EQ(totals.ticked, 43);
  std::string want(45, '1');
  want[7] = want[30] = '0';
  EXPECT_EQ(rig.desktop.checks(list), want);
  EXPECT_TRUE(startsWith(rig.output.text(), "【选中界面】：订单审核\r\n\r\n【筛选地址】："));
  // 10 ms after each tick, 50 ms after each batch.
  EXPECT_EQ(std::count(rig.pauses.begin(), rig.pauses.end(), 10), 45);
  EXPECT_EQ(std::count(rig.pauses.begin(), rig.pauses.end(), 50), 3);
  EXPECT_EQ(rig.desktop.attachedLists(), 0) << "the list is let go at the end";
}

TEST(ScreenListViewOrders, AnEmptyPageSendsNothing) {
  ErpRig rig;
  rig.addClient(kHeaders, {});
  ScreeningTotals totals;
  EXPECT_TRUE(rig.screenList(totals));
  EXPECT_EQ(totals.total, 0);
  EXPECT_TRUE(rig.screening.calls().empty());
  EXPECT_TRUE(rig.dialogs.shown().empty());
}

TEST(ScreenListViewOrders, SendsRegionAndAddressWithoutSpacesAndMaskedByRegion) {
  ErpRig rig;
  const std::string cipher = "U2FsdGVkX1+vupppZksvRf5pq5g5XjFRlw==";
  rig.addClient(kHeaders, {{"1", "浙江省 杭州市", "　西湖区　文三路 1号"}, {"2", "广东省 广州市", cipher},
                           {"3", "北京", "朝阳区（此次不解密）"}});
  ScreeningTotals totals;
  ASSERT_TRUE(rig.screenList(totals));
  ASSERT_EQ(rig.screening.calls().size(), 1u);
  EXPECT_EQ(rig.screening.calls()[0],
            (std::vector<std::string>{"浙江省杭州市西湖区文三路1号", "广东省广州市", "北京"}));
}

TEST(ScreenListViewOrders, AStoppedBatchTicksNothingMore) {
  ErpRig rig;
  const WindowHandle list = rig.addClient(kHeaders, numberedRows(45));
  rig.screening.duringCall = [&](size_t call) {
    if (call == 1) rig.stop.request_stop();  // the button pressed while the request is out
  };
  ScreeningTotals totals;
  EXPECT_FALSE(rig.screenList(totals));
  EXPECT_EQ(rig.screening.calls().size(), 2u);
  EXPECT_EQ(rig.desktop.checks(list), std::string(20, '1') + std::string(25, '0'));
  EXPECT_FALSE(containsText(rig.output.text(), "文三路20号")) << "nothing written after the stop";
}

TEST(ScreenListViewOrders, ARefusedBatchKeepsItsRowsAndStops) {
  ErpRig rig;
  const WindowHandle list = rig.addClient(kHeaders, numberedRows(45));
  rig.screening.refusals[1] = {50000, "服务器错误"};
  ScreeningTotals totals;
  EXPECT_FALSE(rig.screenList(totals));
  EXPECT_EQ(rig.screening.calls().size(), 2u);
  EXPECT_EQ(rig.desktop.checks(list), std::string(20, '1') + std::string(25, '0'));
  EXPECT_EQ(totals.ticked, 20);
}

// The operator re-sorts the list while a batch is out: rows that no longer hold the order
// screened keep their state and are named; a row that still holds it is ticked.
TEST(ScreenListViewOrders, RowsChangedDuringTheRequestAreLeftAlone) {
  ErpRig rig;
  const WindowHandle list = rig.addClient(kHeaders, {{"1", "浙江省", "甲路"}, {"2", "浙江省", "乙路"}, {"3", "浙江省", "丙路"}});
  rig.screening.duringCall = [&](size_t) {
    rig.desktop.changeList(list, [](MemoryDesktop::List& l) { std::swap(l.rows[0], l.rows[2]); });
  };
  ScreeningTotals totals;
  ASSERT_TRUE(rig.screenList(totals));
  EXPECT_EQ(rig.desktop.checks(list), "010");
  EXPECT_EQ(totals.ticked, 1);
  const std::string text = rig.output.text();
  EXPECT_TRUE(containsText(text, "【跳过勾选】：第1行（浙江省甲路）在筛单时已变动，未改动其勾选\r\n")) << text;
  EXPECT_TRUE(containsText(text, "【跳过勾选】：第3行（浙江省丙路）在筛单时已变动，未改动其勾选\r\n")) << text;
}

// Rows removed while a batch is out: the next batch is shorter, or not sent at all when
// nothing is left of it, and the total counts the orders that were screened.
TEST(ScreenListViewOrders, RowsRemovedDuringTheRunEndTheBatchEarly) {
  struct Case {
    size_t rowsLeft;
    std::vector<size_t> sent;
    int total;
  };
  for (const Case& c : {Case{22, {20, 2}, 22}, Case{20, {20}, 20}, Case{18, {20}, 20}}) {
    ErpRig rig;
    const WindowHandle list = rig.addClient(kHeaders, numberedRows(25));
    rig.screening.duringCall = [&](size_t call) {
      if (call == 0) rig.desktop.changeList(list, [&](MemoryDesktop::List& l) { l.rows.resize(c.rowsLeft); });
    };
    ScreeningTotals totals;
    ASSERT_TRUE(rig.screenList(totals)) << c.rowsLeft;
    std::vector<size_t> sent;
    for (const auto& call : rig.screening.calls()) sent.push_back(call.size());
    EXPECT_EQ(sent, c.sent) << c.rowsLeft;
    EXPECT_EQ(totals.total, c.total) << c.rowsLeft;
  }
}

// Where the order list is looked for, and what the operator is told when it is not found.
TEST(ScreenListViewOrders, FindsThePageOrSaysWhatIsMissing) {
  struct Case {
    const char* name;
    std::function<void(ErpRig&)> build;
    std::string message;  // empty: found
    std::string pageLine;
  };
  const Case cases[] = {
      {"no client at all", [](ErpRig&) {}, "请先打开‘订单审核’或‘单据打印’界面", ""},
      {"client without lists",
       [](ErpRig& rig) { rig.desktop.addWindow(0, "TForm_main", "云端ERP - [订单审核]"); },
       "请先打开‘订单审核’或‘单据打印’界面", ""},
      {"list on a page of another name",
       [](ErpRig& rig) { rig.addClient(kHeaders, numberedRows(1), "云端ERP - [单据打印]"); },
       "没有在客户端内找到订单页！", ""},
      {"list not visible",
       [](ErpRig& rig) {
         const WindowHandle list = rig.addClient(kHeaders, numberedRows(1));
         rig.desktop.setShown(list, false);
       },
       "没有在客户端内找到订单页！", ""},
      {"title in the great-grandparent",
       [](ErpRig& rig) {
         const WindowHandle main = rig.desktop.addWindow(0, "TForm_main", "云端ERP - [订单审核]");
         const WindowHandle page = rig.desktop.addWindow(main, "TTabSheet", "订单审核");
         const WindowHandle inner = rig.desktop.addWindow(rig.desktop.addWindow(page, "TPanel", ""), "TPanel", "");
         rig.desktop.addList(inner, "TListView", kHeaders, numberedRows(1));
       },
       "", "【选中界面】：订单审核\r\n\r\n"},
      {"title without a page name",
       [](ErpRig& rig) { rig.addClient(kHeaders, numberedRows(1), "云端ERP"); }, "", "【选中界面】：\r\n\r\n"},
      {"a list of another class only",
       [](ErpRig& rig) {
         const WindowHandle main = rig.desktop.addWindow(0, "TForm_main", "[订单审核]");
         rig.desktop.addList(rig.desktop.addWindow(main, "TTabSheet", "订单审核"), "SysListView32", kHeaders, {});
       },
       "请先打开‘订单审核’或‘单据打印’界面", ""},
      {"no access to the client",
       [](ErpRig& rig) {
         const WindowHandle list = rig.addClient(kHeaders, numberedRows(1));
         rig.desktop.changeList(list, [](MemoryDesktop::List& l) { l.answers = false; });
       },
       "请以管理员身份运行重启软件", "【选中界面】：订单审核\r\n\r\n"},
      {"no address column", [](ErpRig& rig) { rig.addClient({"订单编号", "地区"}, {}); },
       "请右键订单列表点击‘配置显示列’，勾选‘地区、地址’列\r\n保证显示‘地址’列", "【选中界面】：订单审核\r\n\r\n"},
      {"no region column", [](ErpRig& rig) { rig.addClient({"订单编号", "收货地址"}, {}); },
       "请右键订单列表点击‘配置显示列’，勾选‘地区、地址’列\r\n保证显示‘地区’列", "【选中界面】：订单审核\r\n\r\n"},
  };
  for (const Case& c : cases) {
    ErpRig rig;
    c.build(rig);
    ScreeningTotals totals;
    const bool finished = rig.screenList(totals);
    EXPECT_EQ(finished, c.message.empty()) << c.name;
    if (c.message.empty()) {
      EXPECT_TRUE(rig.dialogs.shown().empty()) << c.name;
    } else {
      ASSERT_EQ(rig.dialogs.shown().size(), 1u) << c.name;
      const DialogMessage box = rig.dialogs.shown()[0];
      EXPECT_EQ(box.text, c.message) << c.name;
      EXPECT_EQ(box.title, "筛单提示") << c.name;
      EXPECT_EQ(box.buttons, DialogButtons::Ok) << c.name;
      EXPECT_EQ(box.owner, Window::Main) << c.name;
    }
    EXPECT_TRUE(startsWith(rig.output.text(), c.pageLine)) << c.name << ": " << rig.output.text();
    if (c.pageLine.empty()) {
      EXPECT_EQ(rig.output.text(), "") << c.name;
    }
  }
}

}  // namespace
}  // namespace pv
