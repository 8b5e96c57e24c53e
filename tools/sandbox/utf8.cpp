#include "tools/sandbox/utf8.h"

namespace pv::sandbox {
namespace {

// Decodes the character at `pos`; returns its length and stores the code point, or
// returns 0 for a malformed sequence.
size_t decode(std::string_view text, size_t pos, uint32_t& cp) noexcept {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[i]); };
  const unsigned char b0 = byte(pos);
  size_t len;
  uint32_t min;
  if (b0 < 0x80) {
    cp = b0;
    return 1;
  } else if ((b0 & 0xE0) == 0xC0) {
    len = 2, cp = b0 & 0x1F, min = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    len = 3, cp = b0 & 0x0F, min = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    len = 4, cp = b0 & 0x07, min = 0x10000;
  } else {
    return 0;
  }
  if (text.size() - pos < len) return 0;
  for (size_t i = 1; i < len; ++i) {
    const unsigned char b = byte(pos + i);
    if ((b & 0xC0) != 0x80) return 0;
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return 0;
  return len;
}

void appendUtf8(std::string& out, uint32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

}  // namespace

bool isValidUtf8(std::string_view text) noexcept {
  uint32_t cp;
  for (size_t pos = 0; pos < text.size();) {
    const size_t len = decode(text, pos, cp);
    if (len == 0) return false;
    pos += len;
  }
  return true;
}

size_t utf8CharLength(std::string_view text, size_t pos) noexcept {
  if (pos >= text.size()) return 0;
  uint32_t cp;
  const size_t len = decode(text, pos, cp);
  return len == 0 ? 1 : len;
}

size_t utf8Length(std::string_view text) noexcept {
  size_t count = 0;
  for (size_t pos = 0; pos < text.size(); pos += utf8CharLength(text, pos)) ++count;
  return count;
}

std::string_view utf8Prefix(std::string_view text, size_t count) noexcept {
  size_t pos = 0;
  while (count-- > 0 && pos < text.size()) pos += utf8CharLength(text, pos);
  return text.substr(0, pos);
}

std::string normalizeAddressText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  for (size_t pos = 0; pos < text.size();) {
    uint32_t cp;
    size_t len = decode(text, pos, cp);
    if (len == 0) {  // keep damaged bytes as they are; callers refuse invalid UTF-8 earlier
      out += text[pos++];
      continue;
    }
    pos += len;
    const bool blank = cp == ' ' || cp == '\t' || cp == '\r' || cp == '\n' || cp == '\v' ||
                       cp == '\f' || cp == 0x3000 || cp == 0xA0 || cp == 0x200B ||
                       cp == 0xFEFF;
    if (blank) continue;
    if (cp >= 0xFF01 && cp <= 0xFF5E) cp -= 0xFEE0;
    appendUtf8(out, cp);
  }
  return out;
}

}  // namespace pv::sandbox
