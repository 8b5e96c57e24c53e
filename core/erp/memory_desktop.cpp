#include "core/erp/memory_desktop.h"

#include <stdexcept>

#include "core/text/text.h"

namespace pv {

class MemoryDesktop::MemoryList final : public ForeignList {
 public:
  MemoryList(MemoryDesktop& desktop, WindowHandle window) : desktop_(desktop), window_(window) {
    std::lock_guard lock(desktop_.mutex_);
    ++desktop_.attached_;
  }
  ~MemoryList() override {
    std::lock_guard lock(desktop_.mutex_);
    --desktop_.attached_;
  }

  int columnCount() override {
    std::lock_guard lock(desktop_.mutex_);
    const List* list = answering();
    return list ? static_cast<int>(list->headers.size()) : 0;
  }
  std::string columnText(int column) override {
    std::lock_guard lock(desktop_.mutex_);
    const List* list = answering();
    if (!list || column < 0 || static_cast<size_t>(column) >= list->headers.size()) return {};
    return cutGbkText(list->headers[static_cast<size_t>(column)], kTextLimit);
  }
  int itemCount() override {
    std::lock_guard lock(desktop_.mutex_);
    const List* list = answering();
    return list ? static_cast<int>(list->rows.size()) : 0;
  }
  std::string itemText(int row, int column) override {
    std::lock_guard lock(desktop_.mutex_);
    const List* list = answering();
    if (!list || row < 0 || column < 0 || static_cast<size_t>(row) >= list->rows.size()) return {};
    const auto& cells = list->rows[static_cast<size_t>(row)].cells;
    if (static_cast<size_t>(column) >= cells.size()) return {};
    return cutGbkText(cells[static_cast<size_t>(column)], kTextLimit);
  }
  void setCheckState(int row, bool tick) override {
    std::lock_guard lock(desktop_.mutex_);
    const Node* node = desktop_.find(window_);
    if (!node || !node->list.answers || row < 0 || static_cast<size_t>(row) >= node->list.rows.size()) return;
    desktop_.nodes_[window_ - 1].list.rows[static_cast<size_t>(row)].check = tick ? Check::Ticked : Check::Unticked;
  }

 private:
  const List* answering() const {
    const Node* node = desktop_.find(window_);
    return node && node->list.answers ? &node->list : nullptr;
  }

  MemoryDesktop& desktop_;
  WindowHandle window_;
};

WindowHandle MemoryDesktop::addWindow(WindowHandle parent, std::string className, std::string title, bool shown) {
  std::lock_guard lock(mutex_);
  nodes_.push_back(Node{parent, std::move(className), std::move(title), shown, {}, {}});
  const WindowHandle handle = nodes_.size();
  if (parent == 0) {
    topLevel_.push_back(handle);
  } else {
    windowAt(parent).children.push_back(handle);
  }
  return handle;
}

WindowHandle MemoryDesktop::addList(WindowHandle parent, std::string className, std::vector<std::string> headers,
                                    const std::vector<std::vector<std::string>>& rows, bool shown) {
  const WindowHandle handle = addWindow(parent, std::move(className), "", shown);
  changeList(handle, [&](List& list) {
    list.headers = std::move(headers);
    for (const auto& cells : rows) list.rows.push_back(Row{cells, Check::Unticked});
  });
  return handle;
}

void MemoryDesktop::setShown(WindowHandle window, bool shown) {
  std::lock_guard lock(mutex_);
  windowAt(window).shown = shown;
}

void MemoryDesktop::setTitle(WindowHandle window, std::string title) {
  std::lock_guard lock(mutex_);
  windowAt(window).title = std::move(title);
}

MemoryDesktop::List MemoryDesktop::list(WindowHandle window) const {
  std::lock_guard lock(mutex_);
  const Node* node = find(window);
  return node ? node->list : List{};
}

std::string MemoryDesktop::checks(WindowHandle window) const {
  std::string digits;
  for (const Row& row : list(window).rows) {
    digits += row.check == Check::Ticked ? '1' : row.check == Check::Unticked ? '0' : '-';
  }
  return digits;
}

int MemoryDesktop::attachedLists() const {
  std::lock_guard lock(mutex_);
  return attached_;
}

std::vector<WindowHandle> MemoryDesktop::topLevelWindows() {
  std::lock_guard lock(mutex_);
  return topLevel_;
}

std::vector<WindowHandle> MemoryDesktop::descendants(WindowHandle window) {
  std::lock_guard lock(mutex_);
  std::vector<WindowHandle> out;
  if (find(window)) collect(window, out);
  return out;
}

WindowHandle MemoryDesktop::parent(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const Node* node = find(window);
  return node ? node->parent : 0;
}

std::string MemoryDesktop::className(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const Node* node = find(window);
  return node ? node->className : std::string();
}

std::string MemoryDesktop::title(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const Node* node = find(window);
  return node ? node->title : std::string();
}

bool MemoryDesktop::visible(WindowHandle window) {
  std::lock_guard lock(mutex_);
  const Node* node = find(window);
  if (!node) return false;
  for (; node; node = find(node->parent)) {
    if (!node->shown) return false;
  }
  return true;
}

std::unique_ptr<ForeignList> MemoryDesktop::attachList(WindowHandle window, std::string_view className) {
  {
    std::lock_guard lock(mutex_);
    const Node* node = find(window);
    if (!node || node->className != className) return nullptr;
  }
  return std::make_unique<MemoryList>(*this, window);
}

MemoryDesktop::Node& MemoryDesktop::windowAt(WindowHandle window) {
  if (window == 0 || window > nodes_.size()) throw std::out_of_range("no such window in the memory desktop");
  return nodes_[window - 1];
}

const MemoryDesktop::Node* MemoryDesktop::find(WindowHandle window) const {
  return window == 0 || window > nodes_.size() ? nullptr : &nodes_[window - 1];
}

void MemoryDesktop::collect(WindowHandle window, std::vector<WindowHandle>& out) const {
  for (WindowHandle child : nodes_[window - 1].children) {
    out.push_back(child);
    collect(child, out);
  }
}

}  // namespace pv
