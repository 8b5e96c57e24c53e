// The session flows against scripted answers: login outcomes, the account lookup, the token
// refresh, and the hourly refresh rule on activation.
#include <gtest/gtest.h>

#include <atomic>
#include <thread>

#include "core/api/api_call.h"
#include "core/api/session.h"
#include "core/client/client_events.h"
#include "core/client/login.h"
#include "core/client/main_window.h"
#include "core/product/product.h"
#include "core/client/window_lifecycle.h"
#include "tests/unit/api_fakes.h"

namespace pv {
namespace {

using testing::ClientRig;
using testing::envelope;
using testing::headerOf;

constexpr std::string_view kAuth = "/api/v2/pub/auth";
constexpr std::string_view kAccount = "/api/v2/account";
constexpr std::string_view kToken = "/api/v2/auth/token";

class SessionTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(registerWindowLifecycleEvents(rig.client, rig.settings));
    ASSERT_TRUE(registerLoginWindowEvents(rig.client, page));
    ASSERT_TRUE(registerMainWindowEvents(rig.client));
    ASSERT_TRUE(rig.ui.load(Window::Login, true));
    // As after a passed version check.
    rig.ui.setEnabled(Window::Login, kLoginButton, true);
  }

  void typeAccount(std::string_view account, std::string_view password) {
    rig.ui.setText(Window::Login, kAccountBox, account);
    rig.ui.setText(Window::Login, kPasswordBox, password);
  }

  std::string statusPart0() const { return rig.ui.statusText(Window::Login, kLoginStatusBar, 0); }

  ClientRig rig;
  LoginWebPage page{rig.browser};
};

TEST_F(SessionTest, GoodLoginOpensTheMainWindowAndRefreshesTheToken) {
  rig.api.answer("POST", kAuth, envelope(0, "ok", R"({"token":"tok-1"})"));
  rig.api.answer("GET", kAccount,
                 envelope(0, "ok", utf8Text(u8R"({"id":7,"username":"演示用户"})")));
  rig.api.answer("PUT", kToken, envelope(0, "ok", R"({"token":"tok-2"})"));
  // A GBK account and password travel as UTF-8 JSON.
  typeAccount("演示", "密码\"1");

  ASSERT_TRUE(rig.ui.pressKey(Window::Login, kPasswordBox, kEnterKey));
  EXPECT_EQ(rig.workers.pending(), 1u);
  rig.workers.runNext();

  const auto auth = rig.api.sentTo("POST", kAuth);
  ASSERT_EQ(auth.size(), 1u);
  EXPECT_EQ(auth[0].body.view(), utf8Text(u8R"({"username":"演示","password":"密码\"1"})"));
  EXPECT_EQ(headerOf(auth[0], "Content-Type"), "application/json");
  EXPECT_EQ(headerOf(auth[0], "Authentication"), "");

  const auto account = rig.api.sentTo("GET", kAccount);
  ASSERT_EQ(account.size(), 1u);
  EXPECT_EQ(headerOf(account[0], "Authentication"), "Bearer tok-1");
  const auto refresh = rig.api.sentTo("PUT", kToken);
  ASSERT_EQ(refresh.size(), 1u);
  EXPECT_EQ(headerOf(refresh[0], "Authentication"), "Bearer tok-1");

  EXPECT_FALSE(rig.ui.isLoaded(Window::Login));
  ASSERT_TRUE(rig.ui.isShown(Window::Main));
  EXPECT_EQ(rig.ui.text(Window::Main, "透明标签_用户名"), "欢迎您，演示用户");
  EXPECT_EQ(rig.dialogs.count(), 0u);

  const auto session = rig.session();
  EXPECT_EQ(session->userId, 7);
  EXPECT_EQ(session->userName, "演示用户");
  EXPECT_EQ(session->token, "tok-2");
  EXPECT_EQ(session->authHeader,
            "content-type: application/json\r\nAuthentication: Bearer tok-2");
}

TEST_F(SessionTest, EnterStartsALoginEachTimeOtherKeysNone) {
  ASSERT_TRUE(rig.ui.pressKey(Window::Login, kPasswordBox, 'A'));
  EXPECT_EQ(rig.workers.pending(), 0u);
  ASSERT_TRUE(rig.ui.pressKey(Window::Login, kPasswordBox, kEnterKey));
  ASSERT_TRUE(rig.ui.pressKey(Window::Login, kPasswordBox, kEnterKey));
  EXPECT_EQ(rig.workers.pending(), 2u);
  ASSERT_TRUE(rig.ui.click(Window::Login, kLoginButton));
  EXPECT_EQ(rig.workers.pending(), 3u);
}

