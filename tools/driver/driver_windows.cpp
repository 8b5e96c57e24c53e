#include "tools/driver/driver_windows.h"

namespace pv::driver {

WindowPattern parseWindowPattern(std::wstring_view argument) {
  WindowPattern pattern;
  if (!argument.empty() && argument.front() == L'~') {
    pattern.contains = true;
    argument.remove_prefix(1);
  }
  pattern.text = argument;
  return pattern;
}

bool titleMatches(const WindowPattern& pattern, std::wstring_view title) {
  return pattern.contains ? title.find(pattern.text) != std::wstring_view::npos
                          : title == pattern.text;
}

std::wstring windowTitle(HWND window) {
  // GetWindowTextW does not send WM_GETTEXT to another process's window: it reads the
  // caption the system keeps, and cannot block on a busy client.
  const int length = GetWindowTextLengthW(window);
  if (length <= 0) return {};
  std::wstring title(static_cast<size_t>(length) + 1, L'\0');
  title.resize(static_cast<size_t>(GetWindowTextW(window, title.data(), length + 1)));
  return title;
}

std::wstring windowClass(HWND window) {
  wchar_t name[256] = {};
  const int length = GetClassNameW(window, name, 256);
  return std::wstring(name, length > 0 ? static_cast<size_t>(length) : 0);
}

std::wstring controlText(HWND control) {
  DWORD_PTR length = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXTLENGTH, 0, 0, SMTO_ABORTIFHUNG, kSendTimeoutMs,
                           &length)) {
    return {};
  }
  // The length may count bytes of an ANSI text: room for that many characters is enough.
  std::wstring text(static_cast<size_t>(length) + 1, L'\0');
  DWORD_PTR copied = 0;
  if (!SendMessageTimeoutW(control, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()),
                           SMTO_ABORTIFHUNG, kSendTimeoutMs, &copied)) {
    return {};
  }
  text.resize(copied < text.size() ? static_cast<size_t>(copied) : text.size() - 1);
  return text;
}

std::wstring controlName(HWND control) {
  const auto atom = static_cast<ATOM>(reinterpret_cast<UINT_PTR>(GetPropW(control, kControlNameProperty)));
  if (atom == 0) return {};
  wchar_t name[256] = {};
  const UINT length = GlobalGetAtomNameW(atom, name, 256);
  return std::wstring(name, length);
}

namespace {

BOOL CALLBACK collectWindow(HWND window, LPARAM list) {
  reinterpret_cast<std::vector<HWND>*>(list)->push_back(window);
  return TRUE;
}

}  // namespace

std::vector<HWND> topLevelWindows() {
  std::vector<HWND> windows;
  EnumWindows(collectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

std::vector<HWND> descendants(HWND top) {
  std::vector<HWND> windows;
  EnumChildWindows(top, collectWindow, reinterpret_cast<LPARAM>(&windows));
  return windows;
}

HWND findTopLevel(const WindowPattern& pattern, bool visibleOnly) {
  HWND hidden = nullptr;
  for (HWND window : topLevelWindows()) {
    if (!pattern.className.empty() && windowClass(window) != pattern.className) continue;
    if (!titleMatches(pattern, windowTitle(window))) continue;
    if (IsWindowVisible(window)) return window;
    if (!hidden) hidden = window;
  }
  return visibleOnly ? nullptr : hidden;
}

HWND waitTopLevel(const WindowPattern& pattern, bool visibleOnly, DWORD timeoutMs) {
  HWND found = nullptr;
  waitFor(timeoutMs, [&] { return (found = findTopLevel(pattern, visibleOnly)) != nullptr; });
  return found;
}

bool waitTopLevelGone(const WindowPattern& pattern, DWORD timeoutMs) {
  return waitFor(timeoutMs, [&] { return findTopLevel(pattern, false) == nullptr; });
}

HWND findControl(HWND top, std::wstring_view name) {
  for (HWND window : descendants(top)) {
    if (controlName(window) == name) return window;
  }
  return nullptr;
}

}  // namespace pv::driver
