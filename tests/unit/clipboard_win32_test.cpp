// The clipboard adapter (cross-built unit tests, run under Wine): the quick query's mark goes
// onto the copying program's own Unicode text and leaves the copy's other formats in place.
#ifdef _WIN32

#include <windows.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "platform/win32/clipboard.h"

namespace pv {
namespace {

// What a browser leaves when the operator copies: Unicode text and an HTML fragment.
void copyAsABrowserWould(const std::wstring& text, const std::string& html, UINT htmlFormat) {
  ASSERT_TRUE(OpenClipboard(nullptr));
  EmptyClipboard();
  const auto block = [](const void* bytes, size_t size) {
    HGLOBAL memory = GlobalAlloc(GMEM_MOVEABLE, size);
    std::memcpy(GlobalLock(memory), bytes, size);
    GlobalUnlock(memory);
    return memory;
  };
  SetClipboardData(CF_UNICODETEXT, block(text.c_str(), (text.size() + 1) * sizeof(wchar_t)));
  SetClipboardData(htmlFormat, block(html.c_str(), html.size() + 1));
  CloseClipboard();
}

std::wstring unicodeOnClipboard() {
  if (!OpenClipboard(nullptr)) return L"(busy)";
  std::wstring text;
  if (HANDLE data = GetClipboardData(CF_UNICODETEXT)) {
    text = static_cast<const wchar_t*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return text;
}

std::string blockOnClipboard(UINT format) {
  if (!OpenClipboard(nullptr)) return "(busy)";
  std::string bytes;
  if (HANDLE data = GetClipboardData(format)) {
    bytes = static_cast<const char*>(GlobalLock(data));
    GlobalUnlock(data);
  }
  CloseClipboard();
  return bytes;
}

TEST(Win32Clipboard, AppendKeepsEveryCopiedCharacterAndTheOtherFormats) {
  const UINT html = RegisterClipboardFormatW(L"HTML Format");
  const std::wstring copied = L"浙江省杭州市文三路1号\u00A03栋\U0001F600";
  const std::string fragment = "<b>文三路1号</b>";
  copyAsABrowserWould(copied, fragment, html);
  Win32Clipboard clipboard;
  const std::string gbk = clipboard.text();
  EXPECT_EQ(gbk, "浙江省杭州市文三路1号?3栋?");

  // Another text by now: nothing is written over it.
  EXPECT_FALSE(clipboard.appendText("浙江省", " "));
  EXPECT_EQ(unicodeOnClipboard(), copied);

  ASSERT_TRUE(clipboard.appendText(gbk, " "));
  EXPECT_EQ(unicodeOnClipboard(), copied + L" ");
  EXPECT_EQ(blockOnClipboard(html), fragment);
  EXPECT_EQ(clipboard.text(), gbk + " ");
}

}  // namespace
}  // namespace pv

#endif
