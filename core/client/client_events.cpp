#include "core/client/client_events.h"

#include <string>

#include "core/api/global_info.h"
#include "core/client/login.h"
#include "core/client/main_window.h"
#include "core/client/service_boxes.h"
#include "core/client/version_prompts.h"

namespace pv {

bool registerLoginWindowEvents(ClientContext& client, LoginWebPage& page) {
  EventHub& events = client.ui.events();
  bool ok = true;
  ok &= events.on(Window::Login, kLoginButton, Event::Clicked,
                  [&client](EventArgs&) { startLoginThread(client); });
  ok &= events.on(Window::Login, kPasswordBox, Event::KeyDown, [&client](EventArgs& args) {
    if (args.key == kEnterKey) startLoginThread(client);
  });
  ok &= events.on(Window::Login, kOpenMainLabel, Event::Clicked,
                  [&client](EventArgs&) { client.ui.load(Window::Main, true); });
  for (const MenuDef& menu : windowDef(Window::Login).menus) {
    for (const std::string& item : menu.items) {
      ok &= events.on(Window::Login, item, Event::Clicked,
                      [&client, item](EventArgs&) { onLoginMenuItem(client, item); });
    }
  }
  client.windows.onMenuCommand(Window::Login, kDownloadMenuCommand,
                               [&client] { openDownloadPage(client); });
  ok &= events.on(Window::Login, kLoginWebView, Event::StatusTextChange,
                  [&page](EventArgs& args) { page.onStatusText(args); });
  ok &= events.on(Window::Login, kLoginWebView, Event::NewWindow,
                  [&page](EventArgs& args) { page.onNewWindow(args); });
  ok &= events.on(Window::Login, kLoginWebView, Event::BeforeNavigate,
                  [&page](EventArgs& args) { page.onBeforeNavigate(args); });
  return ok;
}

bool registerMainWindowEvents(ClientContext& client) {
  EventHub& events = client.ui.events();
  bool ok = true;
  ok &= events.on(Window::Main, "", Event::Activated,
                  [&client](EventArgs&) { refreshOnActivation(client); });
  ok &= events.on(Window::Main, kProjectBox, Event::ItemSelected,
                  [&client](EventArgs&) { onProductSelected(client); });
  ok &= events.on(Window::Main, kRefreshServicesLink, Event::LeftButtonDown, [&client](EventArgs&) {
    client.workers.start([&client] { loadScreeningProducts(client); });
  });
  return ok;
}

void startLoginWorkers(ClientContext& client) {
  client.workers.start([&client] { fetchGlobalInfo(client.webTransport, client.records); });
  client.workers.start([&client] { runVersionCheck(client, VersionCheckBy::Program); });
}

}  // namespace pv
