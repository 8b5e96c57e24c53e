#pragma once
// The login window's own actions beside the login: its menu "操作", the embedded web page
// that shows the product's page and hands every foreign link to the default browser, and
// the names of the controls the session flows use.
#include <mutex>
#include <string>
#include <string_view>

#include "core/client/client_context.h"

namespace pv {

inline constexpr std::string_view kAccountBox = "编辑框_账户";
inline constexpr std::string_view kPasswordBox = "编辑框_密码";
inline constexpr std::string_view kLoginButton = "按钮_登录";
inline constexpr std::string_view kLoginStatusBar = "状态条";
// Hidden; its Clicked event opens the main window on the user-interface thread.
inline constexpr std::string_view kOpenMainLabel = "标签_载入使用";
inline constexpr std::string_view kLoginWebView = "互联网浏览器1";

// Menu items of the login window.
inline constexpr std::string_view kMenuCheckVersion = "检测新版";
inline constexpr std::string_view kMenuWebSite = "访问官网";
inline constexpr std::string_view kMenuConsole = "管理后台";
inline constexpr std::string_view kMenuContact = "联系客服";

std::string registrationPage();  // on the web console
std::string productPage();       // the product web site's page shown in the login window

// A link the default browser can open: a protocol-relative "//host/..." gets "http:".
std::string browsableLink(std::string_view link);

// The login window was created: its web view shows the product page.
void onLoginWindowCreated(ClientContext& client);

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
