#pragma once
// Narrow literals are compiled as GBK; tests that need UTF-8 bytes write u8"" and take
// them as a std::string through this.
#include <string>
#include <string_view>

inline std::string utf8Text(std::u8string_view text) {
  return std::string(reinterpret_cast<const char*>(text.data()), text.size());
}
