// The Win32 adapters of the client's window ports against real windows (cross-built unit
// tests, run under Wine): finding our windows, the appended menu item and its command, the
// drop-down list.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "core/text/codepage.h"
#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/win32_window_extras.h"
#include "platform/win32/window_lookup.h"

namespace pv {
namespace {

template <class Done>
bool pump(Done done, std::chrono::milliseconds bound = std::chrono::seconds(30)) {
  const auto end = std::chrono::steady_clock::now() + bound;
  while (!done()) {
    if (std::chrono::steady_clock::now() > end) return false;
    MSG msg;
    while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (msg.message == WM_QUIT) continue;
      TranslateMessage(&msg);
      DispatchMessageW(&msg);
    }
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
  }
  return true;
}

std::wstring wide(std::string_view gbk) {
  const std::u16string u = gbkToUtf16(gbk);
  return {u.begin(), u.end()};
}

std::wstring titleOf(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetWindowTextW(hwnd, buffer, 256);
  return buffer;
}

class Win32WindowPortsTest : public ::testing::Test {
 protected:
  Win32Ui ui;
  Win32WindowExtras extras{ui};  // before any window is loaded, as the program does
};

TEST_F(Win32WindowPortsTest, WindowsAndControlsAreFoundByTheirTables) {
  EXPECT_EQ(findTopLevelWindow(Window::Login), nullptr);
  ASSERT_TRUE(ui.load(Window::Login, false));
  ASSERT_TRUE(ui.load(Window::Main, false));
  HWND login = findTopLevelWindow(Window::Login);
  HWND main = findTopLevelWindow(Window::Main);
  ASSERT_NE(login, nullptr);
  ASSERT_NE(main, nullptr);
  EXPECT_NE(login, main);
  EXPECT_TRUE(titleOf(login).starts_with(wide(windowDef(Window::Login).title)));
  EXPECT_TRUE(titleOf(main).starts_with(wide(windowDef(Window::Main).title)));
  EXPECT_EQ(findTopLevelWindow(Window::QuickTip), nullptr);

  // A name two windows share is looked up in the window asked for.
  ASSERT_TRUE(ui.load(Window::QuickTip, false));
  HWND mainBox = findControlWindow(Window::Main, "选择框_复制地址快速查询");
  HWND tipBox = findControlWindow(Window::QuickTip, "选择框_复制地址快速查询");
  ASSERT_NE(mainBox, nullptr);
  ASSERT_NE(tipBox, nullptr);
  EXPECT_EQ(GetAncestor(mainBox, GA_ROOT), main);
  EXPECT_EQ(GetAncestor(tipBox, GA_ROOT), findTopLevelWindow(Window::QuickTip));
  EXPECT_EQ(findControlWindow(Window::Main, "no such control"), nullptr);

  ASSERT_TRUE(ui.destroy(Window::Main));
  EXPECT_EQ(findTopLevelWindow(Window::Main), nullptr);
}

TEST_F(Win32WindowPortsTest, BringToFrontShowsAndActivatesTheWindow) {
  EXPECT_FALSE(extras.bringToFront(Window::Result)) << "not loaded";
  ASSERT_TRUE(ui.load(Window::Main, true));
  ASSERT_TRUE(ui.load(Window::Result, false));
  ASSERT_TRUE(extras.bringToFront(Window::Result));
  HWND result = findTopLevelWindow(Window::Result);
  EXPECT_TRUE(IsWindowVisible(result));
  EXPECT_EQ(GetForegroundWindow(), result);
}

TEST_F(Win32WindowPortsTest, AWorkersMenuItemReachesItsActionAndTheTableItemsStillWork) {
  int downloads = 0;
  int checks = 0;
  extras.onMenuCommand(Window::Login, 90000, [&] { ++downloads; });
  ASSERT_TRUE(ui.events().on(Window::Login, "检测新版", Event::Clicked,
                             [&](EventArgs&) { ++checks; }));
  EXPECT_FALSE(extras.appendMenuItem(Window::Login, 90000, "x"));  // not loaded
  ASSERT_TRUE(ui.load(Window::Login, true));
  HWND login = findTopLevelWindow(Window::Login);
  HMENU bar = GetMenu(login);
  ASSERT_NE(bar, nullptr);
  const int before = GetMenuItemCount(bar);

  std::atomic<bool> done{false};
  bool added = false;
  std::thread worker([&] {
    added = extras.appendMenuItem(Window::Login, 90000, "下载新版（v2.0.3）");
    done = true;
  });
  EXPECT_TRUE(pump([&] { return done.load(); }));
  worker.join();
  ASSERT_TRUE(added);
  ASSERT_EQ(GetMenuItemCount(bar), before + 1);
  wchar_t caption[64] = {};
  GetMenuStringW(bar, static_cast<UINT>(before), caption, 64, MF_BYPOSITION);
  EXPECT_EQ(std::wstring(caption), wide("下载新版（v2.0.3）"));

  // The id arrives whole (Wine) or in the low word (a 16-bit command field).
  SendMessageW(login, WM_COMMAND, 90000, 0);
  SendMessageW(login, WM_COMMAND, MAKEWPARAM(90000 & 0xFFFF, 0), 0);
  EXPECT_EQ(downloads, 2);
  // A control's notification with the same low word is not the menu item.
  SendMessageW(login, WM_COMMAND, MAKEWPARAM(90000 & 0xFFFF, BN_CLICKED),
               reinterpret_cast<LPARAM>(findControlWindow(Window::Login, "按钮_登录")));
  EXPECT_EQ(downloads, 2);

  const UINT checkId = GetMenuItemID(GetSubMenu(bar, 0), 0);
  SendMessageW(login, WM_COMMAND, MAKEWPARAM(checkId, 0), 0);
  EXPECT_EQ(checks, 1);
}

TEST_F(Win32WindowPortsTest, DropDownOpensOnTheComboBoxAsked) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  EXPECT_FALSE(extras.showDropDown(Window::Main, "按钮_查询"));
  ASSERT_TRUE(extras.showDropDown(Window::Main, "组合框_筛单服务"));
  HWND services = findControlWindow(Window::Main, "组合框_筛单服务");
  EXPECT_TRUE(SendMessageW(services, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_FALSE(SendMessageW(findControlWindow(Window::Main, "组合框_筛单项目"), CB_GETDROPPEDSTATE, 0, 0));
  SendMessageW(services, CB_SHOWDROPDOWN, FALSE, 0);
  EXPECT_FALSE(extras.showDropDown(Window::QuickTip, "组合框_筛单服务"));
}

}  // namespace
}  // namespace pv

#endif  // _WIN32
