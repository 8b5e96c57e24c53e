#pragma once
// A Desktop held in memory, for tests on both targets: windows in a tree with classes,
// titles and visibility, and list views with headers, rows and check states that a test
// can change between calls (an operator re-sorting the list, rows removed mid-run).
//
// Threads: any thread may call; one lock guards the state.
#include <mutex>
#include <string>
#include <vector>

#include "core/erp/desktop.h"

namespace pv {

class MemoryDesktop final : public Desktop {
 public:
  // A row's check state: no check box shown, unticked, ticked.
  enum class Check { None, Unticked, Ticked };
  struct Row {
    std::vector<std::string> cells;
    Check check = Check::None;
  };
  struct List {
    std::vector<std::string> headers;
    std::vector<Row> rows;
    bool answers = true;  // false: a list of a program with higher rights
  };

  // A window at the bottom of the Z order (parent 0) or after its parent's last child.
  WindowHandle addWindow(WindowHandle parent, std::string className, std::string title, bool shown = true);
  // A list view window with those headers and rows (every row unticked).
  WindowHandle addList(WindowHandle parent, std::string className, std::vector<std::string> headers,
                       const std::vector<std::vector<std::string>>& rows, bool shown = true);
  void setShown(WindowHandle window, bool shown);
  void setTitle(WindowHandle window, std::string title);

  // A copy of the list's state, and a change made to it under the lock.
  List list(WindowHandle window) const;
  template <class Change>
  void changeList(WindowHandle window, Change change) {
    std::lock_guard lock(mutex_);
    change(windowAt(window).list);
  }
  // The check states as one digit per row: 1 ticked, 0 unticked, '-' no check box.
  std::string checks(WindowHandle window) const;
  // How many lists are attached right now.
  int attachedLists() const;

  std::vector<WindowHandle> topLevelWindows() override;
  std::vector<WindowHandle> descendants(WindowHandle window) override;
  WindowHandle parent(WindowHandle window) override;
  std::string className(WindowHandle window) override;
  std::string title(WindowHandle window) override;
  bool visible(WindowHandle window) override;
  std::unique_ptr<ForeignList> attachList(WindowHandle window, std::string_view className) override;

 private:
  class MemoryList;
  struct Node {
    WindowHandle parent = 0;
    std::string className;
    std::string title;
    bool shown = true;
    std::vector<WindowHandle> children;
    List list;
  };
  Node& windowAt(WindowHandle window);
  const Node* find(WindowHandle window) const;
  void collect(WindowHandle window, std::vector<WindowHandle>& out) const;

  mutable std::mutex mutex_;
  std::vector<Node> nodes_;  // handle n is nodes_[n - 1]
  std::vector<WindowHandle> topLevel_;
  int attached_ = 0;
};

}  // namespace pv
