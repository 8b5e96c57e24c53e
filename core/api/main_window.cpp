#include "core/api/main_window.h"

#include <string>

#include "core/api/login_window.h"
#include "core/product/product.h"
#include "core/screening/services.h"

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

}  // namespace pv
