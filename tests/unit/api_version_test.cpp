// The version check and the global information against scripted answers.
#include <gtest/gtest.h>

#include "core/api/global_info.h"
#include "core/api/version_check.h"
#include "core/client/client_events.h"
#include "core/client/login_window.h"
#include "core/client/version_prompts.h"
#include "core/product/product.h"
#include "core/client/window_lifecycle.h"
#include "tests/unit/api_fakes.h"

namespace pv {
namespace {

using testing::ClientRig;
using testing::envelope;

constexpr std::string_view kCheck = "/api/v2/pub/versions/check";
constexpr std::string_view kGlobal = "/api/v2/pub/global";
const std::string kDownload = "https://dl.test/client";

std::string versionAnswer(std::string_view current, std::string_view latest, int id = 3,
                          bool forbidden = false, bool withDownload = true) {
  std::string data = R"({"current":{"id":)" + std::to_string(id) + R"(,"version":")" +
                     std::string(current) + R"(","forbidden":)" + (forbidden ? "true" : "false") +
                     R"(},"latest":{"version":")" + std::string(latest) + "\"";
  if (withDownload) data += R"(,"download":")" + kDownload + "\"";
  return envelope(0, utf8Text(u8"检测成功"), data + "}}");
}

class VersionCheckTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registerWindowLifecycleEvents(rig.client, rig.settings));
    ASSERT_TRUE(registerLoginWindowEvents(rig.client, page));
    ASSERT_TRUE(rig.ui.load(Window::Login, true));
    loadLoginWebPage(rig.client);  // as the program does once the window is painted
  }
  bool loginEnabled() const { return rig.ui.enabled(Window::Login, kLoginButton); }

  ClientRig rig;
  LoginWebPage page{rig.browser};
};

TEST_F(VersionCheckTest, SendsTheClientsNameAndVersionWithoutSession) {
  rig.records.session.update([](ApiSession& s) { s.authHeader = "x: y"; });
  rig.api.answer("POST", kCheck, versionAnswer("2.0.2", "2.0.2"));
  runVersionCheck(rig.client, VersionCheckBy::Program);
  const auto sent = rig.api.sentTo("POST", kCheck);
  ASSERT_EQ(sent.size(), 1u);
  EXPECT_EQ(sent[0].body.view(), utf8Text(u8R"({"name":"客户端","version":"2.0.2"})"));
  EXPECT_EQ(testing::headerOf(sent[0], "Content-Type"), "application/json");
  EXPECT_EQ(testing::headerOf(sent[0], "Authentication"), "");
}

TEST_F(VersionCheckTest, SameVersionEnablesLoginSilentlyAndSaysSoWhenAsked) {
  rig.api.answer("POST", kCheck, versionAnswer("2.0.2", "2.0.2"));
  EXPECT_FALSE(loginEnabled());
  runVersionCheck(rig.client, VersionCheckBy::Program);
  EXPECT_TRUE(loginEnabled());
  EXPECT_EQ(rig.dialogs.count(), 0u);
  EXPECT_TRUE(rig.windows.menuItems().empty());

  // The operator's check from the menu.
  ASSERT_TRUE(rig.ui.raise(Window::Login, kMenuCheckVersion, Event::Clicked));
  ASSERT_EQ(rig.workers.runAll(), 1u);
  const auto shown = rig.dialogs.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "当前已经是最新版，无需更新！");
  EXPECT_EQ(shown[0].title, "检测版本");
  EXPECT_EQ(shown[0].buttons, DialogButtons::Ok);
  EXPECT_TRUE(rig.windows.menuItems().empty());
}

