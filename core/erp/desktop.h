#pragma once
// The Desktop port: the other programs' windows as the ERP flows see them. Top-level
// windows, their descendants and ancestors, class names, titles and visibility, and
// another program's list view read and ticked through its own memory.
//
// Threads: any thread may call; a ForeignList belongs to the thread that attached it.
// Failures are values: a window that is gone reads as the empty text, 0, false or no
// windows. Texts are GBK.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// A window of any program; 0 is no window.
using WindowHandle = std::uintptr_t;

// Another program's list view. Counts are 0 and texts empty when it does not answer (for
// example when its program runs with higher rights than ours).
class ForeignList {
 public:
  // Cell and header texts are cut to this many bytes, never in half a character.
  static constexpr size_t kTextLimit = 259;

  virtual ~ForeignList() = default;
  virtual int columnCount() = 0;
  // 0-based; the empty text past the last column.
  virtual std::string columnText(int column) = 0;
  virtual int itemCount() = 0;
  virtual std::string itemText(int row, int column) = 0;
  // Ticks or unticks the row's check box; a list without check boxes shows no change.
  virtual void setCheckState(int row, bool tick) = 0;
};

class Desktop {
 public:
  virtual ~Desktop() = default;
  // Every top-level window, topmost first.
  virtual std::vector<WindowHandle> topLevelWindows() = 0;
  // Every descendant (children, their children, ...) in the order the system enumerates
  // them: a child, then its own descendants, then its next sibling.
  virtual std::vector<WindowHandle> descendants(WindowHandle window) = 0;
  // The parent window, 0 for a top-level window.
  virtual WindowHandle parent(WindowHandle window) = 0;
  virtual std::string className(WindowHandle window) = 0;
  virtual std::string title(WindowHandle window) = 0;
  // Shown, with every ancestor shown.
  virtual bool visible(WindowHandle window) = 0;
  // The list view `window`, when its class name is `className` byte for byte; null
  // otherwise. The list is released (and with it everything held in the other program)
  // when the pointer goes.
  virtual std::unique_ptr<ForeignList> attachList(WindowHandle window, std::string_view className) = 0;
};

}  // namespace pv
