// The xls side of SpreadsheetBook: the "Workbook" (BIFF8) or "Book" (BIFF5) stream of a
// compound file, its shared strings and the first sheet's cell records.
#include <algorithm>
#include <bit>
#include <string>
#include <string_view>
#include <vector>

#include "core/sheets/compound_file.h"
#include "core/sheets/spreadsheet.h"
#include "core/sheets/xml_reader.h"
#include "core/text/codepage.h"
#include "core/text/encoding.h"

namespace pv {
namespace {

namespace e = spreadsheet_errors;

enum : uint16_t {
  kBof = 0x0809, kEof = 0x000A, kFilePass = 0x002F, kCodePage = 0x0042, kBoundSheet = 0x0085,
  kSst = 0x00FC, kContinue = 0x003C, kLabelSst = 0x00FD, kLabel = 0x0204, kRString = 0x00D6,
  kNumber = 0x0203, kRk = 0x027E, kMulRk = 0x00BD, kMulBlank = 0x00BE, kBlank = 0x0201,
  kBoolErr = 0x0205, kFormula = 0x0006, kString = 0x0207, kWindow2 = 0x023E,
  kShrFmla = 0x04BC, kArray = 0x0221, kTable = 0x0236, kFormat = 0x041E, kXf = 0x00E0,
};

uint16_t le16(std::string_view b, size_t at) {
  return static_cast<uint16_t>(static_cast<unsigned char>(b[at]) |
                               (static_cast<unsigned char>(b[at + 1]) << 8));
}
uint32_t le32(std::string_view b, size_t at) {
  return static_cast<uint32_t>(le16(b, at)) | (static_cast<uint32_t>(le16(b, at + 2)) << 16);
}
double leDouble(std::string_view b, size_t at) {
  const uint64_t bits = le32(b, at) | (uint64_t{le32(b, at + 4)} << 32);
  return std::bit_cast<double>(bits);
}

// An RK value: 30 bits of an integer or of a double's high half, perhaps in hundredths.
double rkValue(uint32_t rk) {
  const double value = (rk & 0x02) ? static_cast<double>(static_cast<int32_t>(rk) >> 2)
                                   : std::bit_cast<double>(uint64_t{rk & 0xFFFFFFFCu} << 32);
  return (rk & 0x01) ? value / 100 : value;
}

// One record with the CONTINUE records that follow it, as the pieces they came in.
struct Record {
  uint16_t type = 0;
  std::vector<std::string_view> parts;
  std::string_view data() const { return parts.empty() ? std::string_view() : parts[0]; }
};

class RecordStream {
 public:
  explicit RecordStream(std::string_view stream, size_t at = 0) : s_(stream), pos_(at) {}
  size_t position() const { return pos_; }
  // The next record, with its CONTINUE records when `withContinues`. False at the end of
  // the stream or at a record that runs past it.
  bool next(Record& r, bool withContinues) {
    r.parts.clear();
    if (pos_ + 4 > s_.size()) return false;
    r.type = le16(s_, pos_);
    const size_t len = le16(s_, pos_ + 2);
    if (pos_ + 4 + len > s_.size()) return false;
    r.parts.push_back(s_.substr(pos_ + 4, len));
    pos_ += 4 + len;
    while (withContinues && pos_ + 4 <= s_.size() && le16(s_, pos_) == kContinue) {
      const size_t clen = le16(s_, pos_ + 2);
      if (pos_ + 4 + clen > s_.size()) break;
      r.parts.push_back(s_.substr(pos_ + 4, clen));
      pos_ += 4 + clen;
    }
    return true;
  }