TEST_F(SessionTest, ButtonIsDisabledWhileTheAttemptRuns) {
  // The login call sees the state the operator sees during the attempt.
  struct Probe final : HttpTransport {
    explicit Probe(Ui& ui) : ui(ui) {}
    Ui& ui;
    bool enabled = true;
    std::string status;
    std::optional<HttpWireResponse> exchange(const HttpWireRequest&) noexcept override {
      enabled = ui.enabled(Window::Login, kLoginButton);
      status = ui.statusText(Window::Login, kLoginStatusBar, 0);
      return HttpWireResponse{};
    }
  } probe(rig.ui);
  ClientContext client{rig.ui,      rig.dialogs, rig.browser, rig.windows, rig.clock,
                       rig.workers, probe,       rig.web,     rig.records};
  runLogin(client);
  EXPECT_FALSE(probe.enabled);
  EXPECT_EQ(probe.status, "正在登录...");
  EXPECT_TRUE(rig.ui.enabled(Window::Login, kLoginButton));
}

struct RejectedCase {
  const char* name;
  std::string answer;  // empty: no answer
  DialogAnswer choice;
  std::string status;
  std::string box;
  DialogButtons buttons;
  bool registrationOpened;
};

TEST_F(SessionTest, RejectedLoginsShowTheServiceMessageAndReenableTheButton) {
  const RejectedCase cases[] = {
      {"unknown account, Yes", envelope(20103, utf8Text(u8"账号不存在")), DialogAnswer::Yes,
       "账号不存在", "账号不存在\n是否前往注册账号？", DialogButtons::YesNo, true},
      {"unknown account, No", envelope(20103, utf8Text(u8"账号不存在")), DialogAnswer::No,
       "账号不存在", "账号不存在\n是否前往注册账号？", DialogButtons::YesNo, false},
      {"wrong password", envelope(20104, utf8Text(u8"账号或密码错误")), DialogAnswer::Ok,
       "账号或密码错误", "账号或密码错误", DialogButtons::Ok, false},
      {"success code without token", envelope(0, utf8Text(u8"登录成功")), DialogAnswer::Ok,
       "登录成功", "登录成功", DialogButtons::Ok, false},
      // Nothing from the service: the client says what happened in its own words.
      {"no answer", "", DialogAnswer::Ok, "无法连接服务器，请检查网络后重试", "无法连接服务器，请检查网络后重试",
       DialogButtons::Ok, false},
  };
  for (const RejectedCase& c : cases) {
    SCOPED_TRACE(c.name);
    ClientRig local;
    LoginWebPage localPage{local.browser};
    ASSERT_TRUE(registerWindowLifecycleEvents(local.client, local.settings));
    ASSERT_TRUE(registerLoginWindowEvents(local.client, localPage));
    ASSERT_TRUE(local.ui.load(Window::Login, true));
    if (!c.answer.empty()) local.api.answer("POST", kAuth, c.answer);
    local.dialogs.script(c.choice);
    local.ui.setText(Window::Login, kAccountBox, "nobody");

    runLogin(local.client);

    EXPECT_EQ(local.ui.statusText(Window::Login, kLoginStatusBar, 0), c.status);
    const auto shown = local.dialogs.shown();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(shown[0].text, c.box);
    EXPECT_EQ(shown[0].title, "登录提示");
    EXPECT_EQ(shown[0].buttons, c.buttons);
    EXPECT_EQ(shown[0].owner, Window::Login);
    EXPECT_TRUE(local.ui.enabled(Window::Login, kLoginButton));
    EXPECT_TRUE(local.ui.isLoaded(Window::Login));
    EXPECT_FALSE(local.ui.isLoaded(Window::Main));
    EXPECT_TRUE(local.session()->token.empty());
    EXPECT_TRUE(local.api.sentTo("GET", kAccount).empty());
    const std::vector<std::string> opened = local.browser.opened();
    if (c.registrationOpened) {
      EXPECT_EQ(opened, std::vector<std::string>{std::string(kWebConsole) + "/pub/auth/register"});
    } else {
      EXPECT_TRUE(opened.empty());
    }
  }
}

TEST_F(SessionTest, TokenWithFailingAccountKeepsTheLoginWindowUsable) {
  rig.api.answer("POST", kAuth, envelope(0, "ok", R"({"token":"tok-1"})"));
  rig.api.answer("GET", kAccount, envelope(20002, "expired"), 401);
  typeAccount("demo", "demo123");

  runLogin(rig.client);

  const auto shown = rig.dialogs.shown();
  ASSERT_EQ(shown.size(), 1u);
  EXPECT_EQ(shown[0].text, "获取用户资料失败");
  EXPECT_EQ(shown[0].title, "登录提示");
  EXPECT_EQ(shown[0].owner, Window::Login);
  EXPECT_TRUE(rig.ui.isShown(Window::Login));
  EXPECT_TRUE(rig.ui.enabled(Window::Login, kLoginButton));
  EXPECT_FALSE(rig.ui.isLoaded(Window::Main));
  // The token stays set and is still refreshed.
  EXPECT_EQ(rig.session()->token, "tok-1");
  EXPECT_EQ(rig.api.sentTo("PUT", kToken).size(), 1u);

  // The operator tries again and the account answers now.
  rig.api.answer("GET", kAccount, envelope(0, "ok", utf8Text(u8R"({"id":1,"username":"演示用户"})")));
  ASSERT_TRUE(rig.ui.click(Window::Login, kLoginButton));
  rig.workers.runAll();
  EXPECT_TRUE(rig.ui.isShown(Window::Main));
  EXPECT_FALSE(rig.ui.isLoaded(Window::Login));
}

