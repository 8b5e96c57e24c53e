#include "platform/win32/win32_window_extras.h"

#include <commctrl.h>

#include <string>

#include "core/text/codepage.h"
#include "platform/win32/erp/force_foreground.h"
#include "platform/win32/ui/web_browser_host.h"
#include "platform/win32/window_lookup.h"

namespace pv {

namespace {

constexpr UINT_PTR kHookId = 0x5056;  // one hook of ours per window

// Work that must run on the thread owning the window (menus): lParam is a
// std::function<void()>*.
UINT runMessage() {
  static const UINT message = RegisterWindowMessageW(L"Parcelvane.WindowExtras.Run");
  return message;
}

LRESULT CALLBACK hookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR data) {
  try {
    auto* hook = reinterpret_cast<Win32WindowExtras::Hook*>(data);
    if (message == runMessage() && lParam != 0) {
      (*reinterpret_cast<std::function<void()>*>(lParam))();
      return 0;
    }
    // Menu commands come with lParam 0; the id arrives whole or cut to its low word.
    if (message == WM_COMMAND && lParam == 0) hook->owner->runCommand(hook->window, wParam);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, hookProc, kHookId);
  } catch (...) {
    // Must not unwind through user32.
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

Win32WindowExtras::Win32WindowExtras(Ui& ui) {
  for (Window w : kAllWindows) {
    hooks_[static_cast<size_t>(w)] = {this, w};
    if (windowDef(w).menus.empty()) continue;
    ui.events().on(w, "", Event::Created, [this, w](EventArgs&) { hook(w); });
  }
}

void Win32WindowExtras::hook(Window window) {
  if (HWND hwnd = findTopLevelWindow(window)) {
    SetWindowSubclass(hwnd, hookProc, kHookId,
                      reinterpret_cast<DWORD_PTR>(&hooks_[static_cast<size_t>(window)]));
  }
}

bool Win32WindowExtras::runCommand(Window window, WPARAM wParam) {
  std::function<void()> action;
  {
    std::lock_guard lock(mutex_);
    for (const auto& [key, value] : actions_) {
      if (key.first == window && (static_cast<WPARAM>(key.second) & 0xFFFF) == (wParam & 0xFFFF)) {
        action = value;
        break;
      }
    }
  }
  if (!action) return false;
  action();
  return true;
}

bool Win32WindowExtras::appendMenuItem(Window window, int commandId, std::string_view caption) {
  try {
    HWND hwnd = findTopLevelWindow(window);
    if (!hwnd) return false;
    const std::u16string text16 = gbkToUtf16(caption);
    const std::wstring text(text16.begin(), text16.end());
    bool added = false;
    std::function<void()> append = [&] {
      HMENU bar = GetMenu(hwnd);
      added = bar && AppendMenuW(bar, MF_STRING, static_cast<UINT_PTR>(commandId), text.c_str());
      if (added) DrawMenuBar(hwnd);
    };
    // On the window's own thread, through the hook; a window without it is changed here.
    if (GetWindowThreadProcessId(hwnd, nullptr) == GetCurrentThreadId()) {
      append();
    } else {
      SendMessageW(hwnd, runMessage(), 0, reinterpret_cast<LPARAM>(&append));
    }
    return added;
  } catch (...) {
    return false;
  }
}

void Win32WindowExtras::onMenuCommand(Window window, int commandId, std::function<void()> action) {
  std::lock_guard lock(mutex_);
  actions_[{window, commandId}] = std::move(action);
}

bool Win32WindowExtras::showDropDown(Window window, std::string_view comboName) {
  const ControlDef* def = findControl(window, comboName);
  if (!def || def->kind != ControlKind::ComboBox) return false;
  HWND combo = findControlWindow(window, comboName);
  if (!combo) return false;
  SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
  return true;
}

bool Win32WindowExtras::bringToFront(Window window) {
  HWND top = findTopLevelWindow(window);
  if (!top) return false;
  forceForeground(top);
  return true;
}

bool Win32WindowExtras::navigate(Window window, std::string_view browserName,
                                 std::string_view address) {
  try {
    const ControlDef* def = findControl(window, browserName);
    if (!def || def->kind != ControlKind::WebBrowser) return false;
    HWND view = findControlWindow(window, browserName);
    if (!view) return false;
    const std::u16string address16 = gbkToUtf16(address);
    const std::wstring wide(address16.begin(), address16.end());
    // Sent: the view's own thread navigates, and a worker waits for its answer.
    return SendMessageW(view, win32ui::webViewNavigateMessage(), 0,
                        reinterpret_cast<LPARAM>(wide.c_str())) != FALSE;
  } catch (...) {
    return false;
  }
}

}  // namespace pv
