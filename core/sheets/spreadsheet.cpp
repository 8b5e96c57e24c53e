#include "core/sheets/spreadsheet.h"

#include <algorithm>
#include <cmath>

#include "core/system/files.h"
#include "core/text/codepage.h"
#include "core/text/encoding.h"
#include "core/text/number_text.h"

namespace pv {
namespace {

// Case-insensitive: does `text` (from `at`) start with the ASCII `word`?
bool startsWithNoCase(std::string_view text, std::string_view word) {
  if (text.size() < word.size()) return false;
  for (size_t i = 0; i < word.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != word[i]) return false;
  }
  return true;
}

}  // namespace

SpreadsheetFormat sniffSpreadsheet(std::string_view bytes) {
  if (bytes.empty()) return SpreadsheetFormat::Empty;
  if (bytes.starts_with("\xD0\xCF\x11\xE0\xA1\xB1\x1A\xE1")) return SpreadsheetFormat::CompoundFile;
  if (bytes.starts_with("PK\x03\x04") || bytes.starts_with("PK\x05\x06")) return SpreadsheetFormat::Zip;
  // Excel 2, 3 and 4 wrote the records bare, starting with a BOF of 4 to 16 bytes.
  if (bytes.size() >= 4 && bytes[0] == '\x09' && (bytes[1] == '\x00' || bytes[1] == '\x02' || bytes[1] == '\x04') &&
      bytes[2] >= 4 && bytes[2] <= 16 && bytes[3] == '\0')
    return SpreadsheetFormat::OldExcel;
  // Text formats: look past a byte-order mark and white space at the first markup.
  std::string_view head = bytes.substr(0, 4096);
  if (head.starts_with("\xEF\xBB\xBF")) head.remove_prefix(3);
  const bool little = head.starts_with("\xFF\xFE"), utf16 = little || head.starts_with("\xFE\xFF");
  std::string narrow;
  if (utf16) {
    // Unit by unit, so its markup can be recognised: ASCII as itself, any other character
    // as one byte above ASCII (a byte of a Chinese character may look like a control byte).
    for (size_t i = 2; i + 1 < head.size(); i += 2) {
      const auto first = static_cast<unsigned char>(head[i]), second = static_cast<unsigned char>(head[i + 1]);
      const unsigned unit = little ? second << 8 | first : first << 8 | second;
      if (unit != 0) narrow.push_back(unit < 0x80 ? static_cast<char>(unit) : '\x80');
    }
    head = narrow;
  }
  while (!head.empty() && (head[0] == ' ' || head[0] == '\t' || head[0] == '\r' || head[0] == '\n'))
    head.remove_prefix(1);
  if (head.starts_with("<")) {
    if (head.find("urn:schemas-microsoft-com:office:spreadsheet") != std::string_view::npos &&
        !startsWithNoCase(head, "<html") && head.find("<html") == std::string_view::npos &&
        head.find("<HTML") == std::string_view::npos)
      return SpreadsheetFormat::Xml2003;
    for (std::string_view word : {"<html", "<!doctype html", "<table", "<meta", "<head", "<body",
                                  "<style", "<!--"}) {
      if (startsWithNoCase(head, word)) return SpreadsheetFormat::Html;
    }
    if (head.starts_with("<?xml")) {
      // An XML declaration before HTML (XHTML exports) is still a web page.
      for (size_t at = head.find('<', 1); at != std::string_view::npos; at = head.find('<', at + 1)) {
        if (startsWithNoCase(head.substr(at), "<html")) return SpreadsheetFormat::Html;
      }
      return SpreadsheetFormat::Unknown;
    }
    return SpreadsheetFormat::Html;
  }
  // Text: no control bytes but tab, CR and LF (NULs are allowed in UTF-16 only).
  const std::string_view sample = utf16 ? std::string_view(narrow) : bytes.substr(0, 4096);
  const bool textual = std::all_of(sample.begin(), sample.end(), [](char c) {
    const auto b = static_cast<unsigned char>(c);
    return b >= 0x20 || b == '\t' || b == '\r' || b == '\n';
  });
  return textual ? SpreadsheetFormat::Text : SpreadsheetFormat::Unknown;
}

