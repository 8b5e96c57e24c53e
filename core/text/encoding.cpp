#include "core/text/encoding.h"

#include <algorithm>

#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

// Converts a run that looked like GBK; should the run still be refused, it goes character
// by character so that only the bad ones are lost.
void appendRunAsUtf8(std::string& out, std::string_view run) {
  if (run.empty()) return;
  if (std::string utf8 = gbkToUtf8(run); !utf8.empty()) {
    out += utf8;
    return;
  }
  for (size_t i = 0; i < run.size();) {
    const size_t n = isGbkLeadByte(run[i]) && i + 1 < run.size() ? 2 : 1;
    const std::string utf8 = gbkToUtf8(run.substr(i, n));
    out += utf8.empty() ? std::string("?") : utf8;
    i += n;
  }
}

}  // namespace

std::string gbkToUtf8Lenient(std::string_view gbk) {
  if (gbk.empty()) return {};
  if (std::string utf8 = gbkToUtf8(gbk); !utf8.empty()) return utf8;
  std::string out;
  size_t runStart = 0;
  size_t i = 0;
  while (i < gbk.size()) {
    const auto c = static_cast<unsigned char>(gbk[i]);
    if (c < 0x80) {
      ++i;
    } else if (isGbkLeadByte(c) && i + 1 < gbk.size() && isGbkTrailByte(gbk[i + 1])) {
      i += 2;
    } else {
      appendRunAsUtf8(out, gbk.substr(runStart, i - runStart));
      out.push_back('?');
      runStart = ++i;
    }
  }
  appendRunAsUtf8(out, gbk.substr(runStart));
  return out;
}

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

std::string toUtf8Bytes(std::string_view gbk) { return gbkToUtf8Lenient(gbk); }

std::string reverseText(std::string_view text, bool wide) {
  if (!wide) return std::string(text.rbegin(), text.rend());
  std::u16string units = gbkToUtf16(text);
  std::reverse(units.begin(), units.end());
  return utf16ToGbk(units);
}

}  // namespace pv
