#include "tools/driver/clipboard.h"

#include <windows.h>

#include <cstring>

#include "platform/win32/unique.h"
#include "tools/driver/driver_windows.h"

namespace pv::driver {
namespace {

// Another program (the client's clipboard watch among them) may hold the clipboard for a
// moment: keep trying this long.
constexpr DWORD kOpenMs = 3000;

struct WindowTraits {
  using Raw = HWND;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { DestroyWindow(h); }
};

struct GlobalMemoryTraits {
  using Raw = HGLOBAL;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { GlobalFree(h); }
};

class OpenClipboardScope {
 public:
  explicit OpenClipboardScope(HWND owner) {
    open_ = waitFor(kOpenMs, [&] { return OpenClipboard(owner) != FALSE; });
  }
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  explicit operator bool() const { return open_; }

 private:
  bool open_ = false;
};

}  // namespace

bool setClipboardText(const std::wstring& text, std::wstring& error) {
  // Data set while no window owns the clipboard is refused: a message-only window owns it.
  const Unique<WindowTraits> owner(
      CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr, nullptr, nullptr));
  Unique<GlobalMemoryTraits> memory(GlobalAlloc(GMEM_MOVEABLE, (text.size() + 1) * sizeof(wchar_t)));
  if (!owner || !memory) {
    error = L"cannot prepare the clipboard text";
    return false;
  }
  if (void* bytes = GlobalLock(memory.get())) {
    std::memcpy(bytes, text.c_str(), (text.size() + 1) * sizeof(wchar_t));
    GlobalUnlock(memory.get());
  } else {
    error = L"cannot prepare the clipboard text";
    return false;
  }
  const OpenClipboardScope clipboard(owner.get());
  if (!clipboard) {
    error = L"the clipboard stayed busy";
    return false;
  }
  if (!EmptyClipboard() || !SetClipboardData(CF_UNICODETEXT, memory.get())) {
    error = L"the clipboard refused the text";
    return false;
  }
  memory.release();  // the system's now
  return true;
}

bool clipboardText(std::wstring& text, std::wstring& error) {
  text.clear();
  const OpenClipboardScope clipboard(nullptr);
  if (!clipboard) {
    error = L"the clipboard stayed busy";
    return false;
  }
  const HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return true;
  const auto* chars = static_cast<const wchar_t*>(GlobalLock(data));
  if (!chars) return true;
  const size_t limit = GlobalSize(data) / sizeof(wchar_t);
  size_t length = 0;
  while (length < limit && chars[length] != L'\0') ++length;
  text.assign(chars, length);
  GlobalUnlock(data);
  return true;
}

}  // namespace pv::driver