 private:
  std::string_view s_;
  size_t pos_;
};

// The width of a string's character count.
enum class Count { Word, Byte };

// Reads across the pieces of a record. Raw reads cross piece boundaries unnoticed; the
// characters of a BIFF8 string restart at each boundary with a new option byte that says
// whether the rest is compressed (one byte per character) or UTF-16.
class PieceReader {
 public:
  explicit PieceReader(const std::vector<std::string_view>& parts, size_t skip = 0) : parts_(parts) {
    this->skip(skip);
  }
  bool u8(uint8_t& v) {
    if (!settle()) return false;
    v = static_cast<uint8_t>(parts_[part_][pos_++]);
    return true;
  }
  bool u16(uint16_t& v) {
    uint8_t a, b;
    if (!u8(a) || !u8(b)) return false;
    v = static_cast<uint16_t>(a | (b << 8));
    return true;
  }
  bool u32(uint32_t& v) {
    uint16_t a, b;
    if (!u16(a) || !u16(b)) return false;
    v = a | (static_cast<uint32_t>(b) << 16);
    return true;
  }
  bool count(Count width, uint16_t& v) {
    if (width == Count::Word) return u16(v);
    uint8_t b;
    if (!u8(b)) return false;
    v = b;
    return true;
  }
  bool skip(size_t n) {
    while (n > 0) {
      if (!settle()) return false;
      const size_t take = std::min(n, parts_[part_].size() - pos_);
      pos_ += take;
      n -= take;
    }
    return true;
  }
  // `count` characters of a BIFF8 string whose option byte said `wide`.
  bool chars(size_t count, bool wide, std::u16string& out) {
    while (count > 0) {
      if (part_ >= parts_.size()) return false;
      const std::string_view p = parts_[part_];
      const size_t width = wide ? 2 : 1;
      if (pos_ + width <= p.size()) {
        out.push_back(static_cast<char16_t>(wide ? le16(p, pos_) : static_cast<unsigned char>(p[pos_])));
        pos_ += width;
        --count;
        continue;
      }
      if (pos_ < p.size()) return false;  // a character cut in two
      // Continued in the next piece: it starts with the option byte of the rest, and a
      // piece may hold that byte and nothing more.
      ++part_;
      pos_ = 0;
      if (part_ >= parts_.size() || parts_[part_].empty()) return false;
      wide = parts_[part_][0] & 0x01;
      pos_ = 1;
    }
    return true;
  }
  bool atEnd() {
    return !settle();
  }

