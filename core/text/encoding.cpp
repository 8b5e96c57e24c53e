#include "core/text/encoding.h"

#include <algorithm>

#include "core/text/codepage.h"

namespace pv {

std::string hexEncode(std::string_view bytes, bool lowerCase, bool spaced) {
  const char* digits = lowerCase ? "0123456789abcdef" : "0123456789ABCDEF";
  std::string out;
  out.reserve(bytes.size() * (spaced ? 3 : 2));
  for (size_t i = 0; i < bytes.size(); ++i) {
    if (spaced && i) out.push_back(' ');
    const auto b = static_cast<unsigned char>(bytes[i]);
    out.push_back(digits[b >> 4]);
    out.push_back(digits[b & 0x0F]);
  }
  return out;
}

std::string toUtf8Bytes(std::string_view gbk) { return gbkToUtf8(gbk); }

std::string reverseText(std::string_view text, bool wide) {
  if (!wide) return std::string(text.rbegin(), text.rend());
  std::u16string units = gbkToUtf16(text);
  std::reverse(units.begin(), units.end());
  return utf16ToGbk(units);
}

}  // namespace pv
