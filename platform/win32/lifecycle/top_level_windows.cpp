#include "platform/win32/lifecycle/top_level_windows.h"

#include <string>

#include "core/process/window_filter.h"
#include "platform/win32/wide_text.h"

namespace pv {

namespace {

std::string toGbk(const wchar_t* text, int length) {
  if (length <= 0) return {};
  return fromWide(std::wstring_view(text, static_cast<size_t>(length)));
}

std::string classNameOf(HWND window) {
  wchar_t name[256];  // window class names are at most 256 characters
  return toGbk(name, GetClassNameW(window, name, static_cast<int>(std::size(name))));
}

std::string titleOf(HWND window) {
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring title(static_cast<size_t>(length) + 1, L'\0');
  return toGbk(title.data(), GetWindowTextW(window, title.data(), length + 1));
}

}  // namespace

HWND findTopLevelWindows(std::string_view classFilter, std::string_view titleFilter, bool findAll,
                         std::vector<HWND>& found) {
  HWND first = nullptr;
  for (HWND w = GetWindow(GetDesktopWindow(), GW_CHILD); w; w = GetWindow(w, GW_HWNDNEXT)) {
    // Read only what a filter needs: a title is the costlier of the two.
    const std::string className = classFilter.empty() ? std::string() : classNameOf(w);
    const std::string title = titleFilter.empty() ? std::string() : titleOf(w);
    if (!windowPassesFilters(classFilter, titleFilter, className, title)) continue;
    if (!findAll) return w;
    found.push_back(w);
    if (!first) first = w;
  }
  return first;
}

}  // namespace pv
