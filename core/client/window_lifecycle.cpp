#include "core/client/window_lifecycle.h"

#include <string>

#include "core/client/login_window.h"
#include "core/client/main_window.h"
#include "core/product/product.h"
#include "core/system/note_failure.h"

namespace pv {

namespace {

void openLoginWindow(ClientContext& client, const SettingsPorts& settings) {
  Ui& ui = client.ui;
  // The web page is not among these: it arrives from the network after the window shows
  // whenever it is asked for, so loadLoginWebPage asks once the window is on the screen.
  ui.setTitle(Window::Login, ui.title(Window::Login) + std::string(kProductVersion));
  client.windows.attachMenu(Window::Login);
  loadLoginSettings(settings);
}

void openMainWindow(ClientContext& client, const SettingsPorts& settings) {
  Ui& ui = client.ui;
  ui.load(Window::QuickTip, false);
  ui.load(Window::Result, false);
  loadMainSettings(settings);
  onMainWindowCreated(client);
}

void closeMainWindow(ClientContext& client, const SettingsPorts& settings) {
  if (!saveMainSettings(settings)) noteFailure("closeMainWindow", "main window values not saved");
  client.ui.destroy(Window::QuickTip);
  client.ui.destroy(Window::Result);
}

}  // namespace

void loadLoginWebPage(ClientContext& client) {
  // A page shown before the rendering mode is set keeps the old mode until it reloads.
  if (!client.windows.prepareWebViews()) noteFailure("loadLoginWebPage", "rendering mode not set");
  showProductPage(client);
}

bool registerWindowLifecycleEvents(ClientContext& client, const SettingsPorts& settings) {
  EventHub& events = client.ui.events();
  ClientContext* c = &client;
  const SettingsPorts* s = &settings;
  bool ok = events.on(Window::Login, "", Event::Created,
                      [c, s](EventArgs&) { openLoginWindow(*c, *s); });
  ok = events.on(Window::Login, "", Event::Destroying,
                 [s](EventArgs&) {
                   if (!saveLoginSettings(*s)) noteFailure("registerWindowLifecycleEvents", "login window values not saved");
                 }) && ok;
  ok = events.on(Window::Main, "", Event::Created,
                 [c, s](EventArgs&) { openMainWindow(*c, *s); }) && ok;
  ok = events.on(Window::Main, "", Event::Destroying,
                 [c, s](EventArgs&) { closeMainWindow(*c, *s); }) && ok;
  return ok;
}

}  // namespace pv
