#pragma once
// A small pull reader for the XML parts of a workbook. It walks a buffer once and hands out
// start tags (with their attributes), end tags and character data, as views into the
// buffer: a 30 MB sheet is never turned into a tree. Names are given without their prefix
// ("x:c" reads as "c"). Not a validating reader: it needs well-formed tags, skips
// declarations, comments, processing instructions and DOCTYPE (no entity of a DTD is ever
// expanded), and stops with an error at malformed markup.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

class XmlReader {
 public:
  enum class Event { Start, End, Text, Done, Error };

  explicit XmlReader(std::string_view xml);
  // Over data that arrives in pieces: `more` appends the next piece to the buffer it is
  // given and returns false when there is none. Only the unread rest of the data is kept,
  // so a large part is read without ever standing whole in memory. Views handed out stay
  // valid until the next call of next().
  explicit XmlReader(std::function<bool(std::string&)> more);

  // The next event. A self-closing tag gives Start and then End. Text is the raw character
  // data between tags (entities still encoded), or a CDATA section's content.
  Event next();

  // Of the last Start or End: the local name.
  std::string_view name() const { return name_; }
  // Of the last Start: the raw value of the attribute with this local name, or none.
  bool attribute(std::string_view localName, std::string_view& value) const;
  // Of the last Text.
  std::string_view text() const { return text_; }
  // True when the last Text came from CDATA (no entities to decode).
  bool textIsCdata() const { return cdata_; }

 private:
  Event scan();
  Event startTag();
  Event fail() { return Event::Error; }
  // Drops what was read, appends the next piece; marks the end when there is none.
  void refill();

  std::function<bool(std::string&)> more_;
  std::string buffer_;     // of a reader over pieces: the unread rest and the next piece
  bool exhausted_ = true;  // no piece is to come
  std::string_view xml_;
  size_t pos_ = 0;
  bool pendingEnd_ = false;
  bool cdata_ = false;
  std::string_view name_;
  std::string_view text_;
  std::vector<std::pair<std::string_view, std::string_view>> attributes_;
};

// Appends the character data with XML's entities (&lt; &gt; &amp; &quot; &apos; and
// numeric references) decoded, as UTF-8. An unknown or malformed reference stays as written.
void appendXmlText(std::string& out, std::string_view raw);

// Decodes the workbook escapes "_xHHHH_" (a UTF-16 unit written in hexadecimal, used for
// characters XML cannot carry; "_x005F_" is a literal "_") in UTF-8 text.
std::string decodeWorkbookEscapes(std::string_view utf8);

// Appends the UTF-8 form of a code point; invalid ones (surrogates, past U+10FFFF) as U+FFFD.
void appendUtf8(std::string& out, unsigned long codePoint);

}  // namespace pv