bool DateStyles::isDateCode(std::string_view code) {
  for (size_t i = 0; i < code.size(); ++i) {
    switch (code[i]) {
      case '"': {  // quoted text
        const size_t close = code.find('"', i + 1);
        if (close == std::string_view::npos) return false;
        i = close;
        break;
      }
      case '[': {  // colour, condition, locale; elapsed time ([h]) has minutes or seconds outside
        const size_t close = code.find(']', i + 1);
        if (close == std::string_view::npos) return false;
        i = close;
        break;
      }
      case '\\':  // an escaped character, a padding width, a fill character
      case '_':
      case '*':
        ++i;
        break;
      case 'y': case 'Y': case 'm': case 'M': case 'd': case 'D':
      case 'h': case 'H': case 's': case 'S':
        return true;
      default:
        break;
    }
  }
  return false;
}

void DateStyles::addFormat(uint32_t formatId, std::string_view code) {
  formats_.emplace_back(formatId, isDateCode(code));
}

void DateStyles::addStyle(uint32_t formatId) { styles_.push_back(formatId); }

bool DateStyles::isDate(uint32_t style) const {
  if (style >= styles_.size()) return false;
  const uint32_t id = styles_[style];
  // The last definition wins, as a later record would in the file.
  for (auto it = formats_.rbegin(); it != formats_.rend(); ++it) {
    if (it->first == id) return it->second;
  }
  // Built-in: 14-22 and 45-47 everywhere; 27-36 and 50-58 are the dates and times of the
  // East Asian editions (年月日 forms), which our operators' files come from.
  return (id >= 14 && id <= 22) || (id >= 45 && id <= 47) || (id >= 27 && id <= 36) || (id >= 50 && id <= 58);
}

void SpreadsheetSheet::setTopLeft(int row, int col) noexcept {
  topRow_ = std::max(row, 0);
  topCol_ = std::max(col, 0);
}

void SpreadsheetSheet::noteCell(uint32_t row, uint32_t col) noexcept {
  lastRow_ = std::max(lastRow_, static_cast<int>(row) + 1);
  lastCol_ = std::max(lastCol_, static_cast<int>(col) + 1);
}

void SpreadsheetSheet::addText(uint32_t row, uint32_t col, uint32_t offset, uint32_t length) {
  noteCell(row, col);
  if (!cells_.empty()) {
    const TextCell& last = cells_.back();
    if (row < last.row || (row == last.row && col <= last.col)) sorted_ = false;
  }
  cells_.push_back({row, col, offset, length});
}

void SpreadsheetSheet::addNumber(uint32_t row, uint32_t col, double value) {
  const std::string text = generalNumberText(value);
  if (text.empty()) {  // not a number: nothing to show, but the cell holds a value
    noteCell(row, col);
    return;
  }
  const size_t offset = pool_.size();
  pool_ += text;
  addText(row, col, static_cast<uint32_t>(offset), static_cast<uint32_t>(text.size()));
  if (std::fabs(value) >= 1e15 && std::fabs(value) < 1e20 && std::trunc(value) == value)
    cutNumbers_.push_back(uint64_t{row} << 32 | col);
}

bool SpreadsheetSheet::numberMayBeCut(int row, int col) const {
  if (row < 0 || col < 0) return false;
  return std::binary_search(cutNumbers_.begin(), cutNumbers_.end(),
                            uint64_t{static_cast<uint32_t>(row)} << 32 | static_cast<uint32_t>(col));
}

void SpreadsheetSheet::finish() {
  std::sort(cutNumbers_.begin(), cutNumbers_.end());
  if (!sorted_) sortCells();
  // A row's cells by index: a cell is found among its row's few neighbours.
  rowStart_.assign(static_cast<size_t>(lastRow_) + 1, 0);
  size_t i = 0;
  for (size_t r = 0; r <= static_cast<size_t>(lastRow_); ++r) {
    while (i < cells_.size() && cells_[i].row < r) ++i;
    rowStart_[r] = static_cast<uint32_t>(i);
  }
}

