#include "core/crypto/base64.h"

#include <array>
#include <cstdint>

namespace pv {
namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";

constexpr std::array<std::int8_t, 256> makeDecodeTable() {
  std::array<std::int8_t, 256> table{};
  for (auto& v : table) v = -1;
  for (int i = 0; i < 64; ++i) table[static_cast<unsigned char>(kAlphabet[i])] = static_cast<std::int8_t>(i);
  return table;
}
constexpr auto kDecode = makeDecodeTable();

}  // namespace

std::string base64Encode(std::string_view bytes) {
  std::string out;
  out.reserve((bytes.size() + 2) / 3 * 4);
  std::size_t i = 0;
  auto byte = [&](std::size_t k) { return static_cast<std::uint32_t>(static_cast<unsigned char>(bytes[k])); };
  for (; i + 3 <= bytes.size(); i += 3) {
    const std::uint32_t n = byte(i) << 16 | byte(i + 1) << 8 | byte(i + 2);
    out += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63], kAlphabet[n & 63]};
  }
  if (const std::size_t rest = bytes.size() - i; rest == 1) {
    const std::uint32_t n = byte(i) << 16;
    out += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], '=', '='};
  } else if (rest == 2) {
    const std::uint32_t n = byte(i) << 16 | byte(i + 1) << 8;
    out += {kAlphabet[n >> 18], kAlphabet[(n >> 12) & 63], kAlphabet[(n >> 6) & 63], '='};
  }
  return out;
}

std::string base64Decode(std::string_view text) {
  if (text.size() % 4 != 0) return {};
  std::string out;
  out.reserve(text.size() / 4 * 3);
  for (std::size_t i = 0; i < text.size(); i += 4) {
    const bool last = i + 4 == text.size();
    // Padding only at the very end: "xx==" or "xxx=".
    const int pad = last && text[i + 3] == '=' ? (text[i + 2] == '=' ? 2 : 1) : 0;
    std::uint32_t n = 0;
    for (int k = 0; k < 4; ++k) {
      if (k >= 4 - pad) {
        n <<= 6;
        continue;
      }
      const std::int8_t v = kDecode[static_cast<unsigned char>(text[i + k])];
      if (v < 0) return {};
      n = n << 6 | static_cast<std::uint32_t>(v);
    }
    out.push_back(static_cast<char>(n >> 16));
    if (pad < 2) out.push_back(static_cast<char>((n >> 8) & 0xFF));
    if (pad < 1) out.push_back(static_cast<char>(n & 0xFF));
  }
  return out;
}

}  // namespace pv