TEST_F(VersionCheckTest, AnyOtherLatestVersionAddsTheMenuItemOnceAndAsksEachTime) {
  for (const char* latest : {"2.0.3", "2.0.1"}) {  // older counts as well: no ordering
    SCOPED_TRACE(latest);
    ClientRig local;
    LoginWebPage localPage{local.browser};
    ASSERT_TRUE(registerWindowLifecycleEvents(local.client, local.settings));
    ASSERT_TRUE(registerLoginWindowEvents(local.client, localPage));
    ASSERT_TRUE(local.ui.load(Window::Login, true));
    local.api.answer("POST", kCheck, versionAnswer("2.0.2", latest));
    local.dialogs.script(DialogAnswer::No);
    local.dialogs.script(DialogAnswer::Yes);

    runVersionCheck(local.client, VersionCheckBy::Program);
    runVersionCheck(local.client, VersionCheckBy::Operator);

    EXPECT_TRUE(local.ui.enabled(Window::Login, kLoginButton));
    const auto items = local.windows.menuItems();
    ASSERT_EQ(items.size(), 1u);
    EXPECT_EQ(items[0].window, Window::Login);
    EXPECT_EQ(items[0].commandId, 90000);
    EXPECT_EQ(items[0].caption, "下载新版（v" + std::string(latest) + "）");
    EXPECT_TRUE(local.records.update.load()->downloadMenuAdded);

    const auto shown = local.dialogs.shown();
    ASSERT_EQ(shown.size(), 2u);
    for (const DialogMessage& m : shown) {
      EXPECT_EQ(m.text, "检测到新版本v" + std::string(latest) + "，是否前往下载新版？");
      EXPECT_EQ(m.title, "检测版本");
      EXPECT_EQ(m.buttons, DialogButtons::YesNo);
      EXPECT_EQ(m.owner, Window::Login);
    }
    // No to the first question, Yes to the second.
    EXPECT_EQ(local.browser.opened(), std::vector<std::string>{kDownload});

    // The appended item opens the download page.
    EXPECT_TRUE(local.windows.choose(Window::Login, kDownloadMenuCommand));
    EXPECT_EQ(local.browser.opened(), (std::vector<std::string>{kDownload, kDownload}));
  }
}

TEST_F(VersionCheckTest, MenuItemIsAddedAgainOnlyAfterAFailedAppend) {
  rig.api.answer("POST", kCheck, versionAnswer("2.0.2", "2.0.3"));
  rig.ui.destroy(Window::Login);  // no menu to append to
  runVersionCheck(rig.client, VersionCheckBy::Program);
  EXPECT_TRUE(rig.windows.menuItems().empty());
  EXPECT_FALSE(rig.records.update.load()->downloadMenuAdded);
  ASSERT_TRUE(rig.ui.load(Window::Login, true));
  runVersionCheck(rig.client, VersionCheckBy::Program);
  EXPECT_EQ(rig.windows.menuItems().size(), 1u);
}

TEST_F(VersionCheckTest, BlockedVersionsOfferTheDownloadAndKeepLoginDisabled) {
  struct Case {
    const char* name;
    std::string answer;
    DialogAnswer choice;
    std::vector<std::string> opened;
  };
  const Case cases[] = {
      {"forbidden, Yes", versionAnswer("2.0.2", "2.0.3", 3, true), DialogAnswer::Yes, {kDownload}},
      {"forbidden, No", versionAnswer("2.0.2", "2.0.3", 3, true), DialogAnswer::No, {}},
      {"id 0 is unknown", versionAnswer("2.0.2", "2.0.2", 0, false), DialogAnswer::Yes,
       {kDownload}},
      {"negative id", versionAnswer("2.0.2", "2.0.2", -1, false), DialogAnswer::No, {}},
      {"no download address", versionAnswer("2.0.2", "2.0.3", 0, false, false),
       DialogAnswer::Yes, {std::string(kWebSite)}},
      {"answer without data", envelope(20701, "old"), DialogAnswer::No, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClientRig local;
    ASSERT_TRUE(local.ui.load(Window::Login, true));
    local.api.answer("POST", kCheck, c.answer);
    local.dialogs.script(c.choice);
    runVersionCheck(local.client, VersionCheckBy::Operator);
    EXPECT_FALSE(local.ui.enabled(Window::Login, kLoginButton));
    const auto shown = local.dialogs.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, "当前版本停止支持，是否前往下载新版？");
    EXPECT_EQ(shown[0].title, "检测版本");
    EXPECT_EQ(shown[0].buttons, DialogButtons::YesNo);
    EXPECT_EQ(local.browser.opened(), c.opened);
    EXPECT_TRUE(local.windows.menuItems().empty());
  }
}

