#include "core/client/main_window.h"

#include <string>

#include "core/api/session.h"
#include "core/client/login_window.h"
#include "core/client/service_boxes.h"
#include "core/product/product.h"

namespace pv {

void greetUser(Ui& ui, const ApiSession& session) {
  ui.setText(Window::Main, kGreetingLabel, "欢迎您，" + session.userName);
}

void fillContactPage(Ui& ui, const ServiceContact& contact) {
  ui.setText(Window::Main, kQqLabel, contact.qqNumber);
  ui.setText(Window::Main, kWechatLabel, contact.wechatId);
  // A click hands the target to the default browser, which cannot open "//host/...".
  ui.setLinkTarget(Window::Main, kContactLink, browsableLink(contact.qqLink));
  ui.setPicture(Window::Main, kQqPicture, contact.qqQrImage);
  ui.setPicture(Window::Main, kWechatPicture, contact.wechatQrImage);
}

void onMainWindowCreated(ClientContext& client) {
  Ui& ui = client.ui;
  client.workers.start([&client] { loadScreeningProducts(client); });
  ui.setTitle(Window::Main, ui.title(Window::Main) + std::string(kProductVersion));
  greetUser(ui, *client.records.session.load());
  fillContactPage(ui, *client.records.contact.load());
}

void refreshOnActivation(ClientContext& client) {
  const ClockTime now = client.clock.now();
  bool due = false;
  client.records.session.update([&](ApiSession& s) {
    // Within the hour after the last refresh nothing is due; a clock set back before it is.
    const auto since = now - s.lastRefreshTime;
    if (since >= ClockTime::duration::zero() && since <= std::chrono::hours(1)) return;
    s.lastRefreshTime = now;
    due = true;
  });
  if (!due) return;
  client.workers.start([&client] { refreshToken(client.apiTransport, client.records.session); });
}

}  // namespace pv
