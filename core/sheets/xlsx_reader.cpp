// The xlsx side of SpreadsheetBook: zip container, relationships, shared strings and the
// first sheet's cells, read with the pull reader (no tree of the sheet is built).
#include <charconv>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/sheets/read_ahead.h"
#include "core/sheets/spreadsheet.h"
#include "core/sheets/xml_reader.h"
#include "core/sheets/zip_archive.h"

namespace pv {
namespace {

namespace e = spreadsheet_errors;

constexpr uint32_t kMaxRows = 1048576;
constexpr uint32_t kMaxCols = 16384;

struct Part {
  std::string bytes;
  bool found = false;
};

// Pieces of a sheet handed to the XML reader: small enough to stay in the processor's
// cache while they are read.
constexpr size_t kSheetPiece = size_t{256} << 10;
constexpr size_t kPiecesAhead = 4;

std::string_view memberError(ZipArchive::Status status) {
  return status == ZipArchive::Status::Encrypted ? e::kEncrypted
         : status == ZipArchive::Status::TooLarge ? e::kTooLarge
                                                  : e::kBroken;
}

bool extractPart(const ZipArchive& zip, std::string_view name, Part& part, std::string& error) {
  const int index = zip.find(name);
  part.found = index >= 0;
  if (!part.found) return true;
  ZipArchive::Status status;
  part.bytes = zip.extract(index, status);
  if (status == ZipArchive::Status::Ok) return true;
  error = memberError(status);
  return false;
}

// The folder of a part name ("xl/workbook.xml" -> "xl/").
std::string folderOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  return slash == std::string_view::npos ? std::string() : std::string(part.substr(0, slash + 1));
}

// The relationships part of a part ("xl/workbook.xml" -> "xl/_rels/workbook.xml.rels").
std::string relsOf(std::string_view part) {
  const size_t slash = part.rfind('/');
  const size_t cut = slash == std::string_view::npos ? 0 : slash + 1;
  return std::string(part.substr(0, cut)) + "_rels/" + std::string(part.substr(cut)) + ".rels";
}

// A relationship target resolved against the folder of its source part: absolute targets
// ("/xl/worksheets/sheet1.xml") start at the package root; "." and ".." are walked.
std::string resolveTarget(std::string_view folder, std::string_view target) {
  std::string decoded;
  appendXmlText(decoded, target);
  std::string path = !decoded.empty() && decoded[0] == '/' ? decoded.substr(1) : std::string(folder) + decoded;
  std::vector<std::string> parts;
  size_t start = 0;
  while (start <= path.size()) {
    size_t slash = path.find_first_of("/\\", start);
    if (slash == std::string::npos) slash = path.size();
    const std::string piece = path.substr(start, slash - start);
    if (piece == "..") {
      if (!parts.empty()) parts.pop_back();
    } else if (!piece.empty() && piece != ".") {
      parts.push_back(piece);
    }
    start = slash + 1;
  }
  std::string out;
  for (const std::string& p : parts) out += (out.empty() ? "" : "/") + p;
  return out;
}

struct Relationship {
  std::string id, type, target;
};

std::vector<Relationship> readRelationships(std::string_view xml, std::string_view folder) {
  std::vector<Relationship> out;
  XmlReader reader(xml);
  for (auto ev = reader.next(); ev != XmlReader::Event::Done && ev != XmlReader::Event::Error;
       ev = reader.next()) {
    if (ev != XmlReader::Event::Start || reader.name() != "Relationship") continue;
    std::string_view id, type, target, mode;
    if (!reader.attribute("Target", target)) continue;
    if (reader.attribute("TargetMode", mode) && mode == "External") continue;
    reader.attribute("Id", id);
    reader.attribute("Type", type);
    out.push_back({std::string(id), std::string(type), resolveTarget(folder, target)});
  }
  return out;
}

bool typeEndsWith(std::string_view type, std::string_view tail) {
  return type.size() >= tail.size() && type.substr(type.size() - tail.size()) == tail;
}

// The text of a string item (<si> or <is>): its <t> elements, those inside phonetic runs
// (<rPh>) left out. The reader stands just after the item's start tag.
bool readStringItem(XmlReader& reader, std::string_view itemName, std::string& out) {
  int phonetic = 0;
  bool inText = false;
  std::string raw;
  for (;;) {
    switch (reader.next()) {
      case XmlReader::Event::Start:
        if (reader.name() == "rPh") ++phonetic;
        else if (reader.name() == "t") inText = phonetic == 0;
        break;
      case XmlReader::Event::End:
        if (reader.name() == "rPh") --phonetic;
        else if (reader.name() == "t") inText = false;
        else if (reader.name() == itemName) {
          out += decodeWorkbookEscapes(raw);
          return true;
        }
        break;
      case XmlReader::Event::Text:
        if (inText) {
          if (reader.textIsCdata()) raw.append(reader.text());
          else appendXmlText(raw, reader.text());
        }
        break;
      case XmlReader::Event::Done:
      case XmlReader::Event::Error:
        return false;
    }
  }
}

struct SharedString {
  uint32_t offset, length;
};

bool readSharedStrings(std::string_view xml, std::string& pool, std::vector<SharedString>& strings) {
  XmlReader reader(xml);
  for (;;) {
    const auto ev = reader.next();
    if (ev == XmlReader::Event::Done) return true;
    if (ev == XmlReader::Event::Error) return false;
    if (ev != XmlReader::Event::Start || reader.name() != "si") continue;
    const size_t offset = pool.size();
    if (!readStringItem(reader, "si", pool)) return false;
    if (pool.size() > 0xFFFFFFFFu) return false;
    strings.push_back({static_cast<uint32_t>(offset), static_cast<uint32_t>(pool.size() - offset)});
  }
}

// "AB12" -> row 11, column 27; false for anything else or beyond the format's limits.
bool parseCellRef(std::string_view ref, uint32_t& row, uint32_t& col) {
  size_t i = 0;
  uint32_t c = 0;
  while (i < ref.size() && i < 4) {
    char ch = ref[i];
    if (ch >= 'a' && ch <= 'z') ch = static_cast<char>(ch - 'a' + 'A');
    if (ch < 'A' || ch > 'Z') break;
    c = c * 26 + static_cast<uint32_t>(ch - 'A' + 1);
    ++i;
  }
  if (i == 0 || c > kMaxCols) return false;
  uint32_t r = 0;
  const size_t digitsFrom = i;
  while (i < ref.size() && ref[i] >= '0' && ref[i] <= '9' && i - digitsFrom < 8) {
    r = r * 10 + static_cast<uint32_t>(ref[i] - '0');
    ++i;
  }
  if (i != ref.size() || i == digitsFrom || r == 0 || r > kMaxRows) return false;
  row = r - 1;
  col = c - 1;
  return true;
}

bool parseRowNumber(std::string_view text, uint32_t& row) {
  uint32_t r = 0;
  if (text.empty() || text.size() > 8) return false;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    r = r * 10 + static_cast<uint32_t>(ch - '0');
  }
  if (r == 0 || r > kMaxRows) return false;
  row = r - 1;
  return true;
}

