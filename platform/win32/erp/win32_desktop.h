#pragma once
// The Desktop port over the system's windows; lists through ForeignListView.
#include "core/erp/desktop.h"

namespace pv {

class Win32Desktop final : public Desktop {
 public:
  std::vector<WindowHandle> topLevelWindows() override;
  std::vector<WindowHandle> descendants(WindowHandle window) override;
  WindowHandle parent(WindowHandle window) override;
  std::string className(WindowHandle window) override;
  std::string title(WindowHandle window) override;
  bool visible(WindowHandle window) override;
  std::unique_ptr<ForeignList> attachList(WindowHandle window, std::string_view className) override;
};

}  // namespace pv