TEST_F(VersionCheckTest, NoDownloadAddressMakesTheMenuItemOpenTheWebSite) {
  rig.api.answer("POST", kCheck, versionAnswer("2.0.2", "2.0.3", 3, false, false));
  runVersionCheck(rig.client, VersionCheckBy::Program);
  EXPECT_TRUE(rig.windows.choose(Window::Login, kDownloadMenuCommand));
  EXPECT_EQ(rig.browser.opened(), std::vector<std::string>{std::string(kWebSite)});
}

TEST_F(VersionCheckTest, NoAnswerAsksToRetryAndYesChecksAgain) {
  // An answer that is JSON but carries no message counts as none.
  rig.api.answerOnce("POST", kCheck, R"({"code":0,"data":{}})");
  rig.api.answerOnce("POST", kCheck, "");
  rig.dialogs.script(DialogAnswer::Yes);
  rig.dialogs.script(DialogAnswer::Yes);
  rig.dialogs.script(DialogAnswer::No);

  runVersionCheck(rig.client, VersionCheckBy::Operator);  // no message: Yes
  // The retry gets an empty body: Yes again; its retry gets no answer at all: No.
  EXPECT_EQ(rig.workers.runAll(), 2u);
  EXPECT_EQ(rig.workers.pending(), 0u);

  const auto shown = rig.dialogs.shown();
  ASSERT_EQ(shown.size(), 3u);
  for (const DialogMessage& m : shown) {
    EXPECT_EQ(m.text, "网络错误，检测版本失败，是否重新检测？");
    EXPECT_EQ(m.title, "检测版本");
    EXPECT_EQ(m.buttons, DialogButtons::YesNo);
    EXPECT_EQ(m.owner, Window::Login);
  }
  // Each accepted retry shows the product page again; the window's opening showed it first.
  EXPECT_EQ(rig.windows.navigations(), std::vector<std::string>(3, std::string(kWebSite) + "/#pcView"));
  EXPECT_FALSE(rig.ui.enabled(Window::Login, kLoginButton));

  // A later retry that gets through enables the login.
  rig.api.answer("POST", kCheck, versionAnswer("2.0.2", "2.0.2"));
  rig.dialogs.script(DialogAnswer::Yes);
  rig.api.answerOnce("POST", kCheck, "");
  runVersionCheck(rig.client, VersionCheckBy::Program);
  EXPECT_EQ(rig.workers.runAll(), 1u);
  EXPECT_TRUE(rig.ui.enabled(Window::Login, kLoginButton));
}

TEST_F(VersionCheckTest, ALateAnswerAfterTheLoginWindowWentAsksNothing) {
  rig.api.answer("POST", kCheck, versionAnswer("2.0.2", "2.0.3"));
  rig.ui.destroy(Window::Login);
  runVersionCheck(rig.client, VersionCheckBy::Program);
  rig.api.silence("POST", kCheck);
  runVersionCheck(rig.client, VersionCheckBy::Program);
  EXPECT_EQ(rig.dialogs.count(), 0u);
  EXPECT_EQ(rig.workers.pending(), 0u);
}

TEST_F(VersionCheckTest, StartUpWorkersFetchTheContactAndCheckTheVersion) {
  rig.api.answer("POST", kCheck, versionAnswer("2.0.2", "2.0.2"));
  startLoginWorkers(rig.client);
  EXPECT_EQ(rig.workers.runAll(), 2u);
  EXPECT_TRUE(loginEnabled());
  EXPECT_EQ(rig.web.sentTo("GET", kGlobal).size(), 1u);
}

