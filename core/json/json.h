#pragma once
// JSON documents: JsonDocument reads a parsed answer, JsonMutableDocument builds (or edits)
// a document and serialises it into a request body.
//
// Reading never fails loudly. A lookup that finds nothing, or a value of another type,
// gives the neutral result: empty text, 0, false, or a null handle (which itself answers
// every question neutrally). So `doc.at("/data/token").text()` is empty both for an
// unparsable body and for an answer without a token.
//
// No character-set conversion happens here: string values go in and come out as the bytes
// given. Answers are UTF-8 (convert with utf8ToGbk from core/text/codepage.h before showing
// them); documents the program builds hold whatever bytes the logic put in.
//
// Ownership and threads: a document owns its values; handles (JsonValue, JsonMutValue) are
// small copyable views that must not outlive their document. One document is used by one
// thread at a time; different documents are independent.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pv {

// Value types; the numbers are the ones the rest of the program stores and compares.
enum class JsonType : int {
  None = 0,  // no value (a null handle)
  Raw = 1,   // reserved: never produced by this implementation
  Null = 2,
  Boolean = 3,
  Number = 4,
  String = 5,
  Array = 6,
  Object = 7,
};

// Parse and serialise flags. 0 is strict RFC 8259 JSON (UTF-8 validated) and compact output.
// A \u escape of half a surrogate pair without its other half reads as U+FFFD ('?' with
// kJsonDoubleByteText), so what the strict reader accepts the strict writer writes as UTF-8.
inline constexpr std::uint32_t kJsonNoFlags = 0;
// Double-byte text: the strings hold GBK bytes. Reader and writer pair bytes by one rule: a
// lead byte 0x81-0xFE followed by a trail byte 0x40-0xFE other than 0x7F is one character,
// kept whole and unescaped even when its trail byte is '\'; any other byte stands alone. The
// writer puts "?" for a lone byte of 0x80 or above (it is no character, and copied it would
// pair with the next byte once the text is read as GBK); the reader keeps it, and reads a \u
// escape beyond ASCII as "?" (it converts nothing). A document parsed with this flag keeps
// it for serialisation.
// Texts to be read back as answers go through gbkToUtf8 and the strict reader instead.
inline constexpr std::uint32_t kJsonDoubleByteText = 0x40000000;

namespace json_detail {
struct ReadDoc;
struct MutDoc;

// Range over the elements or members of a container handle, by position. The handle
// type H answers size(), element(i), keyAt(i) and valueAt(i).
template <class H>
struct Member {
  std::string key;
  H value;
};

template <class H, bool kMembers>
class Range {
 public:
  class Iterator {
   public:
    Iterator(const H* owner, std::size_t index) : owner_(owner), index_(index) {}
    auto operator*() const {
      if constexpr (kMembers) {
        return Member<H>{owner_->keyAt(index_), owner_->valueAt(index_)};
      } else {
        return owner_->element(index_);
      }
    }
    Iterator& operator++() {
      ++index_;
      return *this;
    }
    bool operator==(const Iterator& o) const { return index_ == o.index_; }

   private:
    const H* owner_;
    std::size_t index_;
  };

  explicit Range(H owner) : owner_(owner) {}
  Iterator begin() const { return Iterator(&owner_, 0); }
  Iterator end() const { return Iterator(&owner_, owner_.size()); }

 private:
  H owner_;
};
}  // namespace json_detail

// A value inside a JsonDocument. The default handle is the null handle (no value).
class JsonValue {
 public:
  JsonValue() = default;

  explicit operator bool() const noexcept { return node_ != nullptr; }
  JsonType type() const noexcept;
  bool isObject() const noexcept { return type() == JsonType::Object; }
  bool isArray() const noexcept { return type() == JsonType::Array; }
  bool isString() const noexcept { return type() == JsonType::String; }

  // Members of an object, elements of an array, bytes of a string; 0 for anything else.
  std::size_t size() const noexcept;

  // The first member whose key equals `key` byte for byte over its full length.
  JsonValue member(std::string_view key) const noexcept;
  // Element `index` (0-based) of an array.
  JsonValue element(std::size_t index) const noexcept;
  // JSON Pointer (RFC 6901, "~0" for "~" and "~1" for "/") relative to this value, e.g.
  // "/data/list/0/id". A pointer that does not start with "/" (the empty one included)
  // finds nothing.
  JsonValue at(std::string_view pointer) const;