bool parseIndex(std::string_view text, size_t& index) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (text.empty() || text.size() > 10) return false;
  size_t v = 0;
  for (char ch : text) {
    if (ch < '0' || ch > '9') return false;
    v = v * 10 + static_cast<size_t>(ch - '0');
  }
  index = v;
  return true;
}

// The number formats and the cell styles (<cellXfs>, not the named styles' <cellStyleXfs>),
// up to the end of the part or the first malformed markup.
void readStyles(std::string_view xml, DateStyles& dates) {
  XmlReader reader(xml);
  bool inCellStyles = false;
  for (;;) {
    const auto ev = reader.next();
    if (ev == XmlReader::Event::Done || ev == XmlReader::Event::Error) return;
    if (ev == XmlReader::Event::End && reader.name() == "cellXfs") inCellStyles = false;
    if (ev != XmlReader::Event::Start) continue;
    std::string_view id, code;
    size_t number = 0;
    if (reader.name() == "cellXfs") {
      inCellStyles = true;
    } else if (reader.name() == "numFmt" && reader.attribute("numFmtId", id) && parseIndex(id, number) &&
               reader.attribute("formatCode", code)) {
      std::string decoded;
      appendXmlText(decoded, code);
      dates.addFormat(static_cast<uint32_t>(number), decoded);
    } else if (inCellStyles && reader.name() == "xf") {
      // A style without a number format shows General.
      if (!reader.attribute("numFmtId", id) || !parseIndex(id, number)) number = 0;
      dates.addStyle(static_cast<uint32_t>(number));
    }
  }
}

// A number as written in <v>: "12", "-0.5", "1.5E-7"; false for anything else.
bool parseNumber(std::string_view text, double& value) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  if (!text.empty() && text.front() == '+') text.remove_prefix(1);
  if (text.empty()) return false;
  // Order numbers and amounts ("20240501001", "86.35") have at most 15 digits and no
  // exponent: their digits and a power of ten are exact doubles, and one division rounds
  // correctly. The library's parse, much slower, takes the rest.
  constexpr double kPowers[] = {1, 1e1, 1e2, 1e3, 1e4, 1e5, 1e6, 1e7, 1e8, 1e9, 1e10, 1e11, 1e12, 1e13, 1e14, 1e15};
  const bool negative = text.front() == '-';
  uint64_t digits = 0;
  int count = 0, decimals = -1;
  bool simple = true;
  for (size_t i = negative ? 1 : 0; i < text.size() && simple; ++i) {
    const char c = text[i];
    if (c >= '0' && c <= '9') {
      digits = digits * 10 + static_cast<uint64_t>(c - '0');
      if (decimals >= 0) ++decimals;
      simple = ++count <= 15;
    } else {
      simple = c == '.' && decimals < 0;
      decimals = 0;
    }
  }
  if (simple && count > 0) {
    value = static_cast<double>(digits) / kPowers[decimals > 0 ? decimals : 0];
    if (negative) value = -value;
    return true;
  }
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
  return ec == std::errc() && end == text.data() + text.size();
}

