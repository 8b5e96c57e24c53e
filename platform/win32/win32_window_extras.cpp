#include "platform/win32/win32_window_extras.h"

#include <commctrl.h>

#include <string>

#include "core/system/note_failure.h"
#include "platform/win32/erp/force_foreground.h"
#include "platform/win32/settings_registry.h"
#include "platform/win32/wide_text.h"

namespace pv {

namespace {

constexpr UINT_PTR kHookId = 0x5056;  // one hook of ours per window

LRESULT CALLBACK hookProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                          DWORD_PTR data) {
  try {
    auto* hook = reinterpret_cast<Win32WindowExtras::Hook*>(data);
    // Menu commands come with lParam 0; the id arrives whole or cut to its low word.
    if (message == WM_COMMAND && lParam == 0) hook->owner->runCommand(hook->window, wParam);
    if (message == WM_NCDESTROY) RemoveWindowSubclass(hwnd, hookProc, kHookId);
  } catch (...) {
    // Must not unwind through user32.
    noteFailure("hookProc", "menu command failed");
  }
  return DefSubclassProc(hwnd, message, wParam, lParam);
}

}  // namespace

Win32WindowExtras::Win32WindowExtras(Win32Ui& ui) : ui_(ui) {
  for (Window w : kAllWindows) hooks_[static_cast<size_t>(w)] = {this, w};
}

bool Win32WindowExtras::attachMenu(Window window) {
  if (windowDef(window).menus.empty()) return false;
  bool attached = false;
  ui_.onUiThread([&] {
    HWND hwnd = ui_.windowHandle(window);
    attached = hwnd && SetWindowSubclass(hwnd, hookProc, kHookId,
                                         reinterpret_cast<DWORD_PTR>(&hooks_[static_cast<size_t>(window)]));
  });
  return attached;
}

bool Win32WindowExtras::prepareWebViews() { return writeBrowserEmulationValue(); }

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
    const std::wstring text = toWide(caption);
    bool added = false;
    ui_.onUiThread([&] {
      HWND hwnd = ui_.windowHandle(window);
      HMENU bar = hwnd ? GetMenu(hwnd) : nullptr;
      added = bar && AppendMenuW(bar, MF_STRING, static_cast<UINT_PTR>(commandId), text.c_str());
      if (added) DrawMenuBar(hwnd);
    });
    return added;
  } catch (...) {
    noteFailure("Win32WindowExtras::appendMenuItem", "menu item could not be added");
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
  bool shown = false;
  ui_.onUiThread([&] {
    HWND combo = ui_.controlHandle(window, comboName);
    if (!combo) return;
    SendMessageW(combo, CB_SHOWDROPDOWN, TRUE, 0);
    shown = true;
  });
  return shown;
}

bool Win32WindowExtras::navigate(Window window, std::string_view browserName,
                                 std::string_view address) {
  try {
    return ui_.navigateWebView(window, browserName, address);
  } catch (...) {
    noteFailure("Win32WindowExtras::navigate", "navigation failed with an exception");
    return false;
  }
}

}  // namespace pv
