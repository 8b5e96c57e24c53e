#include "core/client/login.h"

#include <string>
#include <string_view>

#include "core/api/session.h"
#include "core/client/login_window.h"

namespace pv {

namespace {

constexpr std::string_view kLoginTitle = "登录提示";
constexpr std::string_view kLoginNoAnswerText = "无法连接服务器，请检查网络后重试";

}  // namespace

void startLoginThread(ClientContext& client) {
  client.workers.start([&client] { runLogin(client); });
}

void runLogin(ClientContext& client) {
  Ui& ui = client.ui;
  ui.setEnabled(Window::Login, kLoginButton, false);
  ui.setStatusText(Window::Login, kLoginStatusBar, 0, "正在登录...");

  const LoginAnswer answer =
      requestLogin(client.apiTransport, client.records.session.load()->baseUrl,
                   ui.text(Window::Login, kAccountBox), ui.text(Window::Login, kPasswordBox));

  if (!answer.token.empty()) {
    storeToken(client.records.session, answer.token);
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

  // No answer at all (no connection, a time-out, a body that is no answer) leaves the service
  // nothing to say: the operator still learns what happened.
  const std::string msg = answer.message.empty() ? std::string(kLoginNoAnswerText) : answer.message;
  ui.setStatusText(Window::Login, kLoginStatusBar, 0, msg);
  if (answer.code == kUnknownAccountCode) {
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

}  // namespace pv