TEST_F(VersionCheckTest, LoginMenuOpensTheSitesAndTheContact) {
  rig.records.contact.store(defaultServiceContact("", ""));
  ASSERT_TRUE(rig.ui.raise(Window::Login, kMenuWebSite, Event::Clicked));
  ASSERT_TRUE(rig.ui.raise(Window::Login, kMenuConsole, Event::Clicked));
  ASSERT_TRUE(rig.ui.raise(Window::Login, kMenuContact, Event::Clicked));
  EXPECT_EQ(rig.browser.opened(),
            (std::vector<std::string>{std::string(kWebSite), std::string(kWebConsole),
                                      "http://wpa.qq.com/msgrd?v=3&uin=800012345&site=qq&menu=yes"}));
}

TEST_F(VersionCheckTest, WebPageSendsForeignLinksToTheBrowser) {
  auto raise = [&](Event event, std::string text) {
    EventArgs args{.window = Window::Login, .control = std::string(kLoginWebView),
                   .event = event, .text = std::move(text)};
    rig.ui.events().raise(args);
    return args.cancel;
  };
  EXPECT_FALSE(raise(Event::BeforeNavigate, "https://www.parcelvane.com/#pcView"));
  EXPECT_TRUE(raise(Event::BeforeNavigate, "https://console.parcelvane.com/x"));
  EXPECT_FALSE(raise(Event::StatusTextChange, "完成"));
  EXPECT_FALSE(raise(Event::StatusTextChange, "https://news.test/a"));
  EXPECT_FALSE(raise(Event::StatusTextChange, "正在打开..."));  // not a link: kept the last
  EXPECT_TRUE(raise(Event::NewWindow, ""));
  EXPECT_EQ(rig.browser.opened(),
            (std::vector<std::string>{"https://console.parcelvane.com/x", "https://news.test/a"}));
}

// Global information.

constexpr std::string_view kQqPath = "/api/v2/pub/contact/qq.png";
constexpr std::string_view kWechatPath = "/api/v2/pub/contact/wechat.png";
const std::string kPng = std::string("\x89PNG\r\n\x1a\n", 8) + "new-qq";
const std::string kJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "new-wechat";
const std::string kOldPng = std::string("\x89PNG\r\n\x1a\n", 8) + "old";
const std::string kOldJpeg = std::string("\xFF\xD8\xFF\xE0", 4) + "old";

std::string globalAnswer(std::string_view href, std::string_view qqQr = kQqPath,
                         std::string_view wechatQr = kWechatPath) {
  return envelope(0, "ok",
                  R"({"service":{"qq":"123456","qqHref":")" + std::string(href) +
                      R"(","qqQr":")" + std::string(qqQr) +
                      utf8Text(u8R"(","wechat":"客服_微信","wechatQr":")") +
                      std::string(wechatQr) + R"("}})");
}

class GlobalInfoTest : public ::testing::Test {
 protected:
  void SetUp() override { rig.records.contact.store(defaultServiceContact(kOldPng, kOldJpeg)); }
  ClientRig rig;
};

TEST_F(GlobalInfoTest, ReplacesTheContactAndItsPictures) {
  rig.web.answer("GET", kGlobal, globalAnswer("//im.test/chat?uin=123456"));
  rig.web.answer("GET", kQqPath, kPng);
  rig.web.answer("GET", kWechatPath, kJpeg);
  fetchGlobalInfo(rig.web, rig.records);
  const auto c = rig.records.contact.load();
  EXPECT_EQ(c->qqNumber, "123456");
  EXPECT_EQ(c->qqLink, "http://im.test/chat?uin=123456");
  EXPECT_EQ(c->wechatId, "客服_微信");
  EXPECT_EQ(c->qqQrImage, kPng);
  EXPECT_EQ(c->wechatQrImage, kJpeg);
  // Pictures come from the API host's origin, not below the base path.
  EXPECT_EQ(rig.web.sentTo("GET", kQqPath).size(), 1u);
  EXPECT_TRUE(rig.api.sent().empty());
}