void SpreadsheetSheet::sortCells() {
  // Stable: of two cells at one place, the later one stays last and wins below.
  std::stable_sort(cells_.begin(), cells_.end(), [](const TextCell& a, const TextCell& b) {
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  std::vector<TextCell> unique;
  unique.reserve(cells_.size());
  for (const TextCell& c : cells_) {
    if (!unique.empty() && unique.back().row == c.row && unique.back().col == c.col) unique.back() = c;
    else unique.push_back(c);
  }
  cells_ = std::move(unique);
  sorted_ = true;
}

const SpreadsheetSheet::TextCell* SpreadsheetSheet::find(int row, int col) const {
  if (row < 0 || col < 0) return nullptr;
  const auto r = static_cast<uint32_t>(row), c = static_cast<uint32_t>(col);
  if (!rowStart_.empty()) {
    if (r + 1 >= rowStart_.size()) return nullptr;
    const auto end = cells_.begin() + rowStart_[r + 1];
    const auto it = std::lower_bound(cells_.begin() + rowStart_[r], end, c,
                                     [](const TextCell& cell, uint32_t col) { return cell.col < col; });
    return it != end && it->col == c ? &*it : nullptr;
  }
  const auto it = std::lower_bound(cells_.begin(), cells_.end(), std::pair{r, c},
                                   [](const TextCell& cell, const std::pair<uint32_t, uint32_t>& at) {
                                     return cell.row != at.first ? cell.row < at.first : cell.col < at.second;
                                   });
  return it != cells_.end() && it->row == r && it->col == c ? &*it : nullptr;
}

std::string_view SpreadsheetSheet::textUtf8(int row, int col) const {
  const TextCell* cell = find(row, col);
  return cell ? textUtf8(*cell) : std::string_view();
}

std::string_view SpreadsheetSheet::textUtf8(const TextCell& cell) const {
  return std::string_view(pool_).substr(cell.offset, cell.length);
}

std::span<const SpreadsheetSheet::TextCell> SpreadsheetSheet::rowCells(int row) const {
  if (row < 0 || static_cast<size_t>(row) + 1 >= rowStart_.size()) return {};
  return std::span<const TextCell>(cells_).subspan(rowStart_[static_cast<size_t>(row)],
                                                   rowStart_[static_cast<size_t>(row) + 1] - rowStart_[static_cast<size_t>(row)]);
}

std::string SpreadsheetSheet::readStr(int row, int col) const {
  return utf8ToGbk(textUtf8(row, col));
}

bool SpreadsheetBook::encrypted() const noexcept { return error_ == spreadsheet_errors::kEncrypted; }

bool SpreadsheetBook::load(std::string_view gbkPath) {
  return loadBytes(readFileBytes(gbkPath));
}

bool SpreadsheetBook::loadBytes(std::string_view bytes) {
  namespace e = spreadsheet_errors;
  loaded_ = false;
  sheet_ = SpreadsheetSheet();
  error_.clear();
  bool ok = false;
  switch (sniffSpreadsheet(bytes)) {
    case SpreadsheetFormat::Empty: error_ = e::kUnreadable; break;
    case SpreadsheetFormat::CompoundFile: ok = readXlsSheet(bytes, sheet_, error_); break;
    case SpreadsheetFormat::Zip: ok = readXlsxSheet(bytes, sheet_, error_); break;
    case SpreadsheetFormat::OldExcel: error_ = e::kOldFormat; break;
    case SpreadsheetFormat::Html: error_ = e::kHtml; break;
    case SpreadsheetFormat::Xml2003: error_ = e::kXml2003; break;
    case SpreadsheetFormat::Text: error_ = e::kText; break;
    case SpreadsheetFormat::Unknown: error_ = e::kUnknown; break;
  }
  if (!ok) {
    if (error_.empty()) error_ = e::kBroken;
    sheet_ = SpreadsheetSheet();
    return false;
  }
  sheet_.finish();
  loaded_ = true;
  return true;
}

const SpreadsheetSheet* SpreadsheetBook::sheet(int index) const noexcept {
  return loaded_ && index == 0 ? &sheet_ : nullptr;
}

}  // namespace pv