  // Key and value of member `index` of an object, in document order.
  std::string keyAt(std::size_t index) const;
  JsonValue valueAt(std::size_t index) const noexcept;
  std::vector<std::string> keys() const;
  // for (const auto& [key, value] : obj.members()) / for (JsonValue e : arr.elements())
  json_detail::Range<JsonValue, true> members() const { return json_detail::Range<JsonValue, true>(*this); }
  json_detail::Range<JsonValue, false> elements() const { return json_detail::Range<JsonValue, false>(*this); }

  // The bytes of a string value; empty for anything else.
  std::string text() const;
  // True only for a string value holding exactly these bytes.
  bool equalsText(std::string_view text) const noexcept;
  // A number truncated toward zero, or a string holding a decimal integer (leading
  // blanks, an optional sign, the digits up to the first non-digit); anything else is 0.
  // Values beyond the type's range give its largest or smallest value.
  std::int32_t toInt() const noexcept;
  std::int64_t toInt64() const noexcept;
  // A number; anything else is 0.
  double toDouble() const noexcept;
  // Only a JSON boolean: the number 1 or the string "true" read as false.
  bool toBool() const noexcept;
  // This value as compact JSON text (see JsonMutableDocument::serialize); empty for none.
  std::string toJson(std::uint32_t flags = kJsonNoFlags) const;

 private:
  friend struct json_detail::ReadDoc;
  friend class JsonDocument;
  explicit JsonValue(const void* node) noexcept : node_(node) {}
  const void* node_ = nullptr;
};

// A parsed, read-only document.
class JsonDocument {
 public:
  JsonDocument();
  ~JsonDocument();
  JsonDocument(JsonDocument&&) noexcept;
  JsonDocument& operator=(JsonDocument&&) noexcept;
  JsonDocument(const JsonDocument&) = delete;
  JsonDocument& operator=(const JsonDocument&) = delete;

  // Replaces whatever the document held. True when the text is one JSON value (any type)
  // with nothing but whitespace around it. On failure the document is empty: root() is
  // the null handle and errorText() says why. The bytes are copied; `text` may go away.
  bool parse(std::string_view text, std::uint32_t flags = kJsonNoFlags);
  bool parse(const std::vector<std::uint8_t>& bytes, std::uint32_t flags = kJsonNoFlags);

  bool empty() const noexcept { return !root(); }
  JsonValue root() const noexcept;
  // Shorthands for root().member(key) and root().at(pointer).
  JsonValue member(std::string_view key) const noexcept { return root().member(key); }
  JsonValue at(std::string_view pointer) const { return root().at(pointer); }

  // "错误类型: <code>\r\n错误位置: <byte offset>\r\n错误原因: <message>" for the last failed
  // parse; empty after a successful one.
  const std::string& errorText() const noexcept;

 private:
  std::unique_ptr<json_detail::ReadDoc> doc_;
};

// A value inside a JsonMutableDocument.
//
// Unlike a raw pointer into the tree, a handle survives changes to the document: it names
// its value by the way it was reached (the n-th member or element of its parent), so adding
// members or elements anywhere leaves every handle valid. Removing a member or element
// shifts the handles of the ones after it; a handle whose place no longer exists reads as
// the null handle. Setters on a null handle, or on a value of the wrong type, do nothing
// and return false (or a null handle).
class JsonMutValue {
 public:
  JsonMutValue() = default;

  explicit operator bool() const noexcept;
  JsonType type() const noexcept;
  bool isObject() const noexcept { return type() == JsonType::Object; }
  bool isArray() const noexcept { return type() == JsonType::Array; }
  bool isString() const noexcept { return type() == JsonType::String; }
  std::size_t size() const noexcept;

  // Lookups and getters as for JsonValue.
  JsonMutValue member(std::string_view key) const;
  JsonMutValue element(std::size_t index) const;
  JsonMutValue at(std::string_view pointer) const;
  std::string keyAt(std::size_t index) const;
  JsonMutValue valueAt(std::size_t index) const;
  std::vector<std::string> keys() const;
  json_detail::Range<JsonMutValue, true> members() const { return json_detail::Range<JsonMutValue, true>(*this); }
  json_detail::Range<JsonMutValue, false> elements() const { return json_detail::Range<JsonMutValue, false>(*this); }
  std::string text() const;
  bool equalsText(std::string_view text) const noexcept;
  std::int32_t toInt() const noexcept;
  std::int64_t toInt64() const noexcept;
  double toDouble() const noexcept;
  bool toBool() const noexcept;
  std::string toJson(std::uint32_t flags = kJsonNoFlags) const;

