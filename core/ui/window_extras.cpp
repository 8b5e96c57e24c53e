#include "core/ui/window_extras.h"

namespace pv {

bool RecordingWindowExtras::appendMenuItem(Window window, int commandId,
                                           std::string_view caption) {
  if (!ui_.isLoaded(window) || windowDef(window).menus.empty()) return false;
  std::lock_guard lock(mutex_);
  items_.push_back({window, commandId, std::string(caption)});
  return true;
}

void RecordingWindowExtras::onMenuCommand(Window window, int commandId,
                                          std::function<void()> action) {
  std::lock_guard lock(mutex_);
  actions_[{window, commandId}] = std::move(action);
}

bool RecordingWindowExtras::showDropDown(Window window, std::string_view comboName) {
  const ControlDef* def = findControl(window, comboName);
  if (!ui_.isLoaded(window) || !def || def->kind != ControlKind::ComboBox) return false;
  std::lock_guard lock(mutex_);
  dropDowns_.emplace_back(comboName);
  return true;
}

bool RecordingWindowExtras::navigate(Window window, std::string_view browserName,
                                     std::string_view address) {
  const ControlDef* def = findControl(window, browserName);
  if (!ui_.isLoaded(window) || !def || def->kind != ControlKind::WebBrowser) return false;
  std::lock_guard lock(mutex_);
  navigations_.emplace_back(address);
  return true;
}

bool RecordingWindowExtras::prepareWebViews() {
  std::lock_guard lock(mutex_);
  ++webViewPreparations_;
  return true;
}

bool RecordingWindowExtras::attachMenu(Window window) {
  if (!ui_.isLoaded(window) || windowDef(window).menus.empty()) return false;
  std::lock_guard lock(mutex_);
  attachedMenus_.push_back(window);
  return true;
}

int RecordingWindowExtras::webViewPreparations() const {
  std::lock_guard lock(mutex_);
  return webViewPreparations_;
}

std::vector<Window> RecordingWindowExtras::attachedMenus() const {
  std::lock_guard lock(mutex_);
  return attachedMenus_;
}

std::vector<RecordingWindowExtras::MenuItem> RecordingWindowExtras::menuItems() const {
  std::lock_guard lock(mutex_);
  return items_;
}

std::vector<std::string> RecordingWindowExtras::dropDowns() const {
  std::lock_guard lock(mutex_);
  return dropDowns_;
}

std::vector<std::string> RecordingWindowExtras::navigations() const {
  std::lock_guard lock(mutex_);
  return navigations_;
}

bool RecordingWindowExtras::choose(Window window, int commandId) {
  std::function<void()> action;
  {
    std::lock_guard lock(mutex_);
    bool present = false;
    for (const MenuItem& item : items_) {
      present = present || (item.window == window && item.commandId == commandId);
    }
    const auto found = actions_.find({window, commandId});
    if (!present || !ui_.isLoaded(window) || found == actions_.end()) return false;
    action = found->second;
  }
  action();
  return true;
}

}  // namespace pv
