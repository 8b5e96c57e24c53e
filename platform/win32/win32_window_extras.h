#pragma once
// WindowExtras on Win32, beside the Ui adapter: it takes our windows' handles from the
// adapter and does its work on the user-interface thread through the adapter's one
// hand-off. Appended menu items reach their actions through a hook on the window's
// procedure, installed by attachMenu as the window is created; every message, the hooked
// commands included, then goes on to the window's own procedure.
//
// Keep it for the life of the Ui it is given.
#include <windows.h>

#include <array>
#include <functional>
#include <map>
#include <mutex>

#include "core/ui/window_extras.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {

class Win32WindowExtras final : public WindowExtras {
 public:
  explicit Win32WindowExtras(Win32Ui& ui);
  Win32WindowExtras(const Win32WindowExtras&) = delete;
  Win32WindowExtras& operator=(const Win32WindowExtras&) = delete;

  bool appendMenuItem(Window window, int commandId, std::string_view caption) override;
  void onMenuCommand(Window window, int commandId, std::function<void()> action) override;
  bool showDropDown(Window window, std::string_view comboName) override;
  // False while the view shows only its placeholder (no browser control could be hosted).
  bool navigate(Window window, std::string_view browserName, std::string_view address) override;
  bool prepareWebViews() override;  // the browser-emulation value (settings_registry.h)
  bool attachMenu(Window window) override;

  struct Hook {
    Win32WindowExtras* owner = nullptr;
    Window window = Window::Login;
  };
  // Called by the hook on the user-interface thread; true when an action ran.
  bool runCommand(Window window, WPARAM wParam);

 private:
  Win32Ui& ui_;
  std::array<Hook, std::size(kAllWindows)> hooks_{};
  std::mutex mutex_;
  std::map<std::pair<Window, int>, std::function<void()>> actions_;
};

}  // namespace pv
