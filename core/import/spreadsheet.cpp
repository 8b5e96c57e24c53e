#include "core/import/spreadsheet.h"

#include <algorithm>

#include "core/system/files.h"
#include "core/text/codepage.h"
#include "core/text/encoding.h"

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
    const Cell& last = cells_.back();
    if (row < last.row || (row == last.row && col <= last.col)) sorted_ = false;
  }
  cells_.push_back({row, col, offset, length});
}

void SpreadsheetSheet::finish() {
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
  std::stable_sort(cells_.begin(), cells_.end(), [](const Cell& a, const Cell& b) {
    return a.row != b.row ? a.row < b.row : a.col < b.col;
  });
  std::vector<Cell> unique;
  unique.reserve(cells_.size());
  for (const Cell& c : cells_) {
    if (!unique.empty() && unique.back().row == c.row && unique.back().col == c.col) unique.back() = c;
    else unique.push_back(c);
  }
  cells_ = std::move(unique);
  sorted_ = true;
}

const SpreadsheetSheet::Cell* SpreadsheetSheet::find(int row, int col) const {
  if (row < 0 || col < 0) return nullptr;
  const auto r = static_cast<uint32_t>(row), c = static_cast<uint32_t>(col);
  if (!rowStart_.empty()) {
    if (r + 1 >= rowStart_.size()) return nullptr;
    const auto end = cells_.begin() + rowStart_[r + 1];
    const auto it = std::lower_bound(cells_.begin() + rowStart_[r], end, c,
                                     [](const Cell& cell, uint32_t col) { return cell.col < col; });
    return it != end && it->col == c ? &*it : nullptr;
  }
  const auto it = std::lower_bound(cells_.begin(), cells_.end(), std::pair{r, c},
                                   [](const Cell& cell, const std::pair<uint32_t, uint32_t>& at) {
                                     return cell.row != at.first ? cell.row < at.first : cell.col < at.second;
                                   });
  return it != cells_.end() && it->row == r && it->col == c ? &*it : nullptr;
}

std::string_view SpreadsheetSheet::textUtf8(int row, int col) const {
  const Cell* cell = find(row, col);
  return cell ? std::string_view(pool_).substr(cell->offset, cell->length) : std::string_view();
}

std::string SpreadsheetSheet::readStr(int row, int col) const {
  return utf8ToGbk(textUtf8(row, col));
}

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
