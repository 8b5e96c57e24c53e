#include <rapidjson/internal/dtoa.h>

#include <cmath>

#include "core/json/json_internal.h"
#include "core/text/text.h"

namespace pv::json_detail {
namespace {

// Length of the well-formed UTF-8 character at s[i] (RFC 3629: no overlong forms, no
// surrogates, nothing above U+10FFFF), or 0 when none starts there.
std::size_t utf8CharLength(const unsigned char* s, std::size_t i, std::size_t n) noexcept {
  const unsigned char c = s[i];
  if (c < 0x80) return 1;
  std::size_t length = 0;
  unsigned char low = 0x80, high = 0xBF;  // range of the second byte
  if (c >= 0xC2 && c <= 0xDF) {
    length = 2;
  } else if (c >= 0xE0 && c <= 0xEF) {
    length = 3;
    if (c == 0xE0) low = 0xA0;
    if (c == 0xED) high = 0x9F;
  } else if (c >= 0xF0 && c <= 0xF4) {
    length = 4;
    if (c == 0xF0) low = 0x90;
    if (c == 0xF4) high = 0x8F;
  } else {
    return 0;
  }
  if (n - i < length || s[i + 1] < low || s[i + 1] > high) return 0;
  for (std::size_t k = 2; k < length; ++k) {
    if (s[i + k] < 0x80 || s[i + k] > 0xBF) return 0;
  }
  return length;
}

// Bytes of 0x80 and above never travel alone as they are. With double-byte text a GBK pair
// is copied whole (its trail byte may look like '\' or '|'), and any other such byte is no
// character and becomes '?': copied, it would take the next byte with it (an escape's
// backslash, or the closing quote) once the body is read as GBK on its way to UTF-8.
// Otherwise the text is UTF-8 and stays well-formed: a byte that starts no character
// becomes U+FFFD.
void writeString(const char* text, std::size_t n, bool doubleByte, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  const auto* s = reinterpret_cast<const unsigned char*>(text);
  out.push_back('"');
  for (std::size_t i = 0; i < n; ++i) {
    const unsigned char c = s[i];
    if (c >= 0x80) {
      if (doubleByte) {
        if (gbkCharSize(std::string_view(text, n), i) == 2) {
          out.append(text + i, 2);
          ++i;
        } else {
          out.push_back('?');
        }
      } else if (const std::size_t length = utf8CharLength(s, i, n)) {
        out.append(text + i, length);
        i += length - 1;
      } else {
        out += "\xEF\xBF\xBD";
      }
      continue;
    }
    switch (c) {
      case '"': out += "\\\""; break;
      case '\\': out += "\\\\"; break;
      case '\b': out += "\\b"; break;
      case '\t': out += "\\t"; break;
      case '\n': out += "\\n"; break;
      case '\f': out += "\\f"; break;
      case '\r': out += "\\r"; break;
      default:
        if (c < 0x20) {
          out += "\\u00";
          out.push_back(kHex[c >> 4]);
          out.push_back(kHex[c & 0x0F]);
        } else {
          out.push_back(static_cast<char>(c));
        }
    }
  }
  out.push_back('"');
}

void writeNumber(const Value& v, std::string& out) {
  if (v.IsInt64()) {
    out += std::to_string(v.GetInt64());
  } else if (v.IsUint64()) {
    out += std::to_string(v.GetUint64());
  } else if (const double d = v.GetDouble(); !std::isfinite(d)) {
    out += "null";  // JSON has no spelling for them; the setters refuse them anyway
  } else {
    char buffer[32];
    const char* end = rapidjson::internal::dtoa(d, buffer);
    out.append(buffer, static_cast<std::size_t>(end - buffer));
  }
}

}  // namespace

void writeJson(const Value& root, std::uint32_t flags, std::string& out) {
  const bool doubleByte = (flags & kJsonDoubleByteText) != 0;
  // An explicit stack: parsing is iterative, so nesting may be deeper than the call stack.
  struct Frame {
    const Value* container;
    rapidjson::SizeType next;
  };
  std::vector<Frame> open;
  auto writeValue = [&](const Value& v) {
    switch (v.GetType()) {
      case rapidjson::kNullType: out += "null"; break;
      case rapidjson::kFalseType: out += "false"; break;
      case rapidjson::kTrueType: out += "true"; break;
      case rapidjson::kNumberType: writeNumber(v, out); break;
      case rapidjson::kStringType: writeString(v.GetString(), v.GetStringLength(), doubleByte, out); break;
      case rapidjson::kObjectType:
        out.push_back('{');
        open.push_back({&v, 0});
        break;
      case rapidjson::kArrayType:
        out.push_back('[');
        open.push_back({&v, 0});
        break;
    }
  };
  writeValue(root);
  while (!open.empty()) {
    const Value* container = open.back().container;
    const rapidjson::SizeType i = open.back().next;
    if (container->IsObject()) {
      if (i == container->MemberCount()) {
        out.push_back('}');
        open.pop_back();
        continue;
      }
      ++open.back().next;
      if (i) out.push_back(',');
      const auto& m = *(container->MemberBegin() + i);
      writeString(m.name.GetString(), m.name.GetStringLength(), doubleByte, out);
      out.push_back(':');
      writeValue(m.value);
    } else {
      if (i == container->Size()) {
        out.push_back(']');
        open.pop_back();
        continue;
      }
      ++open.back().next;
      if (i) out.push_back(',');
      writeValue((*container)[i]);
    }
  }
}

}  // namespace pv::json_detail
