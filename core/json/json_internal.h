#pragma once
// Shared by the JSON facade's sources only: the RapidJSON types behind the public handles.
#include <rapidjson/document.h>

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "core/json/json.h"

namespace pv::json_detail {

using Value = rapidjson::Value;
using Document = rapidjson::Document;
using Allocator = Document::AllocatorType;

inline constexpr std::size_t kNotFound = static_cast<std::size_t>(-1);

struct ReadDoc {
  std::unique_ptr<Document> doc;  // null when nothing is parsed
  std::uint32_t flags = 0;
  std::string error;

  static JsonValue handle(const Value* v) noexcept { return JsonValue(v); }
  static const Value* value(const JsonValue& h) noexcept { return static_cast<const Value*>(h.node_); }
};

// Mutable documents name their values by path (parent node + position) instead of by
// address: RapidJSON keeps members and elements inline in their container, so growing a
// container moves them and a pointer would silently go stale.
struct MutDoc {
  struct Node {
    std::uint32_t parent;
    std::uint32_t index;
    bool byKey;
  };
  static constexpr std::uint32_t kRootNode = 0;

  std::unique_ptr<Document> doc;  // null when empty
  std::uint32_t flags = 0;
  std::uint32_t generation = 0;
  std::vector<Node> nodes;
  std::unordered_map<std::uint64_t, std::uint32_t> nodeIds;
  std::string error;

  // Drops every node; handles made before resolve to nothing from now on.
  void restart();
  Value* resolve(std::uint32_t node, std::uint32_t handleGeneration) const noexcept;
  // Node for position `index` of `parent` (member index when byKey); kNoNode when the
  // index does not fit.
  std::uint32_t nodeFor(std::uint32_t parent, bool byKey, std::size_t index);
  static constexpr std::uint32_t kNoNode = 0xFFFFFFFFu;

  JsonMutValue handle(std::uint32_t node) { return JsonMutValue(this, node, generation); }
  static Value* value(const JsonMutValue& h) noexcept {
    return h.doc_ ? h.doc_->resolve(h.node_, h.generation_) : nullptr;
  }
};

// Readers shared by both handle kinds; every one accepts null.
JsonType typeOf(const Value* v) noexcept;
std::size_t sizeOf(const Value* v) noexcept;
std::size_t findMember(const Value* v, std::string_view key) noexcept;
std::string textOf(const Value* v);
bool equalsTextOf(const Value* v, std::string_view text) noexcept;
std::int64_t int64Of(const Value* v) noexcept;
std::int32_t intOf(const Value* v) noexcept;
double doubleOf(const Value* v) noexcept;
bool boolOf(const Value* v) noexcept;
std::string keyOf(const Value* v, std::size_t index);
std::vector<std::string> keysOf(const Value* v);

// Splits a JSON Pointer into its unescaped reference tokens. False for a pointer that does
// not start with "/" or holds a "~" not followed by "0" or "1".
bool splitPointer(std::string_view pointer, std::vector<std::string>& tokens);
// An array index token: "0" or digits without a leading zero.
bool pointerIndex(std::string_view token, std::size_t& index) noexcept;

// Follows a JSON Pointer from `start` through either kind of handle; the null handle when
// the pointer is malformed or any step finds nothing.
template <class Value>
Value walkPointer(Value start, std::string_view pointer) {
  std::vector<std::string> tokens;
  if (!start || !splitPointer(pointer, tokens)) return {};
  Value v = start;
  for (const std::string& token : tokens) {
    std::size_t index = 0;
    if (v.isObject()) {
      v = v.member(token);
    } else if (v.isArray() && pointerIndex(token, index)) {
      v = v.element(index);
    } else {
      return {};
    }
    if (!v) return {};
  }
  return v;
}

// Parses into `doc` (whose allocator may be shared with another document). On failure
// fills `error` and leaves `doc` holding null.
bool parseInto(Document& doc, std::string_view text, std::uint32_t flags, std::string& error);

// Appends `v` as compact JSON to `out`.
void writeJson(const Value& v, std::uint32_t flags, std::string& out);

}  // namespace pv::json_detail
