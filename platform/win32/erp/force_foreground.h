#pragma once
#include <windows.h>

namespace pv {

// Shows `window` and makes it the active window even while another program is in front:
// the system lets only the thread that owns the foreground take it, so this thread's input
// is attached to that thread's for the moment of the switch. User-interface thread.
void forceForeground(HWND window) noexcept;

}  // namespace pv
