#include "core/erp/erp_windows.h"

#include "core/text/text.h"

namespace pv {

namespace {

bool sameClass(std::string_view a, std::string_view b) { return toLowerAscii(a) == toLowerAscii(b); }

bool classMatches(Desktop& desktop, WindowHandle window, std::string_view className) {
  return className.empty() || sameClass(desktop.className(window), className);
}

}  // namespace

WindowHandle findTopLevelWindowByClass(Desktop& desktop, std::string_view className) {
  for (WindowHandle window : desktop.topLevelWindows()) {
    if (sameClass(desktop.className(window), className)) return window;
  }
  return 0;
}

WindowHandle findWindowByTitlePart(Desktop& desktop, std::string_view titlePart, std::string_view className) {
  const std::string part = toLowerAscii(titlePart);
  for (WindowHandle window : desktop.topLevelWindows()) {
    if (!classMatches(desktop, window, className)) continue;
    if (containsText(toLowerAscii(desktop.title(window)), part)) return window;
  }
  return 0;
}

std::vector<WindowHandle> listChildWindowsByClass(Desktop& desktop, WindowHandle parent, std::string_view className) {
  std::vector<WindowHandle> found;
  for (WindowHandle window : desktop.descendants(parent)) {
    if (classMatches(desktop, window, className)) found.push_back(window);
  }
  return found;
}

}  // namespace pv
