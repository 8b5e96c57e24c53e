#pragma once
// The few window operations the Ui port does not carry: a menu item appended at run time
// with its command, a combo box's drop-down list opened for the operator, and the page of
// an embedded web view. The Win32 adapter works on the real windows; RecordingWindowExtras
// stands in for tests.
//
// Threads: any thread may call. Operations on a window that is not loaded do nothing and
// return false.
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "core/ui/ui.h"

namespace pv {

class WindowExtras {
 public:
  virtual ~WindowExtras() = default;

  // Appends a string item with this command id to the window's menu bar.
  [[nodiscard]] virtual bool appendMenuItem(Window window, int commandId, std::string_view caption) = 0;
  // The action of a command id appended with appendMenuItem; it runs on the user-interface
  // thread when the operator chooses the item. Register before the window is loaded (the
  // Win32 adapter hooks the window's commands as it is created). One action per id.
  virtual void onMenuCommand(Window window, int commandId, std::function<void()> action) = 0;
  // Opens the drop-down list of a combo box.
  [[nodiscard]] virtual bool showDropDown(Window window, std::string_view comboName) = 0;
  // Shows `address` in an embedded web view.
  [[nodiscard]] virtual bool navigate(Window window, std::string_view browserName, std::string_view address) = 0;
  // Makes the embedded web views render pages as the product's site expects (Win32: the
  // standards document mode of the system's web-browser control, a per-program value).
  // Before the first page is shown; false when that could not be set.
  [[nodiscard]] virtual bool prepareWebViews() = 0;
  // The window was just created (its Created handler, user-interface thread): from now on
  // the commands of items appended to its menu bar reach their actions. False for a window
  // without a menu bar or not loaded.
  [[nodiscard]] virtual bool attachMenu(Window window) = 0;
};

// Remembers what was asked of the windows; "loaded" is whatever the given Ui says.
class RecordingWindowExtras final : public WindowExtras {
 public:
  explicit RecordingWindowExtras(const Ui& ui) : ui_(ui) {}

  [[nodiscard]] bool appendMenuItem(Window window, int commandId, std::string_view caption) override;
  void onMenuCommand(Window window, int commandId, std::function<void()> action) override;
  [[nodiscard]] bool showDropDown(Window window, std::string_view comboName) override;
  [[nodiscard]] bool navigate(Window window, std::string_view browserName, std::string_view address) override;
  [[nodiscard]] bool prepareWebViews() override;
  [[nodiscard]] bool attachMenu(Window window) override;

  struct MenuItem {
    Window window;
    int commandId;
    std::string caption;
  };
  std::vector<MenuItem> menuItems() const;
  std::vector<std::string> dropDowns() const;  // combo names, oldest first
  std::vector<std::string> navigations() const;  // addresses, oldest first
  int webViewPreparations() const;
  std::vector<Window> attachedMenus() const;  // oldest first
  // The operator chooses an appended item: runs its action on the calling thread. False
  // when the window has no such item or no action is registered.
  bool choose(Window window, int commandId);

 private:
  const Ui& ui_;
  mutable std::mutex mutex_;
  std::vector<MenuItem> items_;
  std::vector<std::string> dropDowns_;
  std::vector<std::string> navigations_;
  int webViewPreparations_ = 0;
  std::vector<Window> attachedMenus_;
  std::map<std::pair<Window, int>, std::function<void()>> actions_;
};

}  // namespace pv
