#include "platform/win32/erp/win32_desktop.h"

#include <windows.h>

#include "core/text/codepage.h"
#include "platform/win32/erp/foreign_list_view.h"

namespace pv {

namespace {

HWND toWindow(WindowHandle window) { return reinterpret_cast<HWND>(static_cast<UINT_PTR>(window)); }
WindowHandle toHandle(HWND window) { return static_cast<WindowHandle>(reinterpret_cast<UINT_PTR>(window)); }

std::string gbkOf(const wchar_t* text, int length) {
  if (length <= 0) return {};
  return utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(text), static_cast<size_t>(length)));
}

class Win32List final : public ForeignList {
 public:
  int columnCount() override { return view_.getColumnCount(); }
  std::string columnText(int column) override { return view_.getColumnText(column); }
  int itemCount() override { return view_.getItemCount(); }
  std::string itemText(int row, int column) override { return view_.getItemText(row, column); }
  void setCheckState(int row, bool tick) override { view_.setCheckState(row, tick); }

  ForeignListView view_;
};

}  // namespace

std::vector<WindowHandle> Win32Desktop::topLevelWindows() {
  std::vector<WindowHandle> windows;
  for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    windows.push_back(toHandle(w));
  }
  return windows;
}

std::vector<WindowHandle> Win32Desktop::descendants(WindowHandle window) {
  struct Walk {
    static BOOL CALLBACK each(HWND child, LPARAM found) {
      reinterpret_cast<std::vector<WindowHandle>*>(found)->push_back(toHandle(child));
      return TRUE;
    }
  };
  std::vector<WindowHandle> found;
  if (window != 0) EnumChildWindows(toWindow(window), Walk::each, reinterpret_cast<LPARAM>(&found));
  return found;
}

WindowHandle Win32Desktop::parent(WindowHandle window) {
  // GetAncestor, not GetParent, which answers the owner of an owned top-level window.
  const HWND parent = GetAncestor(toWindow(window), GA_PARENT);
  return parent == GetDesktopWindow() ? 0 : toHandle(parent);
}

std::string Win32Desktop::className(WindowHandle window) {
  wchar_t name[257] = {};  // class names are at most 256 characters
  return gbkOf(name, GetClassNameW(toWindow(window), name, static_cast<int>(std::size(name))));
}

std::string Win32Desktop::title(WindowHandle window) {
  // For another program's window this reads the text the system keeps and sends nothing,
  // so a hung client cannot hold the search up.
  wchar_t text[1024] = {};
  return gbkOf(text, GetWindowTextW(toWindow(window), text, static_cast<int>(std::size(text))));
}

bool Win32Desktop::visible(WindowHandle window) { return window != 0 && IsWindowVisible(toWindow(window)); }

std::unique_ptr<ForeignList> Win32Desktop::attachList(WindowHandle window, std::string_view className) {
  auto list = std::make_unique<Win32List>();
  if (!list->view_.attach(toWindow(window), true, className)) return nullptr;
  return list;
}

}  // namespace pv
