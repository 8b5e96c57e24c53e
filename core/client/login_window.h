#pragma once
// The login window's own actions beside the login: its menu "操作", the embedded web page
// that shows the product's page and hands every foreign link to the default browser.
// The names of its controls are in core/ui/control_names.h.
#include <mutex>
#include <string>
#include <string_view>

#include "core/client/client_context.h"

namespace pv {

std::string registrationPage();  // on the web console
std::string productPage();       // the product web site's page shown in the login window

// A link the default browser can open: a protocol-relative "//host/..." gets "http:".
std::string browsableLink(std::string_view link);

// The login window's web view shows the product page (loadLoginWebPage asks for it).
void showProductPage(ClientContext& client);

// A menu item of the login window was chosen (by its caption). Unknown items do nothing.
void onLoginMenuItem(ClientContext& client, std::string_view item);

// The embedded web page's events. The page may only show the product's own site: links
// it would open elsewhere go to the default browser instead. User-interface thread.
class LoginWebPage {
 public:
  explicit LoginWebPage(Browser& browser) : browser_(browser) {}
  void onStatusText(EventArgs& args);      // remembers a link shown in the status text
  void onNewWindow(EventArgs& args);       // cancels; opens the last link seen
  void onBeforeNavigate(EventArgs& args);  // other sites: cancels and opens them outside

 private:
  Browser& browser_;
  std::mutex mutex_;
  std::string lastLink_;
};

}  // namespace pv
