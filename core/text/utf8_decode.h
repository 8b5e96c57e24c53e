#pragma once
// Walking UTF-8 text code point by code point, for the converters and the workbook writer.
#include <cstddef>
#include <string_view>

namespace pv {

// The code points of UTF-8 text, one call of `emit` each. An ill-formed sequence costs one
// U+FFFD for its longest start that could still have become a character (at least one
// byte), as Windows decodes it.
template <class Emit>
void decodeUtf8(std::string_view utf8, Emit emit) {
  for (size_t i = 0; i < utf8.size();) {
    const auto lead = static_cast<unsigned char>(utf8[i]);
    if (lead < 0x80) {
      emit(lead);
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
      emit(char32_t{0xFFFD});
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
    emit(more > 0 ? char32_t{0xFFFD} : c);
    i = next;
  }
}

}  // namespace pv
