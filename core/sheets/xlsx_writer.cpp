// The workbook is written in two passes over the rows. The first gives every distinct text
// its shared-string index (writing its XML once), measures it for the column widths and
// picks each cell's style; the second streams the sheet's XML, which needs the widths and
// the used range before its first cell, into the deflater piece by piece.
//
// Shared strings rather than inline ones: a results sheet repeats its verdicts, regions and
// names on most rows, and the deflater's time grows with the XML it is given. A cell that
// names a shared string is `<c r="B7" t="s"><v>12</v></c>`; an inline one carries its whole
// escaped text in `<is><t>` for every row again, which makes the 100,000-order sheet
// several times larger to deflate than the one hash lookup per cell costs.
#include "core/sheets/xlsx_writer.h"

#include <charconv>
#include <cstring>
#include <exception>
#include <functional>
#include <string_view>
#include <unordered_map>

#include "core/sheets/xml_reader.h"
#include "core/sheets/zip_writer.h"
#include "core/text/utf8_decode.h"

namespace pv {
namespace {

constexpr size_t kMaxRows = 1048576;
constexpr size_t kMaxCols = 16384;
constexpr size_t kMaxCellUnits = 32767;  // UTF-16 units in one cell
constexpr size_t kMaxSheetNameUnits = 31;
// Column widths in characters of the default font: narrow columns keep room for a short
// header, and one long address does not push the next column off the screen.
constexpr unsigned kMinWidth = 8, kMaxWidth = 70, kWidthPadding = 2;
// Level 1 writes the results of 100,000 orders in less than half the processor time of
// level 6 (0.37 s against 0.84 s, measured with bench/results_bench) for a file about a
// third larger (7.1 MB against 5.5 MB): the operator waits after every run, the disk does not.
constexpr int kDeflateLevel = 1;
constexpr size_t kSheetPiece = size_t{256} << 10;
constexpr uint32_t kNoCell = 0xFFFFFFFF;

constexpr std::string_view kXmlHead = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\n";
constexpr std::string_view kMainNs = "http://schemas.openxmlformats.org/spreadsheetml/2006/main";
constexpr std::string_view kRelNs = "http://schemas.openxmlformats.org/officeDocument/2006/relationships";
constexpr std::string_view kPackageRelNs = "http://schemas.openxmlformats.org/package/2006/relationships";

bool isXmlChar(char32_t c) {
  return c == 0x9 || c == 0xA || c == 0xD || (c >= 0x20 && c <= 0xD7FF) || (c >= 0xE000 && c <= 0xFFFD) ||
         (c >= 0x10000 && c <= 0x10FFFF);
}

// Characters a spreadsheet shows two columns wide: East-Asian wide and full-width forms
// (CJK, kana, hangul, full-width punctuation) and the emoji blocks.
bool isWide(char32_t c) {
  if (c < 0x1100) return false;
  return c <= 0x115F || (c >= 0x2E80 && c <= 0x303E) || (c >= 0x3041 && c <= 0x33FF) ||
         (c >= 0x3400 && c <= 0x4DBF) || (c >= 0x4E00 && c <= 0x9FFF) || (c >= 0xA000 && c <= 0xA4CF) ||
         (c >= 0xAC00 && c <= 0xD7A3) || (c >= 0xF900 && c <= 0xFAFF) || (c >= 0xFE30 && c <= 0xFE4F) ||
         (c >= 0xFF00 && c <= 0xFF60) || (c >= 0xFFE0 && c <= 0xFFE6) || (c >= 0x1F300 && c <= 0x1F64F) ||
         (c >= 0x1F900 && c <= 0x1F9FF) || (c >= 0x20000 && c <= 0x3FFFD);
}

void appendNumber(std::string& out, uint64_t v) {
  char buf[24];
  const auto end = std::to_chars(buf, buf + sizeof buf, v).ptr;
  out.append(buf, static_cast<size_t>(end - buf));
}

bool isHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// Spreadsheets read "_xHHHH_" in a text as the UTF-16 unit HHHH, so an underscore that
// begins such a run in the text itself is written as the escape of "_" ("_x005F_").
void escapeUnitLookalikes(std::string& out, size_t from) {
  const auto looksLikeUnit = [&out](size_t at) {
    return at + 7 <= out.size() && out[at] == '_' && (out[at + 1] == 'x' || out[at + 1] == 'X') &&
           isHex(out[at + 2]) && isHex(out[at + 3]) && isHex(out[at + 4]) && isHex(out[at + 5]) && out[at + 6] == '_';
  };
  std::string escaped;
  size_t copied = from;
  bool any = false;
  for (size_t at = from; at < out.size(); ++at) {
    if (!looksLikeUnit(at)) continue;
    escaped.append(out, copied, at - copied).append("_x005F");  // the "_" at `at` closes it
    copied = at;
    any = true;
  }
  if (!any) return;
  escaped.append(out, copied, std::string::npos);
  out.resize(from);
  out += escaped;
}

struct TextFacts {
  unsigned width = 0;      // display columns of the longest line
  bool hasBreak = false;   // holds a line feed
  bool needsSpace = false; // white space a reader must not trim or fold
  bool empty = true;       // nothing was left to write
};

// Appends `utf8` as XML character data fit for an attribute or an element: escaped, with
// what XML cannot carry dropped, broken UTF-8 as U+FFFD, cut after `maxUnits` UTF-16 units.
TextFacts appendXmlEscaped(std::string& out, std::string_view utf8, size_t maxUnits) {
  TextFacts facts;
  const size_t start = out.size();
  size_t units = 0;
  unsigned line = 0;
  bool full = false, first = true, lastSpace = false, sawUnderscore = false;
  decodeUtf8(utf8, [&](char32_t c) {
    if (full || !isXmlChar(c)) return;
    const size_t size = c >= 0x10000 ? 2 : 1;
    if (units + size > maxUnits) {
      full = true;
      return;
    }
    units += size;
    facts.empty = false;
    const bool space = c == ' ' || c == '\t' || c == '\n' || c == '\r';
    if (space && (first || lastSpace || c != ' ')) facts.needsSpace = true;
    first = false;
    lastSpace = space;
    switch (c) {
      case '&': out += "&amp;"; break;
      case '<': out += "&lt;"; break;
      case '>': out += "&gt;"; break;
      case '"': out += "&quot;"; break;
      case '\r': out += "&#13;"; break;  // a literal CR would come back as LF from any XML reader
      case '\n':
        out.push_back('\n');
        facts.hasBreak = true;
        if (line > facts.width) facts.width = line;
        line = 0;
        return;
      default:
        if (c < 0x80) {
          out.push_back(static_cast<char>(c));
          if (c == '_') sawUnderscore = true;
        } else {
          appendUtf8(out, c);
        }
    }
    line += isWide(c) ? 2 : 1;
  });
  if (lastSpace) facts.needsSpace = true;
  if (line > facts.width) facts.width = line;
  if (sawUnderscore) escapeUnitLookalikes(out, start);
  return facts;
}

// The shared strings: each distinct text once, in the order first met, as `<si>` XML.
class SharedStrings {
 public:
  SharedStrings() : slots_(1024) {}

