#include <rapidjson/error/en.h>
#include <rapidjson/memorystream.h>

#include <algorithm>
#include <cstring>
#include <limits>

#include "core/json/json_internal.h"
#include "core/text/text.h"

namespace pv {
namespace json_detail {
namespace {

template <class T>
T clampToRange(double d) noexcept {
  if (d != d) return 0;
  if (d >= static_cast<double>(std::numeric_limits<T>::max())) return std::numeric_limits<T>::max();
  if (d <= static_cast<double>(std::numeric_limits<T>::min())) return std::numeric_limits<T>::min();
  return static_cast<T>(d);  // truncates toward zero
}

// Leading blanks, an optional sign, then the digits up to the first non-digit; saturates.
std::int64_t decimalPrefix(std::string_view s) noexcept {
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || (s[i] >= '\t' && s[i] <= '\r'))) ++i;
  bool negative = false;
  if (i < s.size() && (s[i] == '+' || s[i] == '-')) negative = s[i++] == '-';
  // Accumulate toward the negative side, which holds one value more.
  constexpr std::int64_t kMin = std::numeric_limits<std::int64_t>::min();
  std::int64_t n = 0;
  for (; i < s.size() && s[i] >= '0' && s[i] <= '9'; ++i) {
    const int digit = s[i] - '0';
    if (n < (kMin + digit) / 10) {
      n = kMin;
      break;
    }
    n = n * 10 - digit;
  }
  if (negative) return n;
  return n == kMin ? std::numeric_limits<std::int64_t>::max() : -n;
}

bool isJsonBlank(char c) noexcept { return c == ' ' || c == '\t' || c == '\n' || c == '\r'; }

// Double-byte text as the reader sees it: a GBK pair (see gbkCharSize) is one unit, copied
// whole, so that a trail byte that looks like '\\' never starts an escape; any other byte
// stands alone. The reader converts nothing, so a \u escape of a character beyond ASCII
// (which would need GBK) gives '?', as a lone byte does on the way out.
struct GbkBytes {
  using Ch = char;
  template <class OutputStream>
  static void Encode(OutputStream& os, unsigned codepoint) {
    os.Put(codepoint < 0x80 ? static_cast<char>(codepoint) : '?');
  }
  template <class InputStream, class OutputStream>
  static bool Validate(InputStream& is, OutputStream& os) {
    const char lead = is.Take();
    os.Put(lead);
    if (isGbkLeadByte(static_cast<unsigned char>(lead)) && isGbkTrailByte(static_cast<unsigned char>(is.Peek()))) {
      os.Put(is.Take());
    }
    return true;
  }
};

bool hexEscapeAt(std::string_view text, std::size_t i, unsigned& value) noexcept {
  if (i + 6 > text.size() || text[i] != '\\' || text[i + 1] != 'u') return false;
  value = 0;
  for (std::size_t k = i + 2; k < i + 6; ++k) {
    const char c = text[k];
    const int digit = c >= '0' && c <= '9'   ? c - '0'
                      : c >= 'a' && c <= 'f' ? c - 'a' + 10
                      : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                             : -1;
    if (digit < 0) return false;
    value = value * 16 + static_cast<unsigned>(digit);
  }
  return true;
}

bool isDigit(char c) noexcept { return c >= '0' && c <= '9'; }

// Two things RapidJSON 1.1 reads wrongly are mended in the text before it reads it, each by
// an equal-length rewrite, so error offsets stay those of the text given:
// - A \u escape of half a surrogate pair without its other half names no character (a
//   truncated emoji in a remark gives one). It would be refused, or kept as bytes that are
//   not UTF-8; it reads as U+FFFD (so '?' in double-byte text), so that one broken
//   character costs that character and not the whole answer.
// - Numbers its full-precision path cannot take. Zero written as a real ("0e100", "0." and
//   thirty zeros) reads as some huge or tiny non-zero number, and a number beyond the range
//   of a double through many digits ("9" and seventy digits, "e308") reads past the end of a
//   table. Zero, and a number too small for a double, become "0.0" (or "-0.0") followed by
//   blanks, which leave the reader where the number would have; a number too big becomes
//   "1e999" followed by blanks, refused as too big as "1e400" always was. A number whose
//   first twenty significant digits are those of 2^64 - 1 ("18446744073709551615" with
//   more digits after them, or "1844674407370955161.55") reads as garbage; its twentieth
//   significant digit becomes 6, far below what a double can tell.
// Returns `text` itself when there is nothing to mend, else a mended copy kept in `mended`.
std::string_view mendText(std::string_view text, bool doubleByte, std::string& mended) {
  auto rewrite = [&](std::size_t at, std::string_view with) {
    if (mended.empty()) mended.assign(text);
    mended.replace(at, with.size(), with);
  };
  bool inString = false;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    if (!inString) {
      if (c != '-' && !isDigit(text[i])) {
        inString = c == '"';
        ++i;
        continue;
      }
      // A number: sign, integer part, fraction, exponent. `lead` is the decimal exponent
      // of its first significant digit plus one (123 and 1.5e2 give 3, 0.05 gives -1).
      std::size_t j = i + (c == '-' ? 1 : 0);
      const std::size_t integer = j;
      while (j < text.size() && isDigit(text[j])) ++j;
      bool valid = j - integer == 1 || (j > integer && text[integer] != '0');
      bool zero = j - integer == 1 && text[integer] == '0';
      long long lead = zero ? 0 : static_cast<long long>(j - integer);
      bool realForm = false;
      if (j < text.size() && text[j] == '.') {
        const std::size_t fraction = ++j;
        for (; j < text.size() && isDigit(text[j]); ++j) {
          if (zero && text[j] != '0') lead = -static_cast<long long>(j - fraction);
          zero = zero && text[j] == '0';
        }
        valid = valid && j > fraction;
        realForm = true;
      }
      if (j < text.size() && (text[j] == 'e' || text[j] == 'E')) {
        ++j;
        const bool negative = j < text.size() && text[j] == '-';
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) ++j;
        const std::size_t exponent = j;
        long long value = 0;
        for (; j < text.size() && isDigit(text[j]); ++j) value = std::min(value * 10 + (text[j] - '0'), 1000000LL);
        lead += negative ? -value : value;
        valid = valid && j > exponent;
        realForm = true;
      }
      // Never longer than the number. Where the text goes on as if the number did (the text
      // is invalid there), a plain zero must not take that tail into itself.
      const bool tail =
          j < text.size() && std::string_view("0123456789.eE+-").find(text[j]) != std::string_view::npos;
      std::string plain;
      if (valid && realForm && (zero || lead < -325)) {
        plain = std::string(c == '-' ? "-" : "") + (tail ? "0" : "0.0");
      } else if (valid && !zero && lead > 309) {
        plain = c == '-' ? "-1e999" : "1e999";  // refused as too big, as 1e400 is
      }
      if (!plain.empty()) {
        plain.resize(j - i, ' ');
        if (text.substr(i, j - i) != plain) rewrite(i, plain);
      } else if (valid && !zero) {
        // The significant digits, across the point: the first twenty of 2^64 - 1 followed
        // by anything more.
        constexpr std::string_view kMax = "18446744073709551615";
        std::size_t matched = 0, twentieth = 0;
        bool more = false;
        for (std::size_t k = integer; k < j && (isDigit(text[k]) || text[k] == '.'); ++k) {
          if (text[k] == '.' || (matched == 0 && text[k] == '0')) continue;
          if (matched == kMax.size()) {
            more = true;
            break;
          }
          if (text[k] != kMax[matched]) break;
          if (++matched == kMax.size()) twentieth = k;
        }
        if (matched == kMax.size() && (more || realForm)) rewrite(twentieth, "6");
      }
      i = j > i ? j : i + 1;
      continue;
    }
    if (c == '"') {
      inString = false;
      ++i;
      continue;
    }
    if (c != '\\') {
      i += doubleByte ? gbkCharSize(text, i) : 1;
      continue;
    }
    unsigned unit = 0;
    if (!hexEscapeAt(text, i, unit)) {
      i += 2;  // another escape, or a broken one the reader reports
      continue;
    }
    unsigned low = 0;
    if (unit >= 0xD800 && unit <= 0xDBFF && hexEscapeAt(text, i + 6, low) && low >= 0xDC00 && low <= 0xDFFF) {
      i += 12;  // a whole pair
      continue;
    }
    if (unit >= 0xD800 && unit <= 0xDFFF) rewrite(i, "\\uFFFD");
    i += 6;
  }
  return mended.empty() ? text : std::string_view(mended);
}

}  // namespace

