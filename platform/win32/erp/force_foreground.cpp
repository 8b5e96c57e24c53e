#include "platform/win32/erp/force_foreground.h"

namespace pv {

void forceForeground(HWND window) noexcept {
  if (!window) return;
  const DWORD self = GetCurrentThreadId();
  const DWORD front = GetWindowThreadProcessId(GetForegroundWindow(), nullptr);
  const bool attached = front != 0 && front != self && AttachThreadInput(self, front, TRUE);
  ShowWindow(window, SW_SHOW);
  BringWindowToTop(window);
  SetForegroundWindow(window);
  SetActiveWindow(window);
  if (attached) AttachThreadInput(self, front, FALSE);
}

}  // namespace pv
