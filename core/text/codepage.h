#pragma once
// Conversions between the program's GBK texts (code page 936) and the encodings of its
// edges: UTF-8 for JSON bodies, UTF-16 for Win32 "W" calls and the regular-expression engine.
// Always code page 936, never the system's ANSI code page (codepage_backend.h), and the
// same result on every platform.
//
// One character costs one character, never the text: a character without a form on the
// other side (an emoji, "•", "€", a GBK byte without its partner, broken UTF-8) becomes
// "?" and the rest is kept, as Windows' own conversion does. Only empty input gives an
// empty result. Any thread may call.
#include <string>
#include <string_view>

namespace pv {

std::string utf8ToGbk(std::string_view utf8);
std::string gbkToUtf8(std::string_view gbk);
std::u16string gbkToUtf16(std::string_view gbk);
std::string utf16ToGbk(std::u16string_view utf16);

// gbkToUtf16 with `replacement` in place of "?" for a byte that is no GBK character, for
// callers that must tell such a byte from a real "?". Either way one unit per character: a
// lead byte with a trail byte after it is one character, any other byte is one.
std::u16string gbkToUtf16(std::string_view gbk, char16_t replacement);

}  // namespace pv
