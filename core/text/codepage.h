#pragma once
// Conversions between the program's GBK texts (code page 936) and the encodings of its
// edges: UTF-8 for JSON bodies, UTF-16 for Win32 "W" calls and the regular-expression engine.
// Implemented once per platform (MultiByteToWideChar with 936 on Windows, iconv elsewhere),
// never through the system's ANSI code page. Empty input or a failed conversion gives an
// empty result; any thread may call.
#include <string>
#include <string_view>

namespace pv {

std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);
std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view utf16);

}  // namespace pv
