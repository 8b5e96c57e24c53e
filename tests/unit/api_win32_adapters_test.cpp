// The Win32 adapters of the client's window ports against real windows (cross-built unit
// tests, run under Wine): our windows' handles, the appended menu item and its command, the
// drop-down list, a worker's message box.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_window_extras.h"
#include "platform/win32/wide_text.h"

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

std::wstring titleOf(HWND hwnd) {
  wchar_t buffer[256] = {};
  GetWindowTextW(hwnd, buffer, 256);
  return buffer;
}

class Win32WindowPortsTest : public ::testing::Test {
 protected:
  Win32WindowPortsTest() {
    // As the login window's opening does.
    EXPECT_TRUE(ui.events().on(Window::Login, "", Event::Created,
                               [this](EventArgs&) { EXPECT_TRUE(extras.attachMenu(Window::Login)); }));
  }

  Win32Ui ui;
  Win32WindowExtras extras{ui};
};

TEST_F(Win32WindowPortsTest, WindowsAndControlsAreFoundByTheirTables) {
  EXPECT_EQ(ui.windowHandle(Window::Login), nullptr);
  ASSERT_TRUE(ui.load(Window::Login, false));
  ASSERT_TRUE(ui.load(Window::Main, false));
  HWND login = ui.windowHandle(Window::Login);
  HWND main = ui.windowHandle(Window::Main);
  ASSERT_NE(login, nullptr);
  ASSERT_NE(main, nullptr);
  EXPECT_NE(login, main);
  EXPECT_TRUE(titleOf(login).starts_with(toWide(windowDef(Window::Login).title)));
  EXPECT_TRUE(titleOf(main).starts_with(toWide(windowDef(Window::Main).title)));
  EXPECT_EQ(ui.windowHandle(Window::QuickTip), nullptr);

  // A name two windows share is looked up in the window asked for.
  ASSERT_TRUE(ui.load(Window::QuickTip, false));
  HWND mainBox = ui.controlHandle(Window::Main, kQuickQueryCheck);
  HWND tipBox = ui.controlHandle(Window::QuickTip, kQuickQueryCheck);
  ASSERT_NE(mainBox, nullptr);
  ASSERT_NE(tipBox, nullptr);
  EXPECT_EQ(GetAncestor(mainBox, GA_ROOT), main);
  EXPECT_EQ(GetAncestor(tipBox, GA_ROOT), ui.windowHandle(Window::QuickTip));
  EXPECT_EQ(ui.controlHandle(Window::Main, "no such control"), nullptr);

  ASSERT_TRUE(ui.destroy(Window::Main));
  EXPECT_EQ(ui.windowHandle(Window::Main), nullptr);
}

TEST_F(Win32WindowPortsTest, ActivateShowsTheWindowInFront) {
  EXPECT_FALSE(ui.activate(Window::Result)) << "not loaded";
  ASSERT_TRUE(ui.load(Window::Main, true));
  ASSERT_TRUE(ui.load(Window::Result, false));
  ASSERT_TRUE(ui.activate(Window::Result));
  HWND result = ui.windowHandle(Window::Result);
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
  HWND login = ui.windowHandle(Window::Login);
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
  EXPECT_EQ(std::wstring(caption), toWide("下载新版（v2.0.3）"));

  // The id arrives whole (Wine) or in the low word (a 16-bit command field).
  SendMessageW(login, WM_COMMAND, 90000, 0);
  SendMessageW(login, WM_COMMAND, MAKEWPARAM(90000 & 0xFFFF, 0), 0);
  EXPECT_EQ(downloads, 2);
  // A control's notification with the same low word is not the menu item.
  SendMessageW(login, WM_COMMAND, MAKEWPARAM(90000 & 0xFFFF, BN_CLICKED),
               reinterpret_cast<LPARAM>(ui.controlHandle(Window::Login, kLoginButton)));
  EXPECT_EQ(downloads, 2);

  const UINT checkId = GetMenuItemID(GetSubMenu(bar, 0), 0);
  SendMessageW(login, WM_COMMAND, MAKEWPARAM(checkId, 0), 0);
  EXPECT_EQ(checks, 1);
}

TEST_F(Win32WindowPortsTest, DropDownOpensOnTheComboBoxAsked) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  EXPECT_FALSE(extras.showDropDown(Window::Main, kQueryButton));
  ASSERT_TRUE(extras.showDropDown(Window::Main, kServiceBox));
  HWND services = ui.controlHandle(Window::Main, kServiceBox);
  EXPECT_TRUE(SendMessageW(services, CB_GETDROPPEDSTATE, 0, 0));
  EXPECT_FALSE(SendMessageW(ui.controlHandle(Window::Main, kProjectBox), CB_GETDROPPEDSTATE, 0, 0));
  SendMessageW(services, CB_SHOWDROPDOWN, FALSE, 0);
  EXPECT_FALSE(extras.showDropDown(Window::QuickTip, kServiceBox));
}