  // The index of the text, written and measured when it is new.
  uint32_t indexOf(std::string_view text) {
    const size_t hash = std::hash<std::string_view>{}(text);
    const auto tag = static_cast<uint32_t>(hash >> 7);
    size_t mask = slots_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
      const Slot slot = slots_[at];
      if (slot.index == 0) break;
      if (slot.tag == tag && texts_[slot.index - 1] == text) return slot.index - 1;
    }
    const auto index = static_cast<uint32_t>(texts_.size());
    texts_.push_back(text);
    facts_.push_back(add(text));
    if (texts_.size() * 2 > slots_.size()) {
      grow();
      mask = slots_.size() - 1;
    }
    size_t at = hash & mask;
    while (slots_[at].index != 0) at = (at + 1) & mask;
    slots_[at] = {index + 1, tag};
    return index;
  }

  const TextFacts& facts(uint32_t index) const { return facts_[index]; }
  size_t size() const noexcept { return texts_.size(); }
  const std::string& xml() const noexcept { return xml_; }

 private:
  // The hash's tag is kept in the slot: a probe seldom has to look at a text that differs.
  struct Slot {
    uint32_t index = 0;  // index + 1; 0 for a free slot
    uint32_t tag = 0;
  };

  TextFacts add(std::string_view text) {
    xml_ += "<si><t";
    const size_t tagEnd = xml_.size();
    xml_ += '>';
    const TextFacts facts = appendXmlEscaped(xml_, text, kMaxCellUnits);
    if (facts.needsSpace) xml_.insert(tagEnd, " xml:space=\"preserve\"");
    xml_ += "</t></si>";
    return facts;
  }

