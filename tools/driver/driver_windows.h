#pragma once
// Finding the client's windows and controls from another process.
//
// Top-level windows are named by their title: "TITLE" matches a title equal to TITLE,
// "~TEXT" a title that contains TEXT. Controls are named by the window property
// kControlNameProperty that the client sets on every control it creates from its
// window tables: a global atom whose name is the control's name (UTF-16).
#include <windows.h>

#include <string>
#include <string_view>
#include <vector>

#include "platform/win32/ui/control_name_property.h"

namespace pv::driver {

// Bounds every message sent to another process's window, so a hung client cannot hang us.
inline constexpr UINT kSendTimeoutMs = 5000;

struct WindowPattern {
  std::wstring text;
  bool contains = false;
  std::wstring className;  // empty: any class
};

WindowPattern parseWindowPattern(std::wstring_view argument);
bool titleMatches(const WindowPattern& pattern, std::wstring_view title);

std::wstring windowTitle(HWND window);       // the stored caption, no message sent
std::wstring windowClass(HWND window);
std::wstring controlText(HWND control);      // WM_GETTEXT, bounded
std::wstring controlName(HWND control);      // empty when the control carries no name

std::vector<HWND> topLevelWindows();
std::vector<HWND> descendants(HWND top);

// Visible windows are preferred; hidden ones match only when visibleOnly is false.
HWND findTopLevel(const WindowPattern& pattern, bool visibleOnly);
HWND waitTopLevel(const WindowPattern& pattern, bool visibleOnly, DWORD timeoutMs);
bool waitTopLevelGone(const WindowPattern& pattern, DWORD timeoutMs);

HWND findControl(HWND top, std::wstring_view name);

// Polls until done() holds or timeoutMs passed; true when it held.
template <class Condition>
bool waitFor(DWORD timeoutMs, Condition done) {
  const ULONGLONG deadline = GetTickCount64() + timeoutMs;
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() >= deadline) return false;
    Sleep(50);
  }
}

}  // namespace pv::driver
