#pragma once
// The one place where the program's GBK texts meet the "W" calls: UTF-16 converted with code
// page 936 whatever the system's code page (core/text/codepage.h). A character without a
// form on the other side becomes "?" and the rest of the text is kept; only an empty text
// converts to an empty one. Any thread may call.
#include <string>
#include <string_view>

#include "core/text/codepage.h"

namespace pv {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows' wchar_t is one UTF-16 unit");

inline std::wstring toWide(std::string_view gbk) {
  const std::u16string units = gbkToUtf16(gbk);
  return std::wstring(units.begin(), units.end());
}

inline std::string fromWide(std::wstring_view wide) {
  return utf16ToGbk(std::u16string_view(reinterpret_cast<const char16_t*>(wide.data()), wide.size()));
}

}  // namespace pv