  void grow() {
    std::vector<Slot> slots(slots_.size() * 2);
    const size_t mask = slots.size() - 1;
    for (uint32_t i = 0; i < texts_.size(); ++i) {
      const size_t hash = std::hash<std::string_view>{}(texts_[i]);
      size_t at = hash & mask;
      while (slots[at].index != 0) at = (at + 1) & mask;
      slots[at] = {i + 1, static_cast<uint32_t>(hash >> 7)};
    }
    slots_.swap(slots);
  }

  std::vector<Slot> slots_;                // open addressing
  std::vector<std::string_view> texts_;    // views into the caller's rows, alive for the call
  std::vector<TextFacts> facts_;
  std::string xml_;
};

// Cell formats: font 0 plain or 1 bold, fill 0 none or one per row colour, wrapped or not.
// Format 0 is the plain default every unstyled cell has.
class Styles {
 public:
  uint32_t formatOf(uint32_t rgb, bool bold, bool wrap) {
    if (!rgb && !bold && !wrap) return 0;
    uint32_t fill = 0;
    if (rgb) {
      const auto [it, added] = fills_.try_emplace(rgb, static_cast<uint32_t>(fillColors_.size() + 2));
      if (added) fillColors_.push_back(rgb);
      fill = it->second;
    }
    const uint64_t key = (uint64_t{fill} << 2) | (bold ? 2u : 0u) | (wrap ? 1u : 0u);
    const auto [it, added] = formats_.try_emplace(key, static_cast<uint32_t>(formatKeys_.size() + 1));
    if (added) formatKeys_.push_back(key);
    return it->second;
  }

  std::string xml() const {
    std::string out(kXmlHead);
    out += "<styleSheet xmlns=\"";
    out += kMainNs;
    out += "\"><fonts count=\"2\">"
           "<font><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font>"
           "<font><b/><sz val=\"11\"/><name val=\"Calibri\"/><family val=\"2\"/></font></fonts>";
    // The first two fills are reserved: none and gray125, whatever a file declares there.
    out += "<fills count=\"";
    appendNumber(out, fillColors_.size() + 2);
    out += "\"><fill><patternFill patternType=\"none\"/></fill><fill><patternFill patternType=\"gray125\"/></fill>";
    for (const uint32_t rgb : fillColors_) {
      char hex[7];
      for (int i = 0; i < 6; ++i) hex[i] = "0123456789ABCDEF"[(rgb >> (20 - 4 * i)) & 0xF];
      hex[6] = '\0';
      out += "<fill><patternFill patternType=\"solid\"><fgColor rgb=\"FF";
      out += hex;
      out += "\"/><bgColor indexed=\"64\"/></patternFill></fill>";
    }
    out += "</fills><borders count=\"1\"><border><left/><right/><top/><bottom/><diagonal/></border></borders>"
           "<cellStyleXfs count=\"1\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\"/></cellStyleXfs>"
           "<cellXfs count=\"";
    appendNumber(out, formatKeys_.size() + 1);
    out += "\"><xf numFmtId=\"0\" fontId=\"0\" fillId=\"0\" borderId=\"0\" xfId=\"0\"/>";
    for (const uint64_t key : formatKeys_) {
      const bool bold = key & 2, wrap = key & 1;
      const uint64_t fill = key >> 2;
      out += "<xf numFmtId=\"0\" fontId=\"";
      out += bold ? '1' : '0';
      out += "\" fillId=\"";
      appendNumber(out, fill);
      out += "\" borderId=\"0\" xfId=\"0\"";
      if (bold) out += " applyFont=\"1\"";
      if (fill) out += " applyFill=\"1\"";
      out += wrap ? " applyAlignment=\"1\"><alignment wrapText=\"1\"/></xf>" : "/>";
    }
    out += "</cellXfs><cellStyles count=\"1\"><cellStyle name=\"Normal\" xfId=\"0\" builtinId=\"0\"/></cellStyles>"
           "</styleSheet>";
    return out;
  }