JsonType typeOf(const Value* v) noexcept {
  if (!v) return JsonType::None;
  switch (v->GetType()) {
    case rapidjson::kNullType: return JsonType::Null;
    case rapidjson::kFalseType:
    case rapidjson::kTrueType: return JsonType::Boolean;
    case rapidjson::kNumberType: return JsonType::Number;
    case rapidjson::kStringType: return JsonType::String;
    case rapidjson::kArrayType: return JsonType::Array;
    case rapidjson::kObjectType: return JsonType::Object;
  }
  return JsonType::None;
}

std::size_t sizeOf(const Value* v) noexcept {
  if (!v) return 0;
  if (v->IsObject()) return v->MemberCount();
  if (v->IsArray()) return v->Size();
  if (v->IsString()) return v->GetStringLength();
  return 0;
}

std::size_t findMember(const Value* v, std::string_view key) noexcept {
  if (!v || !v->IsObject()) return kNotFound;
  std::size_t i = 0;
  for (auto m = v->MemberBegin(); m != v->MemberEnd(); ++m, ++i) {
    const Value& name = m->name;
    if (name.GetStringLength() == key.size() &&
        (key.empty() || std::memcmp(name.GetString(), key.data(), key.size()) == 0)) {
      return i;
    }
  }
  return kNotFound;
}

