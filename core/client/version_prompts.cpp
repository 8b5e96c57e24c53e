#include "core/client/version_prompts.h"

#include <string>
#include <string_view>

#include "core/api/version_check.h"
#include "core/client/login_window.h"

namespace pv {

namespace {

constexpr std::string_view kVersionTitle = "检测版本";

// The check's boxes belong to the login window: once a login has replaced it by the main
// window, a late answer asks nothing.
DialogAnswer ask(ClientContext& client, std::string text) {
  if (!client.ui.isLoaded(Window::Login)) return DialogAnswer::None;
  return client.dialogs.show({.text = std::move(text),
                              .title = std::string(kVersionTitle),
                              .buttons = DialogButtons::YesNo,
                              .owner = Window::Login});
}

// Appends the download item unless an earlier answer did: the first check to get here
// claims the item, so checks running side by side cannot append it twice.
void addDownloadMenuItem(ClientContext& client, const std::string& latest) {
  bool claimed = false;
  client.records.update.update([&](UpdateInfo& u) {
    claimed = !u.downloadMenuAdded;
    u.downloadMenuAdded = true;
  });
  if (!claimed) return;
  const bool added = client.windows.appendMenuItem(Window::Login, kDownloadMenuCommand,
                                                   "下载新版（v" + latest + "）");
  if (!added) client.records.update.update([](UpdateInfo& u) { u.downloadMenuAdded = false; });
}

}  // namespace

void runVersionCheck(ClientContext& client, VersionCheckBy by) {
  const VersionAnswer answer =
      checkClientVersion(client.apiTransport, client.records.session.load()->baseUrl);

  if (!answer.answered) {
    if (ask(client, "网络错误，检测版本失败，是否重新检测？") == DialogAnswer::Yes) {
      client.windows.navigate(Window::Login, kLoginWebView, productPage());
      client.workers.start([&client] { runVersionCheck(client, VersionCheckBy::Program); });
    }
    return;
  }

  client.records.update.update([&](UpdateInfo& u) { u.downloadUrl = answer.downloadUrl; });

  if (answer.forbidden || answer.currentId < 1) {
    if (ask(client, "当前版本停止支持，是否前往下载新版？") == DialogAnswer::Yes) {
      client.browser.open(answer.downloadUrl);
    }
    return;
  }

  client.ui.setEnabled(Window::Login, kLoginButton, true);
  // Compared as the bytes came: any difference counts as a new version.
  if (answer.latest != answer.current) {
    addDownloadMenuItem(client, answer.latest);
    if (ask(client, "检测到新版本v" + answer.latest + "，是否前往下载新版？") ==
        DialogAnswer::Yes) {
      client.browser.open(answer.downloadUrl);
    }
  } else if (by == VersionCheckBy::Operator && client.ui.isLoaded(Window::Login)) {
    client.dialogs.show({.text = "当前已经是最新版，无需更新！",
                         .title = std::string(kVersionTitle),
                         .buttons = DialogButtons::Ok,
                         .owner = Window::Login});
  }
}

void openDownloadPage(ClientContext& client) {
  client.browser.open(client.records.update.load()->downloadUrl);
}

}  // namespace pv
