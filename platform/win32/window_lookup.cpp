#include "platform/win32/window_lookup.h"

#include <array>
#include <string>

#include "platform/win32/ui/names.h"
#include "platform/win32/wide_text.h"

namespace pv {

namespace {

// The first control of the window's table that no other window has: it tells the window
// apart from the others, which share the class (and some control names).
const std::wstring& identifyingControl(Window window) {
  static const std::array<std::wstring, std::size(kAllWindows)> marks = [] {
    std::array<std::wstring, std::size(kAllWindows)> out;
    for (Window w : kAllWindows) {
      for (const ControlDef& c : windowDef(w).controls) {
        bool elsewhere = false;
        for (Window other : kAllWindows) {
          elsewhere = elsewhere || (other != w && findControl(other, c.name) != nullptr);
        }
        if (!elsewhere) {
          out[static_cast<size_t>(w)] = toWide(c.name);
          break;
        }
      }
    }
    return out;
  }();
  return marks[static_cast<size_t>(window)];
}

bool hasName(HWND hwnd, const std::wstring& name) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(hwnd, kControlNameProperty)));
  if (atom == 0) return false;
  wchar_t buffer[256];
  const UINT length = GlobalGetAtomNameW(atom, buffer, static_cast<int>(std::size(buffer)));
  return length == name.size() && name.compare(0, name.size(), buffer, length) == 0;
}

struct ChildSearch {
  const std::wstring* name;
  HWND found;
};

BOOL CALLBACK matchChild(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<ChildSearch*>(param);
  if (!hasName(hwnd, *search->name)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

HWND namedChild(HWND top, const std::wstring& name) {
  ChildSearch search{&name, nullptr};
  EnumChildWindows(top, matchChild, reinterpret_cast<LPARAM>(&search));  // all descendants
  return search.found;
}

struct TopSearch {
  const std::wstring* mark;
  HWND found;
};

BOOL CALLBACK matchTop(HWND hwnd, LPARAM param) {
  auto* search = reinterpret_cast<TopSearch*>(param);
  DWORD process = 0;
  GetWindowThreadProcessId(hwnd, &process);
  if (process != GetCurrentProcessId()) return TRUE;
  wchar_t className[64];
  const int length = GetClassNameW(hwnd, className, static_cast<int>(std::size(className)));
  if (length <= 0 || std::wstring_view(className, static_cast<size_t>(length)) != kTopLevelWindowClass) {
    return TRUE;
  }
  if (!namedChild(hwnd, *search->mark)) return TRUE;
  search->found = hwnd;
  return FALSE;
}

}  // namespace

HWND findTopLevelWindow(Window window) noexcept {
  try {
    const std::wstring& mark = identifyingControl(window);
    if (mark.empty()) return nullptr;
    TopSearch search{&mark, nullptr};
    EnumWindows(matchTop, reinterpret_cast<LPARAM>(&search));
    return search.found;
  } catch (...) {
    return nullptr;
  }
}

HWND findControlWindow(Window window, std::string_view name) noexcept {
  try {
    HWND top = findTopLevelWindow(window);
    return top ? namedChild(top, toWide(name)) : nullptr;
  } catch (...) {
    return nullptr;
  }
}

}  // namespace pv
