#include "core/text/codepage.h"

#include <atomic>
#include <cstdint>

#include "core/text/codepage_backend.h"
#include "core/text/text.h"
#include "core/text/utf8_decode.h"

namespace pv {
namespace {

constexpr char16_t kUnknownUnit = 0xFFFD;

bool isSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDFFF; }
bool isHighSurrogate(char32_t u) { return u >= 0xD800 && u <= 0xDBFF; }
bool isLowSurrogate(char32_t u) { return u >= 0xDC00 && u <= 0xDFFF; }

bool isAscii(std::string_view text) {
  for (const char c : text) {
    if (static_cast<unsigned char>(c) >= 0x80) return false;
  }
  return true;
}

// Code page 936 is stateless and has one result per character, so a text converts as its
// characters do one by one. Each character's result is asked of the platform once per
// process and kept: a 100,000-row order file would otherwise pay a conversion call (and its
// buffers) per cell, and an address has a few thousand different characters at most.
// Entries are written by whichever thread asks first; every writer writes the same value.
constexpr uint16_t kNotAsked = 0;
constexpr uint16_t kNoForm = 1;  // neither a GBK pair (>= 0x8140) nor a BMP character here

// GBK pair (lead 0x81..0xFE, trail 0x40..0xFE) -> its UTF-16 unit, or kNoForm.
std::atomic<uint16_t> decoded[0x7E * 0xBF];
// UTF-16 unit -> its GBK pair as lead * 256 + trail, or kNoForm. ASCII is never asked.
std::atomic<uint16_t> encoded[0x10000];

uint16_t decodedPair(unsigned char lead, unsigned char trail) {
  std::atomic<uint16_t>& slot = decoded[(lead - 0x81) * 0xBF + (trail - 0x40)];
  uint16_t unit = slot.load(std::memory_order_relaxed);
  if (unit == kNotAsked) {
    const char pair[2] = {static_cast<char>(lead), static_cast<char>(trail)};
    const std::u16string units = codepage_backend::decode936(std::string_view(pair, 2));
    // U+0000 and U+0001 never come from a pair; a result outside the BMP would be two units.
    unit = units.size() == 1 && units[0] > kNoForm ? units[0] : kNoForm;
    slot.store(unit, std::memory_order_relaxed);
  }
  return unit;
}

uint16_t encodedUnit(char16_t unit) {
  std::atomic<uint16_t>& slot = encoded[unit];
  uint16_t pair = slot.load(std::memory_order_relaxed);
  if (pair == kNotAsked) {
    const std::string bytes = codepage_backend::encode936(std::u16string_view(&unit, 1));
    // A single byte above ASCII (0x80 for the euro sign in some tables) is no GBK character.
    pair = bytes.size() == 2 && gbkCharSize(bytes, 0) == 2
               ? static_cast<uint16_t>(static_cast<unsigned char>(bytes[0]) << 8 | static_cast<unsigned char>(bytes[1]))
               : kNoForm;
    slot.store(pair, std::memory_order_relaxed);
  }
  return pair;
}

std::u16string decodeGbk(std::string_view gbk, char16_t replacement) {
  std::u16string out;
  out.reserve(gbk.size());
  for (size_t i = 0; i < gbk.size();) {
    const auto byte = static_cast<unsigned char>(gbk[i]);
    if (byte < 0x80) {
      out.push_back(byte);
      ++i;
    } else if (gbkCharSize(gbk, i) == 2) {
      const uint16_t unit = decodedPair(byte, static_cast<unsigned char>(gbk[i + 1]));
      out.push_back(unit == kNoForm ? replacement : static_cast<char16_t>(unit));
      i += 2;
    } else {
      // A lead byte without its trail, or a byte no GBK character starts with.
      out.push_back(replacement);
      ++i;
    }
  }
  return out;
}

std::string encodeGbk(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 2);
  // Code page 936 has nothing beyond the BMP: a surrogate pair is one character without a
  // form, and so is a lone surrogate.
  for (size_t i = 0; i < units.size();) {
    const char16_t unit = units[i];
    if (unit < 0x80) {
      out.push_back(static_cast<char>(unit));
      ++i;
    } else if (isSurrogate(unit)) {
      out.push_back('?');
      i += isHighSurrogate(unit) && i + 1 < units.size() && isLowSurrogate(units[i + 1]) ? 2 : 1;
    } else {
      const uint16_t pair = encodedUnit(unit);
      if (pair == kNoForm) {
        out.push_back('?');
      } else {
        out.push_back(static_cast<char>(pair >> 8));
        out.push_back(static_cast<char>(pair & 0xFF));
      }
      ++i;
    }
  }
  return out;
}

std::string utf16ToUtf8(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 3);
  for (size_t i = 0; i < units.size(); ++i) {
    char32_t c = units[i];
    if (isHighSurrogate(c) && i + 1 < units.size() && isLowSurrogate(units[i + 1])) {
      c = 0x10000 + ((c - 0xD800) << 10) + (units[++i] - 0xDC00);
    } else if (isSurrogate(c)) {
      c = kUnknownUnit;
    }
    if (c < 0x80) {
      out.push_back(static_cast<char>(c));
    } else if (c < 0x800) {
      out.push_back(static_cast<char>(0xC0 | (c >> 6)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else if (c < 0x10000) {
      out.push_back(static_cast<char>(0xE0 | (c >> 12)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    } else {
      out.push_back(static_cast<char>(0xF0 | (c >> 18)));
      out.push_back(static_cast<char>(0x80 | ((c >> 12) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | ((c >> 6) & 0x3F)));
      out.push_back(static_cast<char>(0x80 | (c & 0x3F)));
    }
  }
  return out;
}

}  // namespace

std::string utf8ToGbk(std::string_view utf8) {
  if (isAscii(utf8)) return std::string(utf8);
  // Straight from code points to bytes, as encodeGbk(utf8ToUtf16(...)) would give them: a
  // character beyond the BMP is one "?". At most two bytes for each byte of UTF-8.
  std::string out(utf8.size() * 2, '\0');
  char* to = out.data();
  decodeUtf8(utf8, [&](char32_t c) {
    if (c < 0x80) {
      *to++ = static_cast<char>(c);
      return;
    }
    const uint16_t pair = c < 0x10000 ? encodedUnit(static_cast<char16_t>(c)) : kNoForm;
    if (pair == kNoForm) {
      *to++ = '?';
    } else {
      *to++ = static_cast<char>(pair >> 8);
      *to++ = static_cast<char>(pair & 0xFF);
    }
  });
  out.resize(static_cast<size_t>(to - out.data()));
  return out;
}

std::string gbkToUtf8(std::string_view gbk) {
  if (isAscii(gbk)) return std::string(gbk);
  return utf16ToUtf8(decodeGbk(gbk, u'?'));
}

std::u16string gbkToUtf16(std::string_view gbk) { return decodeGbk(gbk, u'?'); }

std::u16string gbkToUtf16(std::string_view gbk, char16_t replacement) {
  return decodeGbk(gbk, replacement);
}

std::string utf16ToGbk(std::u16string_view utf16) { return encodeGbk(utf16); }

}  // namespace pv