TEST_F(GlobalInfoTest, LinksOtherThanProtocolRelativeStayAsTheyCame) {
  for (const char* href : {"https://im.test/a", "/relative", ""}) {
    SCOPED_TRACE(href);
    rig.web.answer("GET", kGlobal, globalAnswer(href));
    fetchGlobalInfo(rig.web, rig.records);
    EXPECT_EQ(rig.records.contact.load()->qqLink, href);
  }
}

TEST_F(GlobalInfoTest, PicturesThatDidNotArriveLeaveTheBuiltInOnes) {
  struct Case {
    const char* name;
    std::string qqBody;
    int qqStatus;
    std::string qqPath;
  };
  const Case cases[] = {
      {"empty download", "", 200, std::string(kQqPath)},
      {"error page", envelope(40400, "no picture"), 404, std::string(kQqPath)},
      {"not a picture", "<html>hello</html>", 200, std::string(kQqPath)},
      {"no path", "", 200, ""},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClientRig local;
    local.records.contact.store(defaultServiceContact(kOldPng, kOldJpeg));
    local.web.answer("GET", kGlobal, globalAnswer("//im.test/x", c.qqPath));
    if (!c.qqPath.empty()) local.web.answer("GET", c.qqPath, c.qqBody, c.qqStatus);
    local.web.answer("GET", kWechatPath, kJpeg);
    fetchGlobalInfo(local.web, local.records);
    const auto contact = local.records.contact.load();
    EXPECT_EQ(contact->qqQrImage, kOldPng);
    EXPECT_EQ(contact->wechatQrImage, kJpeg);
    EXPECT_EQ(contact->qqNumber, "123456");
    if (c.qqPath.empty()) {
      EXPECT_EQ(local.web.sent().size(), 2u);  // global and WeChat only
    }
  }
}

TEST_F(GlobalInfoTest, FailedOrRefusedAnswersChangeNothing) {
  const std::pair<const char*, std::string> cases[] = {
      {"no answer", ""},
      {"not JSON", "<html>502 Bad Gateway</html>"},
      {"JSON without code", R"({"data":{"service":{"qq":"1"}}})"},
      {"other code", envelope(50000, "busy", R"({"service":{"qq":"1"}})")},
  };
  const ServiceContact before = defaultServiceContact(kOldPng, kOldJpeg);
  for (const auto& [name, answer] : cases) {
    SCOPED_TRACE(name);
    ClientRig local;
    local.records.contact.store(before);
    if (!answer.empty()) local.web.answer("GET", kGlobal, answer);
    fetchGlobalInfo(local.web, local.records);
    const auto c = local.records.contact.load();
    EXPECT_EQ(c->qqNumber, before.qqNumber);
    EXPECT_EQ(c->qqLink, before.qqLink);
    EXPECT_EQ(c->wechatId, before.wechatId);
    EXPECT_EQ(c->qqQrImage, kOldPng);
    EXPECT_EQ(local.web.sent().size(), 1u);
  }
}

TEST_F(GlobalInfoTest, AbsentMembersOfAGoodAnswerEmptyTheTexts) {
  rig.web.answer("GET", kGlobal, envelope(0, "ok", R"({"service":{}})"));
  fetchGlobalInfo(rig.web, rig.records);
  const auto c = rig.records.contact.load();
  EXPECT_EQ(c->qqNumber, "");
  EXPECT_EQ(c->qqLink, "");
  EXPECT_EQ(c->wechatId, "");
  EXPECT_EQ(c->qqQrImage, kOldPng);
  EXPECT_EQ(c->wechatQrImage, kOldJpeg);
}

}  // namespace
}  // namespace pv