 private:
  std::unordered_map<uint32_t, uint32_t> fills_;  // colour -> fill id
  std::vector<uint32_t> fillColors_;              // of fill ids 2, 3, ...
  std::unordered_map<uint64_t, uint32_t> formats_;
  std::vector<uint64_t> formatKeys_;  // of formats 1, 2, ...: fill << 2 | bold << 1 | wrap
};

std::string columnName(size_t col) {
  std::string name;
  for (size_t c = col + 1; c > 0; c = (c - 1) / 26) name.insert(name.begin(), static_cast<char>('A' + (c - 1) % 26));
  return name;
}

void appendCellRef(std::string& out, size_t row, size_t col) {
  out += columnName(col);
  appendNumber(out, row + 1);
}

// A name a spreadsheet accepts for a sheet: at most 31 UTF-16 units, none of []:*?/\ (each
// becomes "_"), no control character, no apostrophe at either end, not empty, and not
// "History", which Excel keeps for itself.
std::string legalSheetName(std::string_view utf8) {
  std::string name;
  size_t units = 0;
  decodeUtf8(utf8, [&](char32_t c) {
    if (c < 0x20 || !isXmlChar(c)) return;
    const size_t size = c >= 0x10000 ? 2 : 1;
    if (units + size > kMaxSheetNameUnits) {
      units = kMaxSheetNameUnits;
      return;
    }
    units += size;
    if (c < 0x80 && std::strchr("[]:*?/\\", static_cast<char>(c))) c = '_';
    appendUtf8(name, c);
  });
  const size_t first = name.find_first_not_of('\'');
  name = first == std::string::npos ? std::string() : name.substr(first, name.find_last_not_of('\'') - first + 1);
  std::string lower = name;
  for (char& c : lower) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  if (lower == "history") name += '_';
  return name.empty() ? std::string("Sheet1") : name;
}

std::string contentTypesXml(bool sharedStrings) {
  std::string out(kXmlHead);
  out += "<Types xmlns=\"http://schemas.openxmlformats.org/package/2006/content-types\">"
         "<Default Extension=\"rels\" ContentType=\"application/vnd.openxmlformats-package.relationships+xml\"/>"
         "<Default Extension=\"xml\" ContentType=\"application/xml\"/>"
         "<Override PartName=\"/xl/workbook.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sheet.main+xml\"/>"
         "<Override PartName=\"/xl/worksheets/sheet1.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.worksheet+xml\"/>"
         "<Override PartName=\"/xl/styles.xml\" "
         "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.styles+xml\"/>";
  if (sharedStrings)
    out += "<Override PartName=\"/xl/sharedStrings.xml\" "
           "ContentType=\"application/vnd.openxmlformats-officedocument.spreadsheetml.sharedStrings+xml\"/>";
  return out + "</Types>";
}

std::string packageRelsXml() {
  std::string out(kXmlHead);
  out += "<Relationships xmlns=\"";
  out += kPackageRelNs;
  out += "\"><Relationship Id=\"rId1\" Type=\"";
  out += kRelNs;
  return out + "/officeDocument\" Target=\"xl/workbook.xml\"/></Relationships>";
}

std::string workbookXml(std::string_view sheetName) {
  std::string out(kXmlHead);
  out += "<workbook xmlns=\"";
  out += kMainNs;
  out += "\" xmlns:r=\"";
  out += kRelNs;
  out += "\"><bookViews><workbookView/></bookViews><sheets><sheet name=\"";
  appendXmlEscaped(out, legalSheetName(sheetName), kMaxSheetNameUnits);
  return out + "\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
}

std::string workbookRelsXml(bool sharedStrings) {
  std::string out(kXmlHead);
  out += "<Relationships xmlns=\"";
  out += kPackageRelNs;
  out += "\">";
  const auto relation = [&out](std::string_view id, std::string_view type, std::string_view target) {
    out += "<Relationship Id=\"";
    out += id;
    out += "\" Type=\"";
    out += kRelNs;
    out += type;
    out += "\" Target=\"";
    out += target;
    out += "\"/>";
  };
  relation("rId1", "/worksheet", "worksheets/sheet1.xml");
  relation("rId2", "/styles", "styles.xml");
  if (sharedStrings) relation("rId3", "/sharedStrings", "sharedStrings.xml");
  return out + "</Relationships>";
}

// What the first pass learns of the sheet.
struct Layout {
  std::vector<uint32_t> cells;      // per written cell, row by row: shared-string index, or kNoCell
  std::vector<size_t> rowStart;     // per row: its first entry in `cells`; one more at the end
  std::vector<uint32_t> rowFormat;  // per row: the cell format of its unwrapped and wrapped cells
  std::vector<unsigned> widths;     // per column: display width of its widest line
  size_t written = 0;               // cells that name a shared string
  size_t firstRow = kMaxRows, lastRow = 0, firstCol = kMaxCols, lastCol = 0;
  bool any = false;
};

bool measure(const SheetToWrite& sheet, SharedStrings& strings, Styles& styles, Layout& layout) {
  const size_t rows = sheet.rows.size();
  layout.rowStart.reserve(rows + 1);
  layout.rowFormat.assign(2 * rows, 0);
  size_t cellCount = 0;
  for (const auto& row : sheet.rows) cellCount += row.size();
  layout.cells.reserve(cellCount);
  for (size_t r = 0; r < rows; ++r) {
    layout.rowStart.push_back(layout.cells.size());
    const auto& row = sheet.rows[r];
    const uint32_t rgb = r < sheet.rowFills.size() ? sheet.rowFills[r] & 0xFFFFFF : 0;
    const bool bold = static_cast<long long>(r) == sheet.headerRow;
    bool formatsKnown[2] = {false, false};
    for (size_t c = 0; c < row.size(); ++c) {
      if (row[c].empty()) {
        layout.cells.push_back(kNoCell);
        continue;
      }
      if (r >= kMaxRows || c >= kMaxCols) return false;
      const uint32_t index = strings.indexOf(row[c]);
      const TextFacts& facts = strings.facts(index);
      // Nothing but characters XML cannot carry: no cell, as for an empty text.
      layout.cells.push_back(facts.empty ? kNoCell : index);
      if (facts.empty) continue;
      ++layout.written;
      if (c >= layout.widths.size()) layout.widths.resize(c + 1, 0);
      if (facts.width > layout.widths[c]) layout.widths[c] = facts.width;
      const int wrap = facts.hasBreak ? 1 : 0;
      if (!formatsKnown[wrap]) {
        layout.rowFormat[2 * r + static_cast<size_t>(wrap)] = styles.formatOf(rgb, bold, wrap);
        formatsKnown[wrap] = true;
      }
      layout.any = true;
      if (r < layout.firstRow) layout.firstRow = r;
      layout.lastRow = r;
      if (c < layout.firstCol) layout.firstCol = c;
      if (c > layout.lastCol) layout.lastCol = c;
    }
  }
  layout.rowStart.push_back(layout.cells.size());
  return true;
}

void writeSheet(const SheetToWrite& sheet, const SharedStrings& strings, const Layout& layout, ZipWriter& zip) {
  std::string xml;
  xml.reserve(kSheetPiece + (size_t{64} << 10));
  xml += kXmlHead;
  xml += "<worksheet xmlns=\"";
  xml += kMainNs;
  xml += "\" xmlns:r=\"";
  xml += kRelNs;
  xml += "\"><dimension ref=\"";
  if (layout.any) {
    appendCellRef(xml, layout.firstRow, layout.firstCol);
    if (layout.firstRow != layout.lastRow || layout.firstCol != layout.lastCol) {
      xml += ':';
      appendCellRef(xml, layout.lastRow, layout.lastCol);
    }
  } else {
    xml += "A1";
  }
  xml += "\"/><sheetViews><sheetView tabSelected=\"1\" workbookViewId=\"0\"";
  // The pane's top-left cell must stay inside the sheet: a header on the last row freezes nothing.
  if (sheet.headerRow >= 0 && static_cast<size_t>(sheet.headerRow) + 1 < kMaxRows) {
    const auto below = static_cast<size_t>(sheet.headerRow) + 1;
    xml += "><pane ySplit=\"";
    appendNumber(xml, below);
    xml += "\" topLeftCell=\"";
    appendCellRef(xml, below, 0);
    xml += "\" activePane=\"bottomLeft\" state=\"frozen\"/><selection pane=\"bottomLeft\" activeCell=\"";
    appendCellRef(xml, below, 0);
    xml += "\" sqref=\"";
    appendCellRef(xml, below, 0);
    xml += "\"/></sheetView>";
  } else {
    xml += "/>";
  }
  xml += "</sheetViews><sheetFormatPr defaultRowHeight=\"15\"/>";
  bool colsOpen = false;
  for (size_t c = 0; c < layout.widths.size(); ++c) {
    if (layout.widths[c] == 0) continue;  // no text: the default width
    if (!colsOpen) xml += "<cols>";
    colsOpen = true;
    const unsigned width = std::min(std::max(layout.widths[c] + kWidthPadding, kMinWidth), kMaxWidth);
    xml += "<col min=\"";
    appendNumber(xml, c + 1);
    xml += "\" max=\"";
    appendNumber(xml, c + 1);
    xml += "\" width=\"";
    appendNumber(xml, width);
    xml += "\" customWidth=\"1\"/>";
  }
  if (colsOpen) xml += "</cols>";
  xml += "<sheetData>";

  std::vector<std::string> columns(layout.widths.size());
  for (size_t c = 0; c < columns.size(); ++c) columns[c] = columnName(c);
  char rowNumber[16];
  for (size_t r = 0; r + 1 < layout.rowStart.size(); ++r) {
    const size_t begin = layout.rowStart[r], end = layout.rowStart[r + 1];
    bool open = false;
    size_t rowNumberSize = 0;
    for (size_t at = begin; at < end; ++at) {
      const uint32_t index = layout.cells[at];
      if (index == kNoCell) continue;
      if (!open) {
        rowNumberSize = static_cast<size_t>(std::to_chars(rowNumber, rowNumber + sizeof rowNumber, r + 1).ptr - rowNumber);
        xml += "<row r=\"";
        xml.append(rowNumber, rowNumberSize);
        xml += "\">";
        open = true;
      }
      xml += "<c r=\"";
      xml += columns[at - begin];
      xml.append(rowNumber, rowNumberSize);
      const uint32_t format = layout.rowFormat[2 * r + (strings.facts(index).hasBreak ? 1 : 0)];
      if (format) {
        xml += "\" s=\"";
        appendNumber(xml, format);
      }
      xml += "\" t=\"s\"><v>";
      appendNumber(xml, index);
      xml += "</v></c>";
    }
    if (open) xml += "</row>";
    if (xml.size() >= kSheetPiece) {
      zip.write(xml);
      xml.clear();
    }
  }
  xml += "</sheetData></worksheet>";
  zip.write(xml);
}

}  // namespace

