#include "core/api/session.h"

#include <string_view>

#include "core/api/api_call.h"
#include "core/api/login_window.h"
#include "core/product/product.h"
#include "core/text/codepage.h"

namespace pv {

namespace {

constexpr std::string_view kLoginTitle = "登录提示";
// Within a hair of an hour (readings of a real-valued clock) counts as within the hour.
constexpr double kHourSlack = 0.0000001;

}  // namespace

void startLoginThread(ClientContext& client) {
  client.workers.start([&client] { runLogin(client); });
}

void runLogin(ClientContext& client) {
  Ui& ui = client.ui;
  ui.setEnabled(Window::Login, kLoginButton, false);
  ui.setStatusText(Window::Login, kLoginStatusBar, 0, "正在登录...");

  const std::string body = jsonStringObject({{"username", ui.text(Window::Login, kAccountBox)},
                                             {"password", ui.text(Window::Login, kPasswordBox)}});
  const std::string baseUrl = client.records.session.load()->baseUrl;
  const JsonDocument answer =
      callApi(client.apiTransport, kMethodPost, baseUrl + "/pub/auth", kJsonContentHeader, body);
  const std::string token = answer.at("/data/token").text();

  if (!token.empty()) {
    client.records.session.update([&](ApiSession& s) {
      s.token = token;
      s.authHeader = authHeaderFor(token);
    });
    if (!fetchAccount(client.apiTransport, client.records.session).empty()) {
      // The handler opens the main window on the user-interface thread; the raise returns
      // when it has, so the login window goes only once the main window is there.
      ui.raise(Window::Login, kOpenMainLabel, Event::Clicked);
      ui.destroy(Window::Login);
    } else {
      client.dialogs.show({.text = "获取用户资料失败",
                           .title = std::string(kLoginTitle),
                           .buttons = DialogButtons::Ok,
                           .owner = Window::Login});
      ui.setEnabled(Window::Login, kLoginButton, true);
    }
    refreshToken(client.apiTransport, client.records.session);
    return;
  }

  const int code = answer.member("code").toInt();
  const std::string msg = answerMessage(answer);
  ui.setStatusText(Window::Login, kLoginStatusBar, 0, msg);
  if (code == kUnknownAccountCode) {
    const DialogAnswer choice = client.dialogs.show({.text = msg + "\n" + "是否前往注册账号？",
                                                     .title = std::string(kLoginTitle),
                                                     .buttons = DialogButtons::YesNo,
                                                     .owner = Window::Login});
    if (choice == DialogAnswer::Yes) client.browser.open(registrationPage());
  } else {
    client.dialogs.show({.text = msg,
                         .title = std::string(kLoginTitle),
                         .buttons = DialogButtons::Ok,
                         .owner = Window::Login});
  }
  ui.setEnabled(Window::Login, kLoginButton, true);
}

std::string fetchAccount(HttpTransport& transport, Published<ApiSession>& session) {
  const std::shared_ptr<const ApiSession> now = session.load();
  const JsonDocument answer =
      callApi(transport, kMethodGet, now->baseUrl + "/account", now->authHeader);
  const std::int32_t id = answer.at("/data/id").toInt();
  std::string name = utf8ToGbk(answer.at("/data/username").text());
  session.update([&](ApiSession& s) {
    s.userId = id;
    s.userName = name;
  });
  return name;
}

void refreshToken(HttpTransport& transport, Published<ApiSession>& session) {
  const std::shared_ptr<const ApiSession> now = session.load();
  const JsonDocument answer =
      callApi(transport, kMethodPut, now->baseUrl + "/auth/token", now->authHeader);
  const std::string token = answer.at("/data/token").text();
  if (token.empty()) return;
  session.update([&](ApiSession& s) {
    s.token = token;
    s.authHeader = authHeaderFor(token);
  });
}

void refreshOnActivation(ClientContext& client) {
  const double now = client.clock.now();
  bool due = false;
  client.records.session.update([&](ApiSession& s) {
    const double hours = (now - s.lastRefreshTime) * kHoursPerDay;
    if (hours >= -kHourSlack && hours - 1 <= kHourSlack) return;
    s.lastRefreshTime = now;
    due = true;
  });
  if (!due) return;
  client.workers.start([&client] { refreshToken(client.apiTransport, client.records.session); });
}

}  // namespace pv