  // Turns this value into another one. assignParsed leaves the value untouched when
  // `json` is not valid JSON; assignDouble refuses NaN and infinities.
  bool assignNull();
  bool assignBool(bool value);
  bool assignInt(std::int64_t value);
  bool assignDouble(double value);
  bool assignString(std::string_view value);
  bool assignNewObject();
  bool assignNewArray();
  bool assignParsed(std::string_view json);

  // Object members. With `replace` (the default) an existing member of that key (the first
  // one) gets the new value in its place; otherwise, or when there is none, a member is
  // added at the end, so replace = false can give an object a key twice.
  bool setNull(std::string_view key, bool replace = true);
  bool setBool(std::string_view key, bool value, bool replace = true);
  bool setInt(std::string_view key, std::int64_t value, bool replace = true);
  bool setDouble(std::string_view key, double value, bool replace = true);
  bool setString(std::string_view key, std::string_view value, bool replace = true);
  JsonMutValue setNewObject(std::string_view key, bool replace = true);
  JsonMutValue setNewArray(std::string_view key, bool replace = true);
  // Sets the member to the value parsed from `json`; false (and nothing changed) when it
  // is not valid JSON.
  bool setParsed(std::string_view key, std::string_view json, bool replace = true);
  // Removes every member of that key; false when there was none.
  bool removeMember(std::string_view key);

  // Array elements, appended at the end. To replace element i, assign to element(i): an
  // index beyond the end gives the null handle, and assigning to it fails.
  bool appendNull();
  bool appendBool(bool value);
  bool appendInt(std::int64_t value);
  bool appendDouble(double value);
  bool appendString(std::string_view value);
  JsonMutValue appendNewObject();
  JsonMutValue appendNewArray();
  bool appendParsed(std::string_view json);
  bool removeElement(std::size_t index);

  // Empties an object or an array.
  bool clear();

 private:
  friend struct json_detail::MutDoc;
  friend class JsonMutableDocument;
  JsonMutValue(json_detail::MutDoc* doc, std::uint32_t node, std::uint32_t generation) noexcept
      : doc_(doc), node_(node), generation_(generation) {}
  JsonMutValue child(bool byKey, std::size_t index) const;
  JsonMutValue memberSlot(std::string_view key, bool replace);
  JsonMutValue appendSlot();

  json_detail::MutDoc* doc_ = nullptr;
  std::uint32_t node_ = 0;
  std::uint32_t generation_ = 0;
};

// A document built in memory or parsed for editing.
class JsonMutableDocument {
 public:
  JsonMutableDocument();
  ~JsonMutableDocument();
  JsonMutableDocument(JsonMutableDocument&&) noexcept;
  JsonMutableDocument& operator=(JsonMutableDocument&&) noexcept;
  JsonMutableDocument(const JsonMutableDocument&) = delete;
  JsonMutableDocument& operator=(const JsonMutableDocument&) = delete;

  // Start over with an empty object or array as the root; returns the root.
  JsonMutValue createObjectRoot();
  JsonMutValue createArrayRoot();

  // As JsonDocument::parse; handles made before are no longer valid.
  bool parse(std::string_view text, std::uint32_t flags = kJsonNoFlags);
  bool parse(const std::vector<std::uint8_t>& bytes, std::uint32_t flags = kJsonNoFlags);

  bool empty() const noexcept { return !root(); }
  JsonMutValue root() const noexcept;
  JsonMutValue member(std::string_view key) const { return root().member(key); }
  JsonMutValue at(std::string_view pointer) const { return root().at(pointer); }

  // The whole document as compact JSON: no blanks, no line breaks, keys in document order.
  // Escaped in strings: '"' and '\' get a backslash; backspace, tab, line feed, form feed
  // and carriage return become \b \t \n \f \r; every other byte below 0x20 becomes \u00XX
  // (upper-case hex). The slash is not escaped. Bytes of 0x80 and above are written as they
  // are when they form UTF-8 characters, and a byte that starts none becomes U+FFFD, so the
  // output is always UTF-8; with kJsonDoubleByteText (added automatically when the document
  // was parsed with it) GBK pairs are written as they are and any other such byte as "?".
  // Integers are plain decimal; other numbers the shortest form that reads back the same.
  // An empty document gives empty text.
  std::string serialize(std::uint32_t flags = kJsonNoFlags) const;

  const std::string& errorText() const noexcept;

 private:
  std::unique_ptr<json_detail::MutDoc> doc_;
};

}  // namespace pv
