#include "core/client/login_window.h"

#include "core/client/version_prompts.h"
#include "core/product/product.h"
#include "core/text/text.h"

namespace pv {

std::string registrationPage() { return std::string(kWebConsole) + "/pub/auth/register"; }

std::string productPage() { return std::string(kWebSite) + "/#pcView"; }

std::string browsableLink(std::string_view link) {
  if (startsWith(link, "//")) return "http:" + std::string(link);
  return std::string(link);
}

void showProductPage(ClientContext& client) {
  client.windows.navigate(Window::Login, kLoginWebView, productPage());
}

void onLoginMenuItem(ClientContext& client, std::string_view item) {
  if (item == kMenuCheckVersion) {
    client.workers.start([&client] { runVersionCheck(client, VersionCheckBy::Operator); });
  } else if (item == kMenuWebSite) {
    client.browser.open(kWebSite);
  } else if (item == kMenuConsole) {
    client.browser.open(kWebConsole);
  } else if (item == kMenuContact) {
    // The built-in chat link is protocol-relative, which no browser opens from outside.
    client.browser.open(browsableLink(client.records.contact.load()->qqLink));
  }
}

void LoginWebPage::onStatusText(EventArgs& args) {
  if (!containsText(args.text, "://")) return;
  std::lock_guard lock(mutex_);
  lastLink_ = args.text;
}

void LoginWebPage::onNewWindow(EventArgs& args) {
  args.cancel = true;
  std::string link;
  {
    std::lock_guard lock(mutex_);
    link = lastLink_;
  }
  browser_.open(link);
}

void LoginWebPage::onBeforeNavigate(EventArgs& args) {
  if (containsText(args.text, "www")) return;
  args.cancel = true;
  browser_.open(args.text);
}

}  // namespace pv
