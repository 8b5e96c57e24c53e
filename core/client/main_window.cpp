#include "core/client/main_window.h"

#include <string>

#include "core/api/session.h"
#include "core/client/login_window.h"
#include "core/client/service_boxes.h"
#include "core/product/product.h"

namespace pv {

namespace {

// Within a hair of an hour (readings of a real-valued clock) counts as within the hour.
constexpr double kHourSlack = 0.0000001;

}  // namespace

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