enum class CellType { Number, Shared, Inline, FormulaString, Other };

CellType cellTypeOf(std::string_view t) {
  if (t.empty() || t == "n") return CellType::Number;
  if (t == "s") return CellType::Shared;
  if (t == "inlineStr") return CellType::Inline;
  if (t == "str") return CellType::FormulaString;
  return CellType::Other;  // b, e, d
}

bool readWorksheet(XmlReader& reader, const std::vector<SharedString>& shared, const DateStyles& dates,
                   SpreadsheetSheet& sheet) {
  std::string& pool = sheet.pool();
  bool inData = false, viewSeen = false;
  int64_t row = -1, col = -1;
  // State of the current cell.
  bool inCell = false, inValue = false;
  uint32_t cellRow = 0, cellCol = 0;
  bool cellValid = false, hasValue = false;
  uint32_t style = 0;
  CellType type = CellType::Number;
  std::string value;
  size_t inlineOffset = 0;
  bool inlineRead = false;

  for (;;) {
    const auto ev = reader.next();
    if (ev == XmlReader::Event::Done) return true;
    if (ev == XmlReader::Event::Error) return false;
    const std::string_view name = ev == XmlReader::Event::Text ? std::string_view() : reader.name();
    if (ev == XmlReader::Event::Start) {
      if (!inData) {
        if (name == "sheetData") {
          inData = true;
        } else if (name == "sheetView" && !viewSeen) {
          viewSeen = true;  // the first view is the one saved with the workbook
          std::string_view ref;
          uint32_t r = 0, c = 0;
          if (reader.attribute("topLeftCell", ref) && parseCellRef(ref, r, c))
            sheet.setTopLeft(static_cast<int>(r), static_cast<int>(c));
        }
        continue;
      }
      if (name == "row") {
        std::string_view r;
        uint32_t at = 0;
        row = reader.attribute("r", r) && parseRowNumber(r, at) ? at : row + 1;
        col = -1;
      } else if (name == "c") {
        if (row < 0) row = 0;  // a cell outside any row: take it as the first row's
        std::string_view ref, t;
        uint32_t r = 0, c = 0;
        if (reader.attribute("r", ref) && parseCellRef(ref, r, c)) {
          row = r;  // a cell names its row even when its <row> did not
          col = c;
        } else {
          ++col;
        }
        cellRow = static_cast<uint32_t>(row);
        cellCol = static_cast<uint32_t>(col);
        cellValid = row < kMaxRows && col < kMaxCols;
        reader.attribute("t", t);
        type = cellTypeOf(t);
        // The style tells a date from a number; a text cell does not need it.
        std::string_view s;
        size_t index = 0;
        style = type == CellType::Number && reader.attribute("s", s) && parseIndex(s, index) && index <= 0xFFFFFFFFu
                    ? static_cast<uint32_t>(index)
                    : 0;
        inCell = true;
        inlineRead = false;
        hasValue = false;
        value.clear();
      } else if (inCell && name == "v") {
        inValue = true;
        hasValue = true;
      } else if (inCell && name == "is") {
        inlineOffset = pool.size();
        if (!readStringItem(reader, "is", pool)) return false;
        inlineRead = true;
      }
    } else if (ev == XmlReader::Event::End) {
      if (name == "sheetData") {
        inData = false;
      } else if (name == "v") {
        inValue = false;
      } else if (name == "c" && inCell) {
        inCell = false;
        if (!cellValid) continue;
        if (type == CellType::Inline && inlineRead) {
          sheet.addText(cellRow, cellCol, static_cast<uint32_t>(inlineOffset),
                        static_cast<uint32_t>(pool.size() - inlineOffset));
        } else if (type == CellType::Shared && hasValue) {
          size_t index = 0;
          if (parseIndex(value, index) && index < shared.size())
            sheet.addText(cellRow, cellCol, shared[index].offset, shared[index].length);
          else
            sheet.noteCell(cellRow, cellCol);
        } else if ((type == CellType::FormulaString && hasValue) || (type == CellType::Inline && !value.empty())) {
          const size_t offset = pool.size();
          pool += decodeWorkbookEscapes(value);
          sheet.addText(cellRow, cellCol, static_cast<uint32_t>(offset),
                        static_cast<uint32_t>(pool.size() - offset));
        } else if (hasValue) {
          // A shared formula's cells carry their own cached <v>, like any other formula.
          double number = 0;
          if (type == CellType::Number && !dates.isDate(style) && parseNumber(value, number))
            sheet.addNumber(cellRow, cellCol, number);
          else
            sheet.noteCell(cellRow, cellCol);  // a date, a boolean, an error: a value, no text
        }
        // A cell without a value carries only a style (writers leave thousands of them out to
        // the sheet's last column and row): it does not count for the used range.
        if (pool.size() > 0xFFFFFFFFu) return false;
      }
    } else if (inValue) {
      if (reader.textIsCdata()) value.append(reader.text());
      else appendXmlText(value, reader.text());
    }
  }
}

}  // namespace