TEST(Session, RefreshReplacesTheTokenOnlyWhenTheAnswerCarriesOne) {
  struct Case {
    const char* name;
    std::string answer;  // empty: no answer
    std::string token;
  };
  const Case cases[] = {
      {"new token", envelope(0, "ok", R"({"token":"new"})"), "new"},
      {"no token member", envelope(0, "ok", R"({"expiresIn":7200})"), "old"},
      {"empty token", envelope(0, "ok", R"({"token":""})"), "old"},
      {"session code", envelope(20002, "expired"), "old"},
      {"not JSON", "<html>502</html>", "old"},
      {"no answer", "", "old"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    ClientRig rig;
    rig.records.session.update([](ApiSession& s) {
      s.token = "old";
      s.authHeader = authHeaderFor("old");
    });
    if (!c.answer.empty()) rig.api.answer("PUT", kToken, c.answer);
    refreshToken(rig.api, rig.records.session);
    const auto sent = rig.api.sentTo("PUT", kToken);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(headerOf(sent[0], "Authentication"), "Bearer old");
    EXPECT_TRUE(sent[0].body.empty());
    EXPECT_EQ(rig.session()->token, c.token);
    EXPECT_EQ(rig.session()->authHeader, authHeaderFor(c.token));
  }
}

TEST(Session, FetchAccountClearsTheUserWhenTheCallFails) {
  ClientRig rig;
  rig.records.session.update([](ApiSession& s) {
    s.userId = 3;
    s.userName = "old";
  });
  EXPECT_EQ(fetchAccount(rig.api, rig.records.session), "");
  EXPECT_EQ(rig.session()->userId, 0);
  EXPECT_EQ(rig.session()->userName, "");
}

TEST(Session, ActivationRefreshesAtMostOncePerHour) {
  ClientRig rig;
  rig.api.answer("PUT", kToken, envelope(0, "ok", R"({"token":"t"})"));
  struct Step {
    const char* what;
    int minutes;  // clock moved before the activation
    bool refreshes;
  };
  const Step steps[] = {
      {"first activation", 0, true},
      {"again at once", 0, false},
      {"59 minutes later", 59, false},
      {"exactly an hour after the refresh", 1, false},
      {"61 minutes after the refresh", 1, true},
      {"a minute later", 1, false},
      {"clock set back ten minutes", -10, true},
      {"then within the hour", 30, false},
      {"more than an hour", 31, true},
  };
  size_t refreshes = 0;
  for (const Step& s : steps) {
    SCOPED_TRACE(s.what);
    rig.clock.advance(std::chrono::minutes(s.minutes));
    refreshOnActivation(rig.client);
    EXPECT_EQ(rig.workers.pending(), s.refreshes ? 1u : 0u);
    rig.workers.runAll();
    if (s.refreshes) {
      ++refreshes;
      EXPECT_EQ(rig.session()->lastRefreshTime, rig.clock.now());
    }
    EXPECT_EQ(rig.api.sentTo("PUT", kToken).size(), refreshes);
  }
}

TEST(Session, MainWindowActivationRunsTheRefreshRule) {
  ClientRig rig;
  ASSERT_TRUE(registerWindowLifecycleEvents(rig.client, rig.settings));
  ASSERT_TRUE(registerMainWindowEvents(rig.client));
  ASSERT_TRUE(rig.ui.load(Window::Main, true));
  rig.workers.runAll();  // the project list load started by the set-up
  EXPECT_TRUE(rig.ui.raise(Window::Main, "", Event::Activated));
  EXPECT_TRUE(rig.ui.raise(Window::Main, "", Event::Activated));
  rig.workers.runAll();
  EXPECT_EQ(rig.api.sentTo("PUT", kToken).size(), 1u);
}

TEST(Session, ReadersNeverSeeATokenWithAnotherRefreshsHeader) {
  ClientRig rig;
  std::atomic<bool> stop{false};
  std::atomic<int> mismatches{0};
  std::vector<std::thread> readers;
  for (int i = 0; i < 3; ++i) {
    readers.emplace_back([&] {
      while (!stop.load()) {
        const auto s = rig.records.session.load();
        if (s->authHeader != authHeaderFor(s->token) && !s->authHeader.empty()) ++mismatches;
      }
    });
  }
  for (int i = 0; i < 2000; ++i) {
    const std::string token = "token-" + std::to_string(i) + std::string(i % 7 * 10, 'x');
    rig.api.answerOnce("PUT", kToken, envelope(0, "ok", R"({"token":")" + token + R"("})"));
    refreshToken(rig.api, rig.records.session);
  }
  stop = true;
  for (std::thread& t : readers) t.join();
  EXPECT_EQ(mismatches.load(), 0);
  EXPECT_EQ(rig.session()->token, "token-1999" + std::string(1999 % 7 * 10, 'x'));
}

}  // namespace
}  // namespace pv
