#pragma once
// Finds the handles of our own windows and controls from any thread, without reaching
// into the Win32 Ui adapter: a top-level window of our class in this process is known by
// a control only its table has, a control by the name property every control carries.
#include <windows.h>

#include <string_view>

#include "core/ui/window_defs.h"

namespace pv {

// Null when the window is not loaded.
HWND findTopLevelWindow(Window window) noexcept;
// Null when the window is not loaded or has no such control.
HWND findControlWindow(Window window, std::string_view name) noexcept;

}  // namespace pv
