#pragma once
// The desktop's top-level windows picked by class and title (see core/process/window_filter.h).
// Any thread; reads only what the system keeps for each window, so a hung program's
// windows do not hold the search up.
#include <windows.h>

#include <string_view>
#include <vector>

namespace pv {

// Walks the top-level windows in Z order. Without `findAll` the walk stops at the first
// window that passes both filters and returns it (nothing is appended); with it, every
// passing window is appended to `found` and the first of them is returned. Null when none
// passed. Filters are GBK texts.
HWND findTopLevelWindows(std::string_view classFilter, std::string_view titleFilter, bool findAll,
                         std::vector<HWND>& found);

}  // namespace pv
