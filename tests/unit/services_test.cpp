// Screening projects and services in the main window, against scripted answers.
#include <gtest/gtest.h>

#include "core/api/global_info.h"
#include "core/client/client_events.h"
#include "core/client/main_window.h"
#include "core/client/service_boxes.h"
#include "core/client/window_lifecycle.h"
#include "tests/unit/api_fakes.h"

namespace pv {
namespace {

using testing::ClientRig;
using testing::envelope;

constexpr std::string_view kProducts =
    "/api/v2/pub/serviceProducts?serviceTypeID=1&all=true&forbidden=false";
constexpr std::string_view kServices = "/api/v2/serviceBusinesses?currentUserID=7";

std::string projects(std::initializer_list<std::tuple<int, std::u8string_view, std::u8string_view>> list) {
  std::string data = R"({"list":[)";
  bool first = true;
  for (const auto& [id, name, notice] : list) {
    if (!first) data += ",";
    first = false;
    data += R"({"id":)" + std::to_string(id) + R"(,"name":")" + utf8Text(name) +
            R"(","notice":")" + utf8Text(notice) + R"("})";
  }
  return envelope(0, "ok", data + "]}");
}

const std::string kServiceList = envelope(0, "ok", utf8Text(u8R"({"list":[
  {"id":101,"serviceProductID":1,"alias":"星河-杭州"},
  {"id":201,"serviceProductID":2,"alias":"青竹-西湖"},
  {"id":501,"serviceProductID":5,"alias":"远山-某地"},
  {"id":202,"serviceProductID":2,"alias":"青竹-余杭"},
  {"id":203,"serviceProductID":2,"alias":"青竹-淳安"}]})"));

class ServicesTest : public ::testing::Test {
 protected:
  void SetUp() override {
    rig.records.session.update([](ApiSession& s) {
      s.userId = 7;
      s.userName = "演示用户";
      s.token = "tok";
      s.authHeader = "content-type: application/json\r\nAuthentication: Bearer tok";
    });
    rig.api.answer("GET", kProducts,
                   projects({{1, u8"星河速运", u8"星河公告"}, {2, u8"青竹快递", u8"青竹公告"},
                             {4, u8"北辰快运", u8"北辰公告"}}));
    rig.api.answer("GET", kServices, kServiceList);
    ASSERT_TRUE(registerWindowLifecycleEvents(rig.client, rig.settings));
    ASSERT_TRUE(registerMainWindowEvents(rig.client));
  }

  void openMainWindow() {
    ASSERT_TRUE(rig.ui.load(Window::Main, true));
    rig.workers.runAll();
  }

  std::vector<std::pair<std::string, int>> items(std::string_view box) const {
    std::vector<std::pair<std::string, int>> out;
    for (int i = 0; i < rig.ui.itemCount(Window::Main, box); ++i) {
      out.emplace_back(rig.ui.itemText(Window::Main, box, i), rig.ui.itemValue(Window::Main, box, i));
    }
    return out;
  }
  int selected(std::string_view box) const { return rig.ui.selectedIndex(Window::Main, box); }
  std::string text(std::string_view name) const { return rig.ui.text(Window::Main, name); }

  ClientRig rig;
};

TEST_F(ServicesTest, MainWindowOpensWithGreetingContactAndProjects) {
  const std::string qqCard = std::string("\x89PNG\r\n\x1a\n", 8) + "qq";
  const std::string wechatCard = std::string("\xFF\xD8\xFF\xE0", 4) + "wx";
  rig.records.contact.store(defaultServiceContact(qqCard, wechatCard));
  openMainWindow();

  EXPECT_EQ(rig.ui.title(Window::Main), windowDef(Window::Main).title + "v2.0.2");
  EXPECT_EQ(text(kGreetingLabel), "欢迎您，演示用户");
  EXPECT_EQ(text(kQqLabel), "800012345");
  EXPECT_EQ(text(kWechatLabel), "parcelvane");
  EXPECT_EQ(rig.ui.linkTarget(Window::Main, kContactLink),
            "http://wpa.qq.com/msgrd?v=3&uin=800012345&site=qq&menu=yes");
  EXPECT_EQ(rig.ui.picture(Window::Main, kQqPicture), qqCard);
  EXPECT_EQ(rig.ui.picture(Window::Main, kWechatPicture), wechatCard);

  EXPECT_EQ(items(kProjectBox), (std::vector<std::pair<std::string, int>>{
                                    {"星河速运", 1}, {"青竹快递", 2}, {"北辰快运", 4}}));
  EXPECT_EQ(selected(kProjectBox), -1);
  EXPECT_EQ(text(kProjectBox), "请选择项目");
  EXPECT_EQ(items(kServiceBox).size(), 0u);
  // Neither list was loaded with a request the service would refuse.
  const auto sent = rig.api.sentTo("GET", kProducts);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(testing::headerOf(sent[0], "Authentication"), "Bearer tok");
}

