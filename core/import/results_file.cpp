#include "core/import/results_file.h"

#include <map>

#include "core/system/files.h"
#include "core/text/codepage.h"

namespace pv {
namespace {

// A field as a text file needs it: quoted when it holds the separator, a quote or a line
// break, with its quotes doubled.
std::string csvField(std::string_view text, char separator) {
  if (text.find_first_of(std::string{separator, '"', '\r', '\n'}) == std::string_view::npos) return std::string(text);
  std::string quoted = "\"";
  for (const char c : text) {
    if (c == '"') quoted += '"';
    quoted += c;
  }
  return quoted + "\"";
}

// The result cells of each source row: an order's, or a skipped row's.
std::map<int, OrderResult> resultsByRow(const std::vector<ImportedOrder>& orders, const RunLedger& ledger,
                                        const std::vector<SkippedRow>& skipped) {
  std::map<int, OrderResult> byRow;
  for (const SkippedRow& row : skipped) byRow[row.row] = skippedOrder(row.reason);
  for (size_t i = 0; i < orders.size() && i < ledger.orders().size(); ++i) {
    if (orders[i].sourceRow >= 0) byRow[orders[i].sourceRow] = ledger.orders()[i].result;
  }
  return byRow;
}

std::string textResults(const ImportSource& source, const std::vector<ImportedOrder>& orders, const RunLedger& ledger) {
  const CsvLayout& layout = source.layout;
  const char separator = layout.separator;
  const bool utf8 = layout.encoding == TextEncoding::Utf8 || layout.encoding == TextEncoding::Utf8WithMark;
  const auto encoded = [&](std::string_view gbk) { return utf8 ? gbkToUtf8(gbk) : std::string(gbk); };
  const std::map<int, OrderResult> byRow = resultsByRow(orders, ledger, layout.skipped);

  // The result columns stand after the widest row, so every row's results line up.
  int width = 0;
  for (const CsvRecord& record : layout.records) width = std::max(width, record.fields);

  std::string out;
  out.reserve(layout.text.size() + layout.text.size() / 2);
  const auto appendCells = [&](int fields, const auto& cells) {
    for (int n = std::max(fields, 1); n < width; ++n) out += separator;
    for (const auto& cell : cells) {
      out += separator;
      out += csvField(encoded(cell), separator);
    }
  };
  for (size_t r = 0; r < layout.records.size(); ++r) {
    const CsvRecord& record = layout.records[r];
    out.append(layout.text, record.begin, record.end - record.begin);
    const int row = static_cast<int>(r);
    if (row == layout.headerRecord) {
      appendCells(record.fields, kResultHeaders);
    } else if (const auto found = byRow.find(row); found != byRow.end()) {
      appendCells(record.fields, resultCells(found->second));
    }
    out += "\r\n";
  }

  switch (layout.encoding) {
    case TextEncoding::Gbk:
    case TextEncoding::Utf8: return out;
    case TextEncoding::Utf8WithMark: return "\xEF\xBB\xBF" + out;
    case TextEncoding::Utf16Le:
    case TextEncoding::Utf16Be: {
      const bool little = layout.encoding == TextEncoding::Utf16Le;
      const std::u16string units = gbkToUtf16(out);
      std::string bytes = little ? "\xFF\xFE" : "\xFE\xFF";
      bytes.reserve(2 + units.size() * 2);
      for (const char16_t unit : units) {
        const char low = static_cast<char>(unit & 0xFF), high = static_cast<char>(unit >> 8);
        bytes += little ? low : high;
        bytes += little ? high : low;
      }
      return bytes;
    }
  }
  return out;
}

void appendResultCells(std::vector<std::string>& row, size_t at, const OrderResult& result) {
  row.resize(at);
  for (const std::string& cell : resultCells(result)) row.push_back(gbkToUtf8(cell));
}

std::string workbookResults(const ImportSource& source, const std::vector<ImportedOrder>& orders,
                            const RunLedger& ledger) {
  SheetToWrite out;
  out.sheetName = "筛单结果";
  out.headerRow = source.headerRow;
  const SpreadsheetSheet* sheet = source.book ? source.book->sheet(0) : nullptr;
  if (sheet == nullptr) return {};
  const std::map<int, OrderResult> byRow = resultsByRow(orders, ledger, source.skipped);
  const auto width = static_cast<size_t>(std::max(sheet->lastCol(), 0));
  const int rows = std::max(sheet->lastRow(), source.headerRow + 1);
  out.rows.resize(static_cast<size_t>(rows));
  out.rowFills.resize(static_cast<size_t>(rows));
  for (int r = 0; r < rows; ++r) {
    std::vector<std::string>& row = out.rows[static_cast<size_t>(r)];
    for (const SpreadsheetSheet::TextCell& cell : sheet->rowCells(r)) {
      if (cell.col >= width) continue;
      if (row.size() <= cell.col) row.resize(cell.col + 1);
      row[cell.col] = std::string(sheet->textUtf8(cell));
    }
    if (r == source.headerRow) {
      row.resize(width);
      for (std::string_view header : kResultHeaders) row.push_back(gbkToUtf8(header));
    } else if (const auto found = byRow.find(r); found != byRow.end()) {
      appendResultCells(row, width, found->second);
      out.rowFills[static_cast<size_t>(r)] = resultFill(found->second);
    }
  }
  return writeXlsxBook(out);
}

}  // namespace

std::string_view resultsExtension(const ImportSource& source) { return source.text ? ".csv" : ".xlsx"; }

std::string importResultsBytes(const ImportSource& source, const std::vector<ImportedOrder>& orders,
                               const RunLedger& ledger) {
  return source.text ? textResults(source, orders, ledger) : workbookResults(source, orders, ledger);
}

SheetToWrite listResultsSheet(const std::vector<std::string>& headers, const std::vector<std::vector<std::string>>& rows,
                              const RunLedger& ledger) {
  SheetToWrite out;
  out.sheetName = "筛单结果";
  out.headerRow = 0;
  out.rows.emplace_back();
  for (const std::string& header : headers) out.rows.back().push_back(gbkToUtf8(header));
  for (std::string_view header : kResultHeaders) out.rows.back().push_back(gbkToUtf8(header));
  out.rowFills.push_back(0);
  for (size_t i = 0; i < rows.size() && i < ledger.orders().size(); ++i) {
    std::vector<std::string> row;
    for (const std::string& cell : rows[i]) row.push_back(gbkToUtf8(cell));
    appendResultCells(row, headers.size(), ledger.orders()[i].result);
    out.rows.push_back(std::move(row));
    out.rowFills.push_back(resultFill(ledger.orders()[i].result));
  }
  return out;
}

void saveResults(ScreeningTotals& totals, std::string_view folder, std::string_view fallbackFolder,
                 std::string_view stem, std::string_view extension, std::string_view bytes) {
  if (bytes.empty()) {
    totals.resultsNote = "结果文件未能生成";
    return;
  }
  const std::string written =
      writeNewFile({std::string(folder), std::string(fallbackFolder)}, stem, extension, bytes);
  if (written.empty()) {
    totals.resultsNote = "结果文件未能保存（磁盘已满或没有写入权限），本次筛单结果仍在输出框中";
    return;
  }
  totals.resultsFile = written;
  if (!folder.empty() && !written.starts_with(folder)) totals.resultsNote = "原文件所在文件夹无法写入，结果文件已存到“我的文档”";
}

}  // namespace pv