 private:
  // Moves past exhausted pieces; false when nothing is left.
  bool settle() {
    while (part_ < parts_.size() && pos_ >= parts_[part_].size()) {
      ++part_;
      pos_ = 0;
    }
    return part_ < parts_.size();
  }
  const std::vector<std::string_view>& parts_;
  size_t part_ = 0, pos_ = 0;
};

void appendUtf16AsUtf8(std::string& out, std::u16string_view units) {
  for (size_t i = 0; i < units.size(); ++i) {
    unsigned long cp = units[i];
    if (cp >= 0xD800 && cp <= 0xDBFF && i + 1 < units.size() && units[i + 1] >= 0xDC00 &&
        units[i + 1] <= 0xDFFF) {
      cp = 0x10000 + ((cp - 0xD800) << 10) + (units[i + 1] - 0xDC00);
      ++i;
    }
    appendUtf8(out, cp);
  }
}

// A BIFF8 string: character count (16 or 8 bits, as `width` says), option byte, optional
// run and extension counts, characters, then the rich-text runs and the phonetic extension,
// skipped.
bool readUnicodeString(PieceReader& in, Count width, std::string& out) {
  uint16_t count = 0;
  if (!in.count(width, count)) return false;
  uint8_t options;
  if (!in.u8(options)) return false;
  uint16_t runs = 0;
  uint32_t extension = 0;
  if ((options & 0x08) && !in.u16(runs)) return false;
  if ((options & 0x04) && !in.u32(extension)) return false;
  std::u16string units;
  units.reserve(count);
  if (!in.chars(count, options & 0x01, units)) return false;
  appendUtf16AsUtf8(out, units);
  // The tails may be cut off by a broken file; the characters are what matters.
  in.skip(size_t{runs} * 4);
  in.skip(extension);
  return true;
}

// Windows-1252's characters for 0x80..0x9F (0: undefined), for BIFF5 files of western code pages.
constexpr uint16_t kCp1252High[32] = {
    0x20AC, 0, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0, 0x017D, 0, 0, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0, 0x017E, 0x0178};

// A BIFF5 string: 8-bit characters in the workbook's code page, after a count of 16 bits
// (8 in a FORMAT record).
bool readByteString(PieceReader& in, uint16_t codePage, std::string& out, Count width = Count::Word) {
  uint16_t count = 0;
  if (!in.count(width, count)) return false;
  std::string bytes;
  for (uint16_t i = 0; i < count; ++i) {
    uint8_t b;
    if (!in.u8(b)) return false;
    bytes.push_back(static_cast<char>(b));
  }
  if (codePage == 65001) {
    out += bytes;
  } else if (codePage >= 1250 && codePage <= 1258) {
    for (unsigned char b : bytes) {
      appendUtf8(out, b >= 0x80 && b < 0xA0 ? (kCp1252High[b - 0x80] ? kCp1252High[b - 0x80] : 0xFFFD) : b);
    }
  } else {
    // Our operators' files: GBK whatever the record says (and when no record says anything).
    out += gbkToUtf8(bytes);
  }
  return true;
}

struct SharedString {
  uint32_t offset, length;
};

struct Globals {
  bool biff8 = true;
  uint16_t codePage = 0;
  bool haveSheet = false;
  uint32_t sheetOffset = 0;
  uint8_t sheetType = 0;
  size_t end = 0;  // stream position after the globals' EOF
  std::vector<SharedString> shared;
  DateStyles dates;
};

bool readGlobals(std::string_view stream, Globals& g, std::string& pool, std::string& error) {
  RecordStream in(stream);
  Record r;
  if (!in.next(r, false) || (r.type & 0xFF) != 0x09 || r.type == 0x0009 || r.type == 0x0209 ||
      r.type == 0x0409) {
    error = (r.type == 0x0209 || r.type == 0x0409 || r.type == 0x0009) ? e::kOldFormat : e::kBroken;
    return false;
  }
  if (r.type != kBof || r.data().size() < 4) {
    error = e::kBroken;
    return false;
  }
  const uint16_t version = le16(r.data(), 0), kind = le16(r.data(), 2);
  g.biff8 = version >= 0x0600;
  if (kind != 0x0005) {
    // No globals: the stream is a single sheet.
    g.haveSheet = true;
    g.sheetOffset = 0;
    g.sheetType = kind == 0x0010 ? 0 : 2;
    return true;
  }
  while (in.next(r, true)) {
    const std::string_view d = r.data();
    switch (r.type) {
      case kFilePass:
        error = e::kEncrypted;
        return false;
      case kCodePage:
        if (d.size() >= 2) g.codePage = le16(d, 0);
        break;
      case kBoundSheet:
        if (!g.haveSheet && d.size() >= 6) {
          g.haveSheet = true;
          g.sheetOffset = le32(d, 0);
          g.sheetType = static_cast<uint8_t>(d[5]);
        }
        break;
      case kSst: {
        if (!g.biff8) break;
        PieceReader strings(r.parts, 8);
        const uint32_t unique = d.size() >= 8 ? le32(d, 4) : 0;
        // The stated count is only a bound; the strings end where the record's bytes end.
        for (uint32_t i = 0; i < unique && !strings.atEnd(); ++i) {
          const size_t offset = pool.size();
          if (!readUnicodeString(strings, Count::Word, pool)) break;
          if (pool.size() > 0xFFFFFFFFu) {
            error = e::kTooLarge;
            return false;
          }
          g.shared.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(pool.size() - offset)});
        }
        break;
      }
      case kFormat:
        if (d.size() >= 2) {
          // Only the code's letters matter: a BIFF5 code is taken byte for byte.
          PieceReader code(r.parts, 2);
          std::string text;
          if (g.biff8 ? readUnicodeString(code, Count::Word, text) : readByteString(code, 1252, text, Count::Byte))
            g.dates.addFormat(le16(d, 0), text);
        }
        break;
      case kXf:
        if (d.size() >= 4) g.dates.addStyle(le16(d, 2));
        break;
      case kEof:
        g.end = in.position();
        return true;
      default:
        break;
    }
  }
  g.end = in.position();
  return true;
}

