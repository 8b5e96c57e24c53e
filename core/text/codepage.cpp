#include "core/text/codepage.h"

#include <utility>
#include <vector>

#include "core/text/codepage_backend.h"
#include "core/text/text.h"

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

// Number of characters of `bytes` when every one is ASCII or a whole GBK pair; 0 when a
// byte stands alone (the single-byte 0x80 that some tables give for "€", say), which the
// program's texts never hold.
size_t wellFormedGbkCharacters(std::string_view bytes) {
  size_t count = 0;
  for (size_t i = 0; i < bytes.size(); ++count) {
    const size_t length = gbkCharSize(bytes, i);
    if (length == 1 && static_cast<unsigned char>(bytes[i]) >= 0x80) return 0;
    i += length;
  }
  return count;
}

// Converts characters [0, count) of a run through `tryPiece(first, last, out)`, which
// appends and returns true only when the piece converts whole, one result per character.
// A refused piece is halved until the refused characters stand alone; each of those
// becomes `replacement`. A few bad characters cost a few more calls, whatever the length.
template <class Out, class TryPiece>
void convertByHalves(size_t count, TryPiece tryPiece, typename Out::value_type replacement,
                     Out& out) {
  std::vector<std::pair<size_t, size_t>> pending{{0, count}};
  while (!pending.empty()) {
    const auto [first, last] = pending.back();
    pending.pop_back();
    if (first == last || tryPiece(first, last, out)) continue;
    if (last - first == 1) {
      out.push_back(replacement);
      continue;
    }
    const size_t middle = first + (last - first) / 2;
    pending.emplace_back(middle, last);
    pending.emplace_back(first, middle);
  }
}

std::u16string decodeGbk(std::string_view gbk, char16_t replacement) {
  std::u16string out;
  out.reserve(gbk.size());
  std::vector<size_t> starts;  // of the current run's characters
  const auto flushRun = [&](size_t end) {
    if (starts.empty()) return;
    starts.push_back(end);
    const auto tryPiece = [&](size_t first, size_t last, std::u16string& to) {
      const std::u16string units =
          codepage_backend::decode936(gbk.substr(starts[first], starts[last] - starts[first]));
      if (units.size() != last - first) return false;
      to += units;
      return true;
    };
    convertByHalves(starts.size() - 1, tryPiece, replacement, out);
    starts.clear();
  };
  for (size_t i = 0; i < gbk.size();) {
    const size_t length = gbkCharSize(gbk, i);
    if (length == 1 && static_cast<unsigned char>(gbk[i]) >= 0x80) {
      // A lead byte without its trail, or a byte no GBK character starts with.
      flushRun(i);
      out.push_back(replacement);
    } else {
      starts.push_back(i);
    }
    i += length;
  }
  flushRun(gbk.size());
  return out;
}

std::string encodeGbk(std::u16string_view units) {
  std::string out;
  out.reserve(units.size() * 2);
  const auto flushRun = [&](size_t begin, size_t end) {
    const auto tryPiece = [&](size_t first, size_t last, std::string& to) {
      const std::string bytes = codepage_backend::encode936(units.substr(begin + first, last - first));
      if (bytes.empty() || wellFormedGbkCharacters(bytes) != last - first) return false;
      to += bytes;
      return true;
    };
    convertByHalves(end - begin, tryPiece, '?', out);
  };
  // Code page 936 has nothing beyond the BMP: a surrogate pair is one character without a
  // form, and so is a lone surrogate.
  size_t runStart = 0;
  for (size_t i = 0; i < units.size();) {
    if (!isSurrogate(units[i])) {
      ++i;
      continue;
    }
    flushRun(runStart, i);
    out.push_back('?');
    i += isHighSurrogate(units[i]) && i + 1 < units.size() && isLowSurrogate(units[i + 1]) ? 2 : 1;
    runStart = i;
  }
  flushRun(runStart, units.size());
  return out;
}

void appendUtf16(std::u16string& out, char32_t c) {
  if (c < 0x10000) {
    out.push_back(static_cast<char16_t>(c));
  } else {
    c -= 0x10000;
    out.push_back(static_cast<char16_t>(0xD800 + (c >> 10)));
    out.push_back(static_cast<char16_t>(0xDC00 + (c & 0x3FF)));
  }
}

// UTF-8 as UTF-16. An ill-formed sequence costs one U+FFFD for its longest start that
// could still have become a character (at least one byte), as Windows decodes it.
std::u16string utf8ToUtf16(std::string_view utf8) {
  std::u16string out;
  out.reserve(utf8.size());
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      out.push_back(lead);
      ++i;
      continue;
    }
    int more = 0;
    char32_t c = 0;
    unsigned char low = 0x80;   // range of the first continuation byte, which rules out
    unsigned char high = 0xBF;  // overlong forms, surrogates and values past U+10FFFF
    if (lead >= 0xC2 && lead <= 0xDF) {
      more = 1;
      c = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
      more = 2;
      c = lead & 0x0F;
      if (lead == 0xE0) low = 0xA0;
      if (lead == 0xED) high = 0x9F;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
      more = 3;
      c = lead & 0x07;
      if (lead == 0xF0) low = 0x90;
      if (lead == 0xF4) high = 0x8F;
    } else {
      out.push_back(kUnknownUnit);
      ++i;
      continue;
    }
    size_t next = i + 1;
    for (; more > 0 && next < utf8.size(); --more, ++next) {
      const auto b = static_cast<unsigned char>(utf8[next]);
      if (b < low || b > high) break;
      c = (c << 6) | (b & 0x3F);
      low = 0x80;
      high = 0xBF;
    }
    if (more > 0) {
      out.push_back(kUnknownUnit);
    } else {
      appendUtf16(out, c);
    }
    i = next;
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
  return encodeGbk(utf8ToUtf16(utf8));
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