// A worker's box must be modal to our window: it runs on the thread that owns the window,
// owned by it, and the worker gets the operator's answer.
TEST_F(Win32WindowPortsTest, AWorkersMessageBoxRunsOnTheUserInterfaceThreadOwnedByOurWindow) {
  ASSERT_TRUE(ui.load(Window::Login, true));
  Win32Dialogs dialogs(ui);
  // Input left in this thread's queue by earlier tests would answer the box in its place.
  pump([] { return true; });
  for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  struct Case {
    Window owner;
    bool ownerLoaded;
  };
  for (const Case c : {Case{Window::Login, true}, Case{Window::Main, false}}) {
    SCOPED_TRACE(static_cast<int>(c.owner));
    std::atomic<bool> done{false};
    DialogAnswer answer = DialogAnswer::None;
    std::thread worker([&] {
      answer = dialogs.show({.text = "x", .title = "pv-box-test", .buttons = DialogButtons::YesNo,
                             .owner = c.owner});
      done = true;
    });
    // The box's own message loop keeps this thread busy, so another thread answers it.
    DWORD boxThread = 0;
    HWND boxOwner = nullptr;
    std::thread operatorHand([&] {
      for (int i = 0; i < 1000 && !done; ++i) {
        HWND box = FindWindowW(L"#32770", L"pv-box-test");
        HWND yes = box ? GetDlgItem(box, IDYES) : nullptr;
        if (yes && IsWindowVisible(box)) {
          boxThread = GetWindowThreadProcessId(box, nullptr);
          boxOwner = GetWindow(box, GW_OWNER);
          SendMessageW(yes, BM_CLICK, 0, 0);
          return;
        }
        Sleep(10);
      }
    });
    EXPECT_TRUE(pump([&] { return done.load(); }));
    worker.join();
    operatorHand.join();
    EXPECT_EQ(answer, DialogAnswer::Yes);
    EXPECT_EQ(boxThread, GetCurrentThreadId());
    EXPECT_EQ(boxOwner, c.ownerLoaded ? ui.windowHandle(c.owner) : nullptr);
  }
}

// A box waiting for the operator holds up no worker: another worker's writes land while it is
// open, each once and in order, and nothing of them comes again when it closes.
TEST_F(Win32WindowPortsTest, AWorkersWritesLandWhileAMessageBoxIsOpen) {
  ASSERT_TRUE(ui.load(Window::Main, true));
  Win32Dialogs dialogs(ui);
  pump([] { return true; });
  for (MSG msg; PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE);) DispatchMessageW(&msg);
  std::atomic<bool> boxDone{false}, writesDone{false};
  std::thread asking([&] {
    dialogs.show({.text = "x", .title = "pv-box-writes", .buttons = DialogButtons::Ok, .owner = Window::Main});
    boxDone = true;
  });
  // The box's own loop keeps this thread busy: another thread plays the operator, and a
  // third writes while the box is up.
  const std::vector<TextRun> rest = {{"二", 0x0000FF, false}, {"三\r\n", 0, true}};
  bool boxSeen = false, openAfterWrites = false, answeredBeforeWrites = true;
  std::string textWhileOpen;
  std::thread operatorHand([&] {
    HWND box = nullptr;
    for (int i = 0; i < 1000 && !box; ++i) {
      HWND found = FindWindowW(L"#32770", L"pv-box-writes");
      if (found && IsWindowVisible(found)) box = found;
      else Sleep(10);
    }
    if (!box) return;
    boxSeen = true;
    std::thread writing([&] {
      ui.appendRichText(Window::Main, kOutputBox, TextRun{"一", 0, false});
      ui.appendRichText(Window::Main, kOutputBox, rest);
      ui.setStatusText(Window::Main, kMainStatusBar, 0, "写完");
      writesDone = true;
    });
    writing.join();
    openAfterWrites = IsWindow(box) && IsWindowVisible(box);
    answeredBeforeWrites = boxDone.load();
    textWhileOpen = ui.text(Window::Main, kOutputBox);
    SendMessageW(GetDlgItem(box, IDOK), BM_CLICK, 0, 0);
  });
  EXPECT_TRUE(pump([&] { return boxDone.load(); }));
  asking.join();
  operatorHand.join();
  ASSERT_TRUE(boxSeen);
  EXPECT_TRUE(writesDone.load());
  EXPECT_TRUE(openAfterWrites);
  EXPECT_FALSE(answeredBeforeWrites);
  EXPECT_EQ(textWhileOpen, "一二三\r\n");
  EXPECT_EQ(ui.text(Window::Main, kOutputBox), "一二三\r\n");
  EXPECT_EQ(ui.statusText(Window::Main, kMainStatusBar, 0), "写完");
}

}  // namespace
}  // namespace pv

#endif  // _WIN32
