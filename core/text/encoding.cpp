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
    const size_t n = gbkCharSize(run, i);
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
    } else if (gbkCharSize(gbk, i) == 2) {
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

std::string utf8ToGbkLenient(std::string_view utf8) {
  if (std::all_of(utf8.begin(), utf8.end(), [](char c) { return static_cast<unsigned char>(c) < 0x80; }))
    return std::string(utf8);
  if (std::string gbk = utf8ToGbk(utf8); !gbk.empty()) return gbk;
  std::string out;
  size_t i = 0;
  while (i < utf8.size()) {
    const auto c = static_cast<unsigned char>(utf8[i]);
    size_t n = c < 0x80 ? 1 : c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : c >= 0xC0 ? 2 : 1;
    if (i + n > utf8.size()) n = 1;
    for (size_t k = 1; k < n; ++k) {
      if ((static_cast<unsigned char>(utf8[i + k]) & 0xC0) != 0x80) {
        n = 1;
        break;
      }
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else {
      const std::string one = n > 1 ? utf8ToGbk(utf8.substr(i, n)) : std::string();
      out += one.empty() ? std::string("?") : one;
    }
    i += n;
  }
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