bool readXlsxSheet(std::string_view bytes, SpreadsheetSheet& sheet, std::string& error) {
  const ZipArchive zip(bytes);
  if (zip.status() != ZipArchive::Status::Ok) {
    error = e::kBroken;
    return false;
  }
  // The workbook: named by the package relationships, else where writers put it.
  std::string workbookName = "xl/workbook.xml";
  Part part;
  if (!extractPart(zip, "_rels/.rels", part, error)) return false;
  if (part.found) {
    for (const Relationship& rel : readRelationships(part.bytes, "")) {
      if (typeEndsWith(rel.type, "/officeDocument") && zip.find(rel.target) >= 0) {
        workbookName = rel.target;
        break;
      }
    }
  }
  Part workbook;
  if (!extractPart(zip, workbookName, workbook, error)) return false;
  if (!workbook.found) {
    error = e::kBroken;
    return false;
  }
  // The first sheet of the workbook, by its relationship id.
  std::string firstSheetId;
  {
    XmlReader reader(workbook.bytes);
    for (auto ev = reader.next(); ev != XmlReader::Event::Done && ev != XmlReader::Event::Error;
         ev = reader.next()) {
      std::string_view id;
      if (ev == XmlReader::Event::Start && reader.name() == "sheet" && reader.attribute("id", id)) {
        firstSheetId = id;
        break;
      }
    }
  }
  std::string sheetName, sharedName, stylesName;
  Part rels;
  if (!extractPart(zip, relsOf(workbookName), rels, error)) return false;
  if (rels.found) {
    for (const Relationship& rel : readRelationships(rels.bytes, folderOf(workbookName))) {
      if (rel.id == firstSheetId && !firstSheetId.empty()) sheetName = rel.target;
      if (typeEndsWith(rel.type, "/sharedStrings") && sharedName.empty()) sharedName = rel.target;
      if (typeEndsWith(rel.type, "/styles") && stylesName.empty()) stylesName = rel.target;
    }
  }
  if (sheetName.empty() && firstSheetId.empty()) sheetName = folderOf(workbookName) + "worksheets/sheet1.xml";
  if (sharedName.empty()) sharedName = folderOf(workbookName) + "sharedStrings.xml";
  if (stylesName.empty()) stylesName = folderOf(workbookName) + "styles.xml";

  std::vector<SharedString> shared;
  {
    Part strings;
    if (!extractPart(zip, sharedName, strings, error)) return false;
    if (strings.found && !readSharedStrings(strings.bytes, sheet.pool(), shared)) {
      error = e::kBroken;
      return false;
    }
  }
  DateStyles dates;
  {
    // Styles whose XML breaks off keep what was read before the break: the file's cells
    // are still there, and only a date further on would read as its number.
    Part styles;
    if (!extractPart(zip, stylesName, styles, error)) return false;
    if (styles.found) readStyles(styles.bytes, dates);
  }
  // The sheet is the bulk of the file (30 MB of XML for 100,000 rows): read as it inflates.
  const int sheetIndex = zip.find(sheetName);
  if (sheetIndex < 0) {
    error = e::kBroken;
    return false;
  }
  ZipArchive::Member member(zip, sheetIndex);
  bool read = false;
  {
    ReadAhead inflated([&member](std::string& piece) { return member.read(piece, kSheetPiece); }, kPiecesAhead);
    XmlReader reader([&inflated](std::string& buffer) { return inflated.next(buffer); });
    read = readWorksheet(reader, shared, dates, sheet);
  }  // the inflating thread has ended: the member's status is final
  if (member.status() != ZipArchive::Status::Ok) {
    error = memberError(member.status());
    return false;
  }
  if (!read) {
    error = e::kBroken;
    return false;
  }
  return true;
}

}  // namespace pv