std::string textOf(const Value* v) {
  if (!v || !v->IsString()) return {};
  return std::string(v->GetString(), v->GetStringLength());
}

bool equalsTextOf(const Value* v, std::string_view text) noexcept {
  return v && v->IsString() && std::string_view(v->GetString(), v->GetStringLength()) == text;
}

std::int64_t int64Of(const Value* v) noexcept {
  if (!v) return 0;
  if (v->IsInt64()) return v->GetInt64();
  if (v->IsUint64()) return std::numeric_limits<std::int64_t>::max();  // beyond int64
  if (v->IsDouble()) return clampToRange<std::int64_t>(v->GetDouble());
  if (v->IsString()) return decimalPrefix(std::string_view(v->GetString(), v->GetStringLength()));
  return 0;
}

std::int32_t intOf(const Value* v) noexcept {
  if (v && v->IsDouble()) return clampToRange<std::int32_t>(v->GetDouble());
  const std::int64_t n = int64Of(v);
  if (n > std::numeric_limits<std::int32_t>::max()) return std::numeric_limits<std::int32_t>::max();
  if (n < std::numeric_limits<std::int32_t>::min()) return std::numeric_limits<std::int32_t>::min();
  return static_cast<std::int32_t>(n);
}

double doubleOf(const Value* v) noexcept { return v && v->IsNumber() ? v->GetDouble() : 0.0; }

bool boolOf(const Value* v) noexcept { return v && v->IsBool() && v->GetBool(); }

std::string keyOf(const Value* v, std::size_t index) {
  if (!v || !v->IsObject() || index >= v->MemberCount()) return {};
  const Value& name = (v->MemberBegin() + static_cast<std::ptrdiff_t>(index))->name;
  return std::string(name.GetString(), name.GetStringLength());
}

std::vector<std::string> keysOf(const Value* v) {
  std::vector<std::string> keys;
  if (!v || !v->IsObject()) return keys;
  keys.reserve(v->MemberCount());
  for (auto m = v->MemberBegin(); m != v->MemberEnd(); ++m) {
    keys.emplace_back(m->name.GetString(), m->name.GetStringLength());
  }
  return keys;
}

bool splitPointer(std::string_view pointer, std::vector<std::string>& tokens) {
  tokens.clear();
  if (pointer.empty() || pointer[0] != '/') return false;
  std::size_t i = 1;
  while (true) {
    std::string token;
    for (; i < pointer.size() && pointer[i] != '/'; ++i) {
      if (pointer[i] != '~') {
        token.push_back(pointer[i]);
        continue;
      }
      if (i + 1 >= pointer.size() || (pointer[i + 1] != '0' && pointer[i + 1] != '1')) return false;
      token.push_back(pointer[++i] == '0' ? '~' : '/');
    }
    tokens.push_back(std::move(token));
    if (i >= pointer.size()) return true;
    ++i;  // past the '/'
  }
}

bool pointerIndex(std::string_view token, std::size_t& index) noexcept {
  if (token.empty() || token.size() > 9) return false;  // 9 digits: far beyond any array we hold
  if (token.size() > 1 && token[0] == '0') return false;
  std::size_t n = 0;
  for (char c : token) {
    if (c < '0' || c > '9') return false;
    n = n * 10 + static_cast<std::size_t>(c - '0');
  }
  index = n;
  return true;
}

bool parseInto(Document& doc, std::string_view text, std::uint32_t flags, std::string& error) {
  error.clear();
  // Iterative: nesting depth costs heap, not stack, so a hostile answer cannot overflow it.
  constexpr unsigned kStrict = rapidjson::kParseIterativeFlag | rapidjson::kParseStopWhenDoneFlag |
                               rapidjson::kParseFullPrecisionFlag;
  const bool doubleByte = (flags & kJsonDoubleByteText) != 0;
  std::string mended;
  text = mendText(text, doubleByte, mended);
  rapidjson::MemoryStream in(text.data(), text.size());
  unsigned code = rapidjson::kParseErrorNone;
  std::size_t offset = 0;
  if (doubleByte) {
    // "Validating" is what makes the reader hand each byte to GbkBytes, which pairs them.
    rapidjson::GenericReader<GbkBytes, GbkBytes> reader;
    rapidjson::ParseResult result;
    auto read = [&](Document& handler) {
      result = reader.Parse<kStrict | rapidjson::kParseValidateEncodingFlag>(in, handler);
      return !result.IsError();
    };
    doc.Populate(read);
    code = result.Code();
    offset = result.Offset();
  } else {
    doc.ParseStream<kStrict | rapidjson::kParseValidateEncodingFlag, rapidjson::UTF8<>>(in);
    code = doc.GetParseError();
    offset = doc.GetErrorOffset();
  }
  if (code == rapidjson::kParseErrorNone) {
    // The reader stops after the root value (and at a zero byte, which it takes for the
    // end): anything but blanks after it makes the text invalid.
    std::size_t end = in.Tell();
    while (end < text.size() && isJsonBlank(text[end])) ++end;
    if (end == text.size()) return true;
    code = rapidjson::kParseErrorDocumentRootNotSingular;
    offset = end;
  }
  doc.SetNull();
  error = "错误类型: " + std::to_string(code) + "\r\n错误位置: " + std::to_string(offset) +
          "\r\n错误原因: " + rapidjson::GetParseError_En(static_cast<rapidjson::ParseErrorCode>(code));
  return false;
}

}  // namespace json_detail