TEST_F(ServicesTest, ChoosingAProjectShowsItsNoticeAndOnlyItsServices) {
  openMainWindow();
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 1));
  EXPECT_EQ(text(kProductNoticeLabel), "青竹公告");
  EXPECT_EQ(rig.workers.runAll(), 1u);
  EXPECT_EQ(items(kServiceBox), (std::vector<std::pair<std::string, int>>{
                                    {"青竹-西湖", 201}, {"青竹-余杭", 202}, {"青竹-淳安", 203}}));
  EXPECT_EQ(selected(kServiceBox), -1);
  EXPECT_EQ(text(kServiceBox), "请选择服务");
  const auto sent = rig.api.sentTo("GET", kServices);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(testing::headerOf(sent[0], "Authentication"), "Bearer tok");
}

TEST_F(ServicesTest, AProjectsOnlyServiceIsSelected) {
  openMainWindow();
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 0));
  rig.workers.runAll();
  EXPECT_EQ(items(kServiceBox), (std::vector<std::pair<std::string, int>>{{"星河-杭州", 101}}));
  EXPECT_EQ(selected(kServiceBox), 0);
  EXPECT_EQ(text(kServiceBox), "星河-杭州");
  EXPECT_TRUE(checkServiceChosen(rig.ui, rig.dialogs, rig.windows));
  EXPECT_EQ(rig.dialogs.count(), 0u);
}

TEST_F(ServicesTest, ServiceSelectionIsKeptByPositionAcrossProjects) {
  openMainWindow();
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 1));
  rig.workers.runAll();
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kServiceBox, 2));
  // The same project again: the third service stays selected.
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 1));
  rig.workers.runAll();
  EXPECT_EQ(selected(kServiceBox), 2);
  EXPECT_EQ(text(kServiceBox), "青竹-淳安");
  // A project with no service of the operator: nothing at that position.
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 2));
  rig.workers.runAll();
  EXPECT_EQ(items(kServiceBox).size(), 0u);
  EXPECT_EQ(selected(kServiceBox), -1);
  EXPECT_EQ(text(kServiceBox), "请选择服务");
  EXPECT_EQ(text(kProductNoticeLabel), "北辰公告");
}

TEST_F(ServicesTest, ReloadingProjectsKeepsTheSelectionByPosition) {
  openMainWindow();
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 1));
  rig.workers.runAll();
  // The service dropped project 1; position 1 now holds another project.
  rig.api.answer("GET", kProducts,
                 projects({{2, u8"青竹快递", u8"青竹公告"}, {4, u8"北辰快运", u8"北辰新公告"}}));
  ASSERT_TRUE(rig.ui.click(Window::Main, kRefreshServicesLink));
  rig.workers.runAll();
  EXPECT_EQ(selected(kProjectBox), 1);
  EXPECT_EQ(text(kProjectBox), "北辰快运");
  EXPECT_EQ(text(kProductNoticeLabel), "北辰新公告");
  EXPECT_EQ(items(kServiceBox).size(), 0u);

  // Fewer projects than the remembered position: nothing selected.
  rig.api.answer("GET", kProducts, projects({{2, u8"青竹快递", u8"青竹公告"}}));
  ASSERT_TRUE(rig.ui.click(Window::Main, kRefreshServicesLink));
  rig.workers.runAll();
  EXPECT_EQ(selected(kProjectBox), -1);
  EXPECT_EQ(text(kProjectBox), "请选择项目");
}

