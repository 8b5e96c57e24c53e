#pragma once
// A UTF-8 text as a JSON string literal, for the bench tools that hand texts to scripts.
#include <cstdio>
#include <string>
#include <string_view>

inline std::string jsonString(std::string_view utf8) {
  std::string out = "\"";
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (b < 0x20) {
      char buf[8];
      std::snprintf(buf, sizeof buf, "\\u%04x", b);
      out += buf;
    } else {
      out += c;
    }
  }
  return out + "\"";
}
