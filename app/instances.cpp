#include <windows.h>

#include <vector>

#include "app/startup.h"
#include "core/product/product.h"
#include "platform/win32/lifecycle/top_level_windows.h"
#include "platform/win32/ui/names.h"
#include "platform/win32/wide_text.h"

namespace pv {

void closeEarlierInstances() {
  // The title alone is not enough: a browser showing our web site, or a document named
  // after the product, carries the mark too and is not ours to close.
  const std::string classFilter = fromWide(kTopLevelWindowClass);
  std::vector<HWND> windows;
  findTopLevelWindows(classFilter, kWindowTitleMark, true, windows);
  for (HWND window : windows) PostMessageW(window, WM_CLOSE, 0, 0);
}

}  // namespace pv