using json_detail::ReadDoc;

JsonType JsonValue::type() const noexcept { return json_detail::typeOf(ReadDoc::value(*this)); }
std::size_t JsonValue::size() const noexcept { return json_detail::sizeOf(ReadDoc::value(*this)); }

JsonValue JsonValue::member(std::string_view key) const noexcept {
  const auto* v = ReadDoc::value(*this);
  const std::size_t i = json_detail::findMember(v, key);
  if (i == json_detail::kNotFound) return {};
  return ReadDoc::handle(&(v->MemberBegin() + static_cast<std::ptrdiff_t>(i))->value);
}

JsonValue JsonValue::element(std::size_t index) const noexcept {
  const auto* v = ReadDoc::value(*this);
  if (!v || !v->IsArray() || index >= v->Size()) return {};
  return ReadDoc::handle(&(*v)[static_cast<rapidjson::SizeType>(index)]);
}

JsonValue JsonValue::at(std::string_view pointer) const { return json_detail::walkPointer(*this, pointer); }

std::string JsonValue::keyAt(std::size_t index) const { return json_detail::keyOf(ReadDoc::value(*this), index); }

JsonValue JsonValue::valueAt(std::size_t index) const noexcept {
  const auto* v = ReadDoc::value(*this);
  if (!v || !v->IsObject() || index >= v->MemberCount()) return {};
  return ReadDoc::handle(&(v->MemberBegin() + static_cast<std::ptrdiff_t>(index))->value);
}

std::vector<std::string> JsonValue::keys() const { return json_detail::keysOf(ReadDoc::value(*this)); }
std::string JsonValue::text() const { return json_detail::textOf(ReadDoc::value(*this)); }
bool JsonValue::equalsText(std::string_view text) const noexcept {
  return json_detail::equalsTextOf(ReadDoc::value(*this), text);
}
std::int32_t JsonValue::toInt() const noexcept { return json_detail::intOf(ReadDoc::value(*this)); }
std::int64_t JsonValue::toInt64() const noexcept { return json_detail::int64Of(ReadDoc::value(*this)); }
double JsonValue::toDouble() const noexcept { return json_detail::doubleOf(ReadDoc::value(*this)); }
bool JsonValue::toBool() const noexcept { return json_detail::boolOf(ReadDoc::value(*this)); }

std::string JsonValue::toJson(std::uint32_t flags) const {
  std::string out;
  if (const auto* v = ReadDoc::value(*this)) json_detail::writeJson(*v, flags, out);
  return out;
}

JsonDocument::JsonDocument() : doc_(std::make_unique<ReadDoc>()) {}
JsonDocument::~JsonDocument() = default;
JsonDocument::JsonDocument(JsonDocument&&) noexcept = default;
JsonDocument& JsonDocument::operator=(JsonDocument&&) noexcept = default;

bool JsonDocument::parse(std::string_view text, std::uint32_t flags) {
  if (!doc_) doc_ = std::make_unique<ReadDoc>();
  doc_->doc.reset();
  doc_->flags = flags;
  auto parsed = std::make_unique<json_detail::Document>();
  if (!json_detail::parseInto(*parsed, text, flags, doc_->error)) return false;
  doc_->doc = std::move(parsed);
  return true;
}

bool JsonDocument::parse(const std::vector<std::uint8_t>& bytes, std::uint32_t flags) {
  return parse(std::string_view(reinterpret_cast<const char*>(bytes.data()), bytes.size()), flags);
}

JsonValue JsonDocument::root() const noexcept {
  return doc_ && doc_->doc ? ReadDoc::handle(doc_->doc.get()) : JsonValue();
}

const std::string& JsonDocument::errorText() const noexcept {
  static const std::string kNone;
  return doc_ ? doc_->error : kNone;
}

}  // namespace pv