bool readCells(std::string_view stream, size_t at, const Globals& g, SpreadsheetSheet& sheet) {
  std::string& pool = sheet.pool();
  RecordStream in(stream, at);
  Record r;
  if (!in.next(r, false) || r.type != kBof) return false;
  if (r.data().size() >= 4 && le16(r.data(), 2) != 0x0010) return true;  // a chart or macro sheet
  int depth = 1;
  bool windowSeen = false;
  bool pendingString = false;
  uint16_t pendingRow = 0, pendingCol = 0;
  const auto addText = [&](uint32_t row, uint32_t col, size_t offset) {
    sheet.addText(row, col, static_cast<uint32_t>(offset), static_cast<uint32_t>(pool.size() - offset));
  };
  // A number under a date format holds a value no address wants: it only counts for the
  // used range. Blank cells (BLANK, MULBLANK) carry only a style and do not even count.
  const auto addNumber = [&](uint32_t row, uint32_t col, uint16_t style, double value) {
    if (g.dates.isDate(style)) sheet.noteCell(row, col);
    else sheet.addNumber(row, col, value);
  };
  while (depth > 0 && in.next(r, true)) {
    const std::string_view d = r.data();
    if (r.type == kBof) {
      ++depth;  // an embedded chart's own substream
      continue;
    }
    if (r.type == kEof) {
      --depth;
      continue;
    }
    if (depth != 1) continue;
    if (pendingString && r.type != kString && r.type != kShrFmla && r.type != kArray &&
        r.type != kTable)
      pendingString = false;
    switch (r.type) {
      case kWindow2:
        if (!windowSeen && d.size() >= 6) {
          windowSeen = true;
          sheet.setTopLeft(le16(d, 2), le16(d, 4));
        }
        break;
      case kLabelSst:
        if (d.size() >= 10) {
          const uint32_t index = le32(d, 6);
          if (index < g.shared.size())
            sheet.addText(le16(d, 0), le16(d, 2), g.shared[index].offset, g.shared[index].length);
          else
            sheet.noteCell(le16(d, 0), le16(d, 2));
        }
        break;
      case kLabel:
      case kRString:
        if (d.size() >= 6) {
          PieceReader text(r.parts, 6);
          const size_t offset = pool.size();
          const bool ok = g.biff8 ? readUnicodeString(text, Count::Word, pool) : readByteString(text, g.codePage, pool);
          if (ok) addText(le16(d, 0), le16(d, 2), offset);
          else {
            pool.resize(offset);
            sheet.noteCell(le16(d, 0), le16(d, 2));
          }
        }
        break;
      case kNumber:
        if (d.size() >= 14) addNumber(le16(d, 0), le16(d, 2), le16(d, 4), leDouble(d, 6));
        break;
      case kRk:
        if (d.size() >= 10) addNumber(le16(d, 0), le16(d, 2), le16(d, 4), rkValue(le32(d, 6)));
        break;
      case kBoolErr:
        if (d.size() >= 4) sheet.noteCell(le16(d, 0), le16(d, 2));
        break;
      case kMulRk:
        if (d.size() >= 6) {
          // The count comes from the record's length, not from its last-column field.
          const size_t n = (d.size() - 6) / 6;
          for (size_t i = 0; i < n; ++i) {
            const size_t at = 4 + 6 * i;  // style, then the RK value
            addNumber(le16(d, 0), static_cast<uint32_t>(le16(d, 2) + i), le16(d, at), rkValue(le32(d, at + 2)));
          }
        }
        break;
      case kFormula:
        if (d.size() >= 14) {
          // A result that is no number is marked by FFFF in the last two bytes of the value;
          // its first byte says which: 0 a string, whose text follows in a STRING record.
          if (le16(d, 12) != 0xFFFF) addNumber(le16(d, 0), le16(d, 2), le16(d, 4), leDouble(d, 6));
          else sheet.noteCell(le16(d, 0), le16(d, 2));
          pendingString = d[6] == 0 && le16(d, 12) == 0xFFFF;
          pendingRow = le16(d, 0);
          pendingCol = le16(d, 2);
        }
        break;
      case kString:
        if (pendingString) {
          pendingString = false;
          PieceReader text(r.parts);
          const size_t offset = pool.size();
          const bool ok = g.biff8 ? readUnicodeString(text, Count::Word, pool) : readByteString(text, g.codePage, pool);
          if (ok) addText(pendingRow, pendingCol, offset);
          else pool.resize(offset);
        }
        break;
      default:
        break;
    }
    if (pool.size() > 0xFFFFFFFFu) return false;
  }
  return true;
}

}  // namespace

bool readXlsSheet(std::string_view bytes, SpreadsheetSheet& sheet, std::string& error) {
  const CompoundFile file(bytes);
  if (!file.ok()) {
    error = e::kBroken;
    return false;
  }
  std::string stream;
  if (!file.readStream(u"Workbook", stream) && !file.readStream(u"Book", stream)) {
    // An encrypted xlsx is a compound file with the package inside.
    error = file.hasStream(u"EncryptedPackage") ? e::kEncrypted
            : file.hasStream(u"Workbook") || file.hasStream(u"Book") ? e::kBroken
                                                                     : e::kUnknown;
    return false;
  }
  Globals g;
  if (!readGlobals(stream, g, sheet.pool(), error)) return false;
  if (!g.haveSheet) return true;  // a workbook without sheets: nothing to read
  if (g.sheetType != 0) return true;  // the first sheet is a chart or macro sheet: no cells
  // The sheet's stated position must hold a sheet's BOF; otherwise the substream that
  // follows the globals is taken (sheets follow them in order).
  size_t at = g.sheetOffset;
  if (at + 4 > stream.size() || le16(stream, at) != kBof) at = g.end;
  if (at + 4 > stream.size() || le16(stream, at) != kBof) return true;
  if (!readCells(stream, at, g, sheet)) {
    error = e::kBroken;
    return false;
  }
  return true;
}

}  // namespace pv