TEST_F(ServicesTest, AFailedProjectLoadEmptiesTheBox) {
  openMainWindow();
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 0));
  rig.workers.runAll();
  for (const std::string& answer : {std::string(), std::string("<html>oops</html>"),
                                    envelope(0, "ok", R"({"list":{"id":1}})")}) {
    SCOPED_TRACE(answer);
    ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 0));
    rig.workers.runAll();
    if (answer.empty()) {
      rig.api.silence("GET", kProducts);
    } else {
      rig.api.answer("GET", kProducts, answer);
    }
    ASSERT_TRUE(rig.ui.click(Window::Main, kRefreshServicesLink));
    rig.workers.runAll();
    EXPECT_EQ(rig.ui.itemCount(Window::Main, kProjectBox), 0);
    EXPECT_EQ(text(kProjectBox), "请选择项目");
    rig.api.answer("GET", kProducts, projects({{1, u8"星河速运", u8"星河公告"}}));
    ASSERT_TRUE(rig.ui.click(Window::Main, kRefreshServicesLink));
    rig.workers.runAll();
  }
}

TEST_F(ServicesTest, ServiceLoadWhoseProjectWasClearedMeanwhileAsksForAService) {
  openMainWindow();
  ASSERT_TRUE(rig.ui.pickItem(Window::Main, kProjectBox, 0));
  // The project box is cleared while the service list is on its way.
  struct ClearingTransport final : HttpTransport {
    ClearingTransport(Ui& ui, HttpTransport& inner) : ui(ui), inner(inner) {}
    Ui& ui;
    HttpTransport& inner;
    std::optional<HttpWireResponse> exchange(const HttpWireRequest& r) noexcept override {
      ui.setSelectedIndex(Window::Main, kProjectBox, -1);
      return inner.exchange(r);
    }
  } clearing(rig.ui, rig.api);
  ClientContext client{rig.ui,      rig.dialogs, rig.browser, rig.windows, rig.clock,
                       rig.workers, clearing,    rig.web,     rig.records};
  loadScreeningServices(client);
  EXPECT_EQ(items(kServiceBox).size(), 0u);
  EXPECT_EQ(text(kServiceBox), "请选择服务");
}

TEST_F(ServicesTest, CheckServiceChosenAsksForWhatIsMissing) {
  openMainWindow();
  struct Case {
    const char* name;
    int project;  // -1: none
    int service;
    bool silent;
    bool chosen;
    std::string box;       // empty: none shown
    std::string dropDown;  // empty: none opened
  };
  const Case cases[] = {
      {"nothing chosen", -1, -1, false, false, "请选择筛单项目", std::string(kProjectBox)},
      {"nothing chosen, silent", -1, -1, true, false, "", ""},
      {"project without service", 1, -1, false, false, "请选择筛单服务", std::string(kServiceBox)},
      {"project without service, silent", 1, -1, true, false, "", ""},
      {"both chosen", 1, 0, false, true, "", ""},
      {"both chosen, silent", 1, 0, true, true, "", ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    RecordingDialogs dialogs;
    RecordingWindowExtras windows(rig.ui);
    rig.ui.setSelectedIndex(Window::Main, kProjectBox, c.project);
    if (c.project >= 0) {
      onProductSelected(rig.client);
      rig.workers.runAll();
    }
    rig.ui.setSelectedIndex(Window::Main, kServiceBox, c.service);
    EXPECT_EQ(checkServiceChosen(rig.ui, dialogs, windows, c.silent), c.chosen);
    const auto shown = dialogs.shown();
    ASSERT_EQ(shown.size(), c.box.empty() ? 0u : 1u);
    if (!c.box.empty()) {
      EXPECT_EQ(shown[0].text, c.box);
      EXPECT_EQ(shown[0].title, "筛单提示");
      EXPECT_EQ(shown[0].buttons, DialogButtons::Ok);
      EXPECT_EQ(shown[0].owner, Window::Main);
    }
    EXPECT_EQ(windows.dropDowns(),
              c.dropDown.empty() ? std::vector<std::string>{} : std::vector<std::string>{c.dropDown});
  }
}

}  // namespace
}  // namespace pv
