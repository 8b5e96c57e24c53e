#include "core/text/codepage.h"

#include <windows.h>

namespace pv {
namespace {

constexpr UINT kGbk = 936;

std::u16string toUtf16(UINT codePage, std::string_view text) {
  if (text.empty() || text.size() > 0x3FFFFFFF) return {};
  const int n = MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(),
                                    static_cast<int>(text.size()), nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<size_t>(n), u'\0');
  MultiByteToWideChar(codePage, MB_ERR_INVALID_CHARS, text.data(), static_cast<int>(text.size()),
                      reinterpret_cast<wchar_t*>(out.data()), n);
  return out;
}

std::string fromUtf16(UINT codePage, std::u16string_view text) {
  if (text.empty() || text.size() > 0x1FFFFFFF) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(text.data());
  const int len = static_cast<int>(text.size());
  // Code page 936 takes no flags here; a character without a GBK form fails the call
  // through the used-default check instead.
  BOOL usedDefault = FALSE;
  BOOL* usedDefaultPtr = codePage == CP_UTF8 ? nullptr : &usedDefault;
  const DWORD flags = codePage == CP_UTF8 ? WC_ERR_INVALID_CHARS : 0;
  const int n = WideCharToMultiByte(codePage, flags, wide, len, nullptr, 0, nullptr, usedDefaultPtr);
  if (n <= 0 || usedDefault) return {};
  std::string out(static_cast<size_t>(n), '\0');
  WideCharToMultiByte(codePage, flags, wide, len, out.data(), n, nullptr, nullptr);
  return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) { return fromUtf16(kGbk, toUtf16(CP_UTF8, utf8)); }
std::string gbkToUtf8(std::string_view gbk) { return fromUtf16(CP_UTF8, toUtf16(kGbk, gbk)); }
std::u16string gbkToUtf16(std::string_view gbk) { return toUtf16(kGbk, gbk); }
std::string utf16ToGbk(std::u16string_view utf16) { return fromUtf16(kGbk, utf16); }

}  // namespace pv
