#include "platform/win32/clipboard.h"

#include <windows.h>

#include <cstring>

#include "core/text/codepage.h"
#include "platform/win32/ui/handles.h"

namespace pv {
namespace {

// Another program may hold the clipboard for a moment (a copy in progress): try a few
// times before giving up.
bool openClipboard(HWND owner) {
  for (int attempt = 0; attempt < 10; ++attempt) {
    if (OpenClipboard(owner)) return true;
    Sleep(20);
  }
  return false;
}

class ClipboardSession {
 public:
  explicit ClipboardSession(HWND owner) : open_(openClipboard(owner)) {}
  ~ClipboardSession() {
    if (open_) CloseClipboard();
  }
  ClipboardSession(const ClipboardSession&) = delete;
  ClipboardSession& operator=(const ClipboardSession&) = delete;
  bool open() const noexcept { return open_; }

 private:
  bool open_;
};

struct GlobalMemoryTraits {
  using Raw = HGLOBAL;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { GlobalFree(h); }
};
using UniqueGlobalMemory = Unique<GlobalMemoryTraits>;

}  // namespace

std::string Win32Clipboard::text() {
  const ClipboardSession session(nullptr);
  if (!session.open()) return {};
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return {};
  const auto* chars = static_cast<const char16_t*>(GlobalLock(data));
  if (!chars) return {};
  const size_t capacity = GlobalSize(data) / sizeof(char16_t);
  size_t length = 0;
  while (length < capacity && chars[length] != 0) ++length;
  std::string text = utf16ToGbk(std::u16string_view(chars, length));
  GlobalUnlock(data);
  return text;
}

bool Win32Clipboard::setText(std::string_view text) {
  // Data set on a clipboard opened without a window would be dropped: a message-only
  // window of this thread owns it for the moment of the call (the text stays after it).
  const UniqueWindow owner(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                           GetModuleHandleW(nullptr), nullptr));
  if (!owner) return false;
  const std::u16string wide = gbkToUtf16(text);
  if (wide.empty() && !text.empty()) return false;
  UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, (wide.size() + 1) * sizeof(char16_t)));
  if (!memory) return false;
  void* target = GlobalLock(memory.get());
  if (!target) return false;
  std::memcpy(target, wide.c_str(), (wide.size() + 1) * sizeof(char16_t));
  GlobalUnlock(memory.get());

  const ClipboardSession session(owner.get());
  if (!session.open() || !EmptyClipboard()) return false;
  if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
  memory.release();  // the clipboard owns it now
  return true;
}

}  // namespace pv
