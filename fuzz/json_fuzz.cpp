// The JSON facade: whatever the bytes, reading them neither crashes nor misbehaves, and what
// was read is written as a fixed point. Strict: parse, serialise, parse, serialise gives the
// same text twice, and that text is UTF-8. Double-byte text: the same fixed point under the
// GBK pairing rule. The getters and lookups run over what was read.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/json/json.h"
#include "fuzz/fuzz_check.h"

namespace {

bool isUtf8(std::string_view s) {
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    std::size_t n = c < 0x80 ? 1 : c >= 0xC2 && c <= 0xDF ? 2 : c >= 0xE0 && c <= 0xEF ? 3 : c >= 0xF0 && c <= 0xF4 ? 4 : 0;
    if (n == 0 || i + n > s.size()) return false;
    std::uint32_t cp = n == 1 ? c : n == 2 ? c & 0x1F : n == 3 ? c & 0x0F : c & 0x07;
    for (std::size_t k = 1; k < n; ++k) {
      const auto t = static_cast<unsigned char>(s[i + k]);
      if ((t & 0xC0) != 0x80) return false;
      cp = cp << 6 | (t & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return false;
    i += n;
  }
  return true;
}

// Reads every value down to a few levels through the public getters.
template <class V>
void visit(const V& v, int depth) {
  (void)v.type();
  (void)v.size();
  (void)v.text();
  (void)v.toInt();
  (void)v.toInt64();
  (void)v.toDouble();
  (void)v.toBool();
  if (depth == 0) return;
  if (v.isObject()) {
    std::size_t i = 0;
    for (const auto& [key, value] : v.members()) {
      FUZZ_CHECK(v.keyAt(i) == key);
      // A key with "/" or "~" needs escaping in a pointer; the member lookup needs none.
      const auto first = v.member(key);
      FUZZ_CHECK(bool(first));
      std::string pointer = "/";
      for (char c : key) pointer += c == '~' ? std::string("~0") : c == '/' ? std::string("~1") : std::string(1, c);
      FUZZ_CHECK(v.at(pointer).toJson() == first.toJson());
      visit(value, depth - 1);
      if (++i == 8) break;
    }
  } else if (v.isArray()) {
    for (std::size_t i = 0; i < v.size() && i < 8; ++i) {
      FUZZ_CHECK(v.at("/" + std::to_string(i)).toJson() == v.element(i).toJson());
      visit(v.element(i), depth - 1);
    }
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  pv::JsonDocument doc;
  if (doc.parse(text)) {
    FUZZ_CHECK(doc.errorText().empty());
    const std::string once = doc.root().toJson();
    FUZZ_CHECK(isUtf8(once));
    pv::JsonDocument again;
    FUZZ_CHECK(again.parse(once));
    FUZZ_CHECK(again.root().toJson() == once);
    visit(doc.root(), 4);

    // The mutable document reads and writes the same way, also as a part of another.
    pv::JsonMutableDocument mut;
    FUZZ_CHECK(mut.parse(text));
    FUZZ_CHECK(mut.serialize() == once);
    visit(mut.root(), 2);
    pv::JsonMutableDocument outer;
    FUZZ_CHECK(outer.createArrayRoot().appendParsed(text));
    FUZZ_CHECK(outer.serialize() == "[" + once + "]");
  } else {
    FUZZ_CHECK(doc.empty() && !doc.errorText().empty());
  }

  pv::JsonMutableDocument gbk;
  if (gbk.parse(text, pv::kJsonDoubleByteText)) {
    const std::string once = gbk.serialize();
    pv::JsonMutableDocument again;
    FUZZ_CHECK(again.parse(once, pv::kJsonDoubleByteText));
    FUZZ_CHECK(again.serialize() == once);
  }
  return 0;
}