std::string writeXlsxBook(const SheetToWrite& sheet) {
  try {
    SharedStrings strings;
    Styles styles;
    Layout layout;
    if (!measure(sheet, strings, styles, layout)) return {};
    const bool shared = strings.size() > 0;

    ZipWriter zip(kDeflateLevel);
    zip.addMember("[Content_Types].xml", contentTypesXml(shared));
    zip.addMember("_rels/.rels", packageRelsXml());
    zip.addMember("xl/workbook.xml", workbookXml(sheet.sheetName));
    zip.addMember("xl/_rels/workbook.xml.rels", workbookRelsXml(shared));
    zip.addMember("xl/styles.xml", styles.xml());
    zip.beginMember("xl/worksheets/sheet1.xml");
    writeSheet(sheet, strings, layout, zip);
    zip.endMember();
    if (shared) {
      std::string head(kXmlHead);
      head += "<sst xmlns=\"";
      head += kMainNs;
      head += "\" count=\"";
      appendNumber(head, layout.written);
      head += "\" uniqueCount=\"";
      appendNumber(head, strings.size());
      head += "\">";
      zip.beginMember("xl/sharedStrings.xml");
      zip.write(head);
      zip.write(strings.xml());
      zip.write("</sst>");
      zip.endMember();
    }
    return zip.finish();
  } catch (const std::exception&) {  // memory ran out on the way
    return {};
  }
}

}  // namespace pv
