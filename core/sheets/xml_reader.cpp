#include "core/sheets/xml_reader.h"

#include <array>
#include <cstring>
#include <utility>

namespace pv {
namespace {

bool isSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Bytes that end a name: white space, '>', '/' and '='. A table: names are most of a sheet.
constexpr auto kNameEnds = [] {
  std::array<bool, 256> ends{};
  for (const unsigned char c : {' ', '\t', '\r', '\n', '>', '/', '='}) ends[c] = true;
  return ends;
}();
bool isNameEnd(char c) { return kNameEnds[static_cast<unsigned char>(c)]; }

std::string_view localPart(std::string_view qualified) {
  for (size_t i = qualified.size(); i > 0; --i) {  // names are short: no call for a search
    if (qualified[i - 1] == ':') return qualified.substr(i);
  }
  return qualified;
}

int hexValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

}  // namespace

void appendUtf8(std::string& out, unsigned long cp) {
  if ((cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0xFFFD;
  if (cp < 0x80) {
    out.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else if (cp < 0x10000) {
    out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
}

XmlReader::XmlReader(std::string_view xml) : xml_(xml) {}

XmlReader::XmlReader(std::function<bool(std::string&)> more) : more_(std::move(more)), exhausted_(false) {}

void XmlReader::refill() {
  buffer_.erase(0, pos_);
  pos_ = 0;
  if (!more_(buffer_)) exhausted_ = true;
  xml_ = buffer_;
}

bool XmlReader::attribute(std::string_view localName, std::string_view& value) const {
  for (const auto& [n, v] : attributes_) {
    if (localPart(n) == localName) {
      value = v;
      return true;
    }
  }
  return false;
}

XmlReader::Event XmlReader::next() {
  if (pendingEnd_) {
    pendingEnd_ = false;
    return Event::End;
  }
  // A construct cut off by the end of a piece reads as malformed or as the end: with more
  // to come, it is read again over the next piece. Malformed markup stays malformed and
  // fails once the data is exhausted.
  for (;;) {
    const Event event = scan();
    if ((event != Event::Error && event != Event::Done) || exhausted_) return event;
    refill();
  }
}

XmlReader::Event XmlReader::scan() {
  while (pos_ < xml_.size()) {
    if (xml_[pos_] != '<') {
      const size_t lt = xml_.find('<', pos_);
      // Character data may go on in the next piece (and an entity may be cut in two).
      if (lt == std::string_view::npos && !exhausted_) return fail();
      const size_t end = lt == std::string_view::npos ? xml_.size() : lt;
      text_ = xml_.substr(pos_, end - pos_);
      cdata_ = false;
      pos_ = end;
      return Event::Text;
    }
    // Tags first: a sheet is almost nothing else.
    const char second = pos_ + 1 < xml_.size() ? xml_[pos_ + 1] : '\0';
    if (second == '/') {
      size_t i = pos_ + 2;
      while (i < xml_.size() && !isNameEnd(xml_[i])) ++i;
      name_ = localPart(xml_.substr(pos_ + 2, i - pos_ - 2));
      const size_t gt = i < xml_.size() && xml_[i] == '>' ? i : xml_.find('>', i);
      if (gt == std::string_view::npos || name_.empty()) return fail();
      pos_ = gt + 1;
      return Event::End;
    }
    if (second != '!' && second != '?') return startTag();
    const std::string_view rest = xml_.substr(pos_);
    if (rest.starts_with("<!--")) {
      const size_t end = xml_.find("-->", pos_ + 4);
      if (end == std::string_view::npos) return fail();
      pos_ = end + 3;
    } else if (rest.starts_with("<![CDATA[")) {
      const size_t end = xml_.find("]]>", pos_ + 9);
      if (end == std::string_view::npos) return fail();
      text_ = xml_.substr(pos_ + 9, end - pos_ - 9);
      cdata_ = true;
      pos_ = end + 3;
      return Event::Text;
    } else if (rest.starts_with("<?")) {
      const size_t end = xml_.find("?>", pos_ + 2);
      if (end == std::string_view::npos) return fail();
      pos_ = end + 2;
    } else {
      // DOCTYPE and its internal subset: skipped whole, brackets counted.
      int depth = 0;
      size_t i = pos_ + 2;
      for (; i < xml_.size(); ++i) {
        if (xml_[i] == '[') ++depth;
        else if (xml_[i] == ']') --depth;
        else if (xml_[i] == '>' && depth <= 0) break;
      }
      if (i >= xml_.size()) return fail();
      pos_ = i + 1;
    }
  }
  return Event::Done;
}

XmlReader::Event XmlReader::startTag() {
  size_t i = pos_ + 1;
  while (i < xml_.size() && !isNameEnd(xml_[i])) ++i;
  name_ = localPart(xml_.substr(pos_ + 1, i - pos_ - 1));
  if (name_.empty()) return fail();
  attributes_.clear();
  for (;;) {
    while (i < xml_.size() && isSpace(xml_[i])) ++i;
    if (i >= xml_.size()) return fail();
    if (xml_[i] == '>') {
      pos_ = i + 1;
      return Event::Start;
    }
    if (xml_[i] == '/') {
      if (i + 1 >= xml_.size() || xml_[i + 1] != '>') return fail();
      pos_ = i + 2;
      pendingEnd_ = true;
      return Event::Start;
    }
    const size_t nameStart = i;
    while (i < xml_.size() && !isNameEnd(xml_[i])) ++i;
    const std::string_view attrName = xml_.substr(nameStart, i - nameStart);
    while (i < xml_.size() && isSpace(xml_[i])) ++i;
    if (attrName.empty() || i >= xml_.size() || xml_[i] != '=') return fail();
    ++i;
    while (i < xml_.size() && isSpace(xml_[i])) ++i;
    if (i >= xml_.size() || (xml_[i] != '"' && xml_[i] != '\'')) return fail();
    const char quote = xml_[i];
    const size_t close = xml_.find(quote, i + 1);
    if (close == std::string_view::npos) return fail();
    attributes_.emplace_back(attrName, xml_.substr(i + 1, close - i - 1));
    i = close + 1;
  }
}

void appendXmlText(std::string& out, std::string_view raw) {
  size_t i = 0;
  while (i < raw.size()) {
    const size_t amp = raw.find('&', i);
    if (amp == std::string_view::npos) {
      out.append(raw.substr(i));
      return;
    }
    out.append(raw.substr(i, amp - i));
    const size_t semi = raw.find(';', amp);
    const std::string_view ref =
        semi == std::string_view::npos || semi - amp > 12 ? std::string_view() : raw.substr(amp + 1, semi - amp - 1);
    bool done = true;
    if (ref == "lt") out.push_back('<');
    else if (ref == "gt") out.push_back('>');
    else if (ref == "amp") out.push_back('&');
    else if (ref == "quot") out.push_back('"');
    else if (ref == "apos") out.push_back('\'');
    else if (ref.size() >= 2 && ref[0] == '#') {
      const bool hex = ref[1] == 'x' || ref[1] == 'X';
      const std::string_view digits = ref.substr(hex ? 2 : 1);
      unsigned long cp = 0;
      done = !digits.empty() && digits.size() <= 8;
      for (char c : digits) {
        const int v = hex ? hexValue(c) : (c >= '0' && c <= '9' ? c - '0' : -1);
        if (v < 0) {
          done = false;
          break;
        }
        cp = cp * (hex ? 16 : 10) + static_cast<unsigned long>(v);
      }
      if (done) appendUtf8(out, cp);
    } else {
      done = false;
    }
    if (done) {
      i = semi + 1;
    } else {
      out.push_back('&');
      i = amp + 1;
    }
  }
}

std::string decodeWorkbookEscapes(std::string_view text) {
  if (text.find("_x") == std::string_view::npos) return std::string(text);
  std::string out;
  out.reserve(text.size());
  const auto unitAt = [&](size_t at) -> long {  // the unit of "_xHHHH_" at `at`, or -1
    if (at + 7 > text.size() || text[at] != '_' || (text[at + 1] != 'x' && text[at + 1] != 'X') ||
        text[at + 6] != '_')
      return -1;
    long v = 0;
    for (size_t k = 2; k < 6; ++k) {
      const int h = hexValue(text[at + k]);
      if (h < 0) return -1;
      v = v * 16 + h;
    }
    return v;
  };
  size_t i = 0;
  while (i < text.size()) {
    const long unit = unitAt(i);
    if (unit < 0) {
      out.push_back(text[i++]);
      continue;
    }
    i += 7;
    if (unit >= 0xD800 && unit <= 0xDBFF) {
      const long low = unitAt(i);
      if (low >= 0xDC00 && low <= 0xDFFF) {
        appendUtf8(out, 0x10000 + ((static_cast<unsigned long>(unit) - 0xD800) << 10) +
                            (static_cast<unsigned long>(low) - 0xDC00));
        i += 7;
        continue;
      }
    }
    appendUtf8(out, static_cast<unsigned long>(unit));
  }
  return out;
}

}  // namespace pv
