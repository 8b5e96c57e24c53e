#include "platform/win32/clipboard.h"

#include <windows.h>

#include <cstring>
#include <vector>

#include "platform/win32/ui/handles.h"
#include "platform/win32/wide_text.h"

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

// A movable block holding a copy of `size` bytes; empty when memory ran out.
UniqueGlobalMemory globalCopy(const void* bytes, size_t size) {
  UniqueGlobalMemory memory(GlobalAlloc(GMEM_MOVEABLE, size ? size : 1));
  if (!memory) return {};
  void* target = GlobalLock(memory.get());
  if (!target) return {};
  if (size) std::memcpy(target, bytes, size);
  GlobalUnlock(memory.get());
  return memory;
}

UniqueGlobalMemory globalText(std::wstring_view text) {
  std::wstring terminated(text);
  return globalCopy(terminated.c_str(), (terminated.size() + 1) * sizeof(wchar_t));
}

// Data set on a clipboard opened without a window would be dropped: a message-only window
// of this thread owns it for the moment of the call (the data stays after it).
UniqueWindow clipboardOwner() {
  return UniqueWindow(CreateWindowExW(0, L"STATIC", L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                      GetModuleHandleW(nullptr), nullptr));
}

// The Unicode text of the open clipboard, up to its terminating NUL; false when it holds none.
bool openClipboardText(std::wstring& text) {
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (!data) return false;
  const auto* chars = static_cast<const wchar_t*>(GlobalLock(data));
  if (!chars) return false;
  const size_t capacity = GlobalSize(data) / sizeof(wchar_t);
  size_t length = 0;
  while (length < capacity && chars[length] != 0) ++length;
  text.assign(chars, length);
  GlobalUnlock(data);
  return true;
}

// Formats whose data is a memory block the clipboard frees itself, so a copy of the block
// is the whole of the data. Left out: the GDI-object formats (the handle would die with
// EmptyClipboard), private formats (their data is whatever the owner chose) and the narrow
// texts, which Windows makes afresh from the new Unicode text.
bool copiedAsBlock(UINT format) {
  switch (format) {
    case CF_UNICODETEXT:
    case CF_TEXT:
    case CF_OEMTEXT:
    case CF_BITMAP:
    case CF_METAFILEPICT:
    case CF_PALETTE:
    case CF_ENHMETAFILE:
    case CF_OWNERDISPLAY:
    case CF_DSPBITMAP:
    case CF_DSPMETAFILEPICT:
    case CF_DSPENHMETAFILE:
      return false;
    default:
      return !(format >= CF_PRIVATEFIRST && format <= CF_GDIOBJLAST);
  }
}

struct HeldFormat {
  UINT format;
  UniqueGlobalMemory data;
};

}  // namespace

std::string Win32Clipboard::text() {
  const ClipboardSession session(nullptr);
  if (!session.open()) return {};
  std::wstring wide;
  if (!openClipboardText(wide)) return {};
  return fromWide(wide);
}

bool Win32Clipboard::setText(std::string_view text) {
  const UniqueWindow owner = clipboardOwner();
  if (!owner) return false;
  UniqueGlobalMemory memory = globalText(toWide(text));
  if (!memory) return false;

  const ClipboardSession session(owner.get());
  if (!session.open() || !EmptyClipboard()) return false;
  if (!SetClipboardData(CF_UNICODETEXT, memory.get())) return false;
  memory.release();  // the clipboard owns it now
  return true;
}

bool Win32Clipboard::appendText(std::string_view expected, std::string_view suffix) {
  const UniqueWindow owner = clipboardOwner();
  if (!owner) return false;
  const ClipboardSession session(owner.get());
  if (!session.open()) return false;
  std::wstring wide;
  // Read and replaced in one opening: a copy made in between cannot be overwritten.
  if (!openClipboardText(wide) || fromWide(wide) != expected) return false;
  UniqueGlobalMemory text = globalText(wide + toWide(suffix));
  if (!text) return false;

  std::vector<HeldFormat> kept;
  for (UINT format = EnumClipboardFormats(0); format != 0; format = EnumClipboardFormats(format)) {
    if (!copiedAsBlock(format)) continue;
    HANDLE data = GetClipboardData(format);
    if (!data) continue;
    const void* bytes = GlobalLock(data);
    if (!bytes) continue;
    UniqueGlobalMemory copy = globalCopy(bytes, GlobalSize(data));
    GlobalUnlock(data);
    if (copy) kept.push_back({format, std::move(copy)});
  }

  if (!EmptyClipboard()) return false;
  if (!SetClipboardData(CF_UNICODETEXT, text.get())) return false;
  text.release();
  for (HeldFormat& held : kept) {
    if (SetClipboardData(held.format, held.data.get())) held.data.release();
  }
  return true;
}

}  // namespace pv
