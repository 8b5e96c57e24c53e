#include <rapidjson/internal/dtoa.h>

#include <cmath>

#include "core/json/json_internal.h"

namespace pv::json_detail {
namespace {

void writeString(const char* s, std::size_t n, bool doubleByte, std::string& out) {
  static const char kHex[] = "0123456789ABCDEF";
  out.push_back('"');
  for (std::size_t i = 0; i < n; ++i) {
    const auto c = static_cast<unsigned char>(s[i]);
    if (c >= 0x80) {
      // A GBK character travels as a pair: its second byte may look like '"' or '\'.
      out.push_back(s[i]);
      if (doubleByte && i + 1 < n) out.push_back(s[++i]);
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
