#pragma once
// The order-file reader for text exports: csv, and the tab-separated "text" Excel saves.
// It reads a file the way Excel opens it, so that nothing in it is lost:
// - Encoding: UTF-16 (little or big endian) when the file begins with its byte-order mark
//   (Excel's "Unicode text"); else UTF-8 when it begins with the UTF-8 mark or is UTF-8
//   throughout (looksLikeUtf8); else GBK. A byte-order mark is no character of the text.
// - Separator: comma, tab or semicolon, read off the header line (the first line in which
//   one of them gives a field naming the address column; the one standing there most often).
//   Title lines above the header do not decide; without a header line in the first 100
//   lines, the first line holding a separator decides, and without any, a comma.
// - Quotes: a quote that begins a field opens it; inside, a separator, a line feed and a
//   carriage return are characters of the field (a cell may span lines), and a doubled
//   quote is one quote; what follows the closing quote up to the separator joins the field.
//   A quote anywhere else is an ordinary character, and so is an opening quote that never
//   closes before the end of the file: the lines after it stay lines.
// - Line ends: LF, CR LF and a lone CR; none stays on a field. NUL bytes are dropped;
//   nothing is trimmed.
//
// Columns are found on the way: address-side columns field by field until the address
// column is known, the order-number column by its first match. Lines before the header
// give no order; a line gives an order only when both its order number and its address
// field are non-empty. Texts handed out are GBK.
#include <array>
#include <string>
#include <string_view>
#include <vector>

#include "core/import/import_records.h"
#include "core/ui/dialogs.h"

namespace pv {

// The fields of the current line that belong to a found column, in slot order.
struct CsvRowRecord {
  std::array<std::string, kImportSlots> text{};
};

// True when the bytes are UTF-8: they begin with the byte-order mark EF BB BF, or they hold
// at least one non-ASCII character and are well-formed UTF-8 throughout (a sequence cut off
// by the end of the buffer is not). Empty or pure ASCII: false.
bool looksLikeUtf8(std::string_view bytes);

// Hands one finished field (already GBK) of 1-based `column` to the column detection or to
// the row record.
void takeCsvField(int column, const std::string& text, const ImportProfile& profile,
                  ImportColumns& columns, CsvRowRecord& row);
// The same with the profile's patterns compiled once (what a whole file uses).
void takeCsvField(int column, const std::string& text, const ImportProfile& profile,
                  const HeaderMatcher& matcher, ImportColumns& columns, CsvRowRecord& row);

struct CsvParse {
  ImportColumns columns;
  int finishedLines = 0;
};

// Where a text file's records lie, so that a results file can repeat each one as it was
// and add to it.
enum class TextEncoding { Gbk, Utf8, Utf8WithMark, Utf16Le, Utf16Be };
struct CsvRecord {
  size_t begin = 0, end = 0;  // in CsvLayout::text, without the line end
  int fields = 0;
};
struct CsvLayout {
  TextEncoding encoding = TextEncoding::Gbk;
  char separator = ',';
  // The text the records lie in: the file without its byte-order mark (GBK or UTF-8), or a
  // UTF-16 file converted to GBK.
  std::string text;
  std::vector<CsvRecord> records;
  int headerRecord = -1;  // the record that named the address column
  std::vector<SkippedRow> skipped;
};

// The grammar over a whole file's bytes: appends the orders found and says which columns
// were found.
CsvParse parseCsvOrders(std::string_view bytes, std::vector<ImportedOrder>& orders,
                        const ImportProfile& profile);
// The same with the profile's patterns compiled by the caller (`matcher` made of `profile`).
CsvParse parseCsvOrders(std::string_view bytes, std::vector<ImportedOrder>& orders,
                        const ImportProfile& profile, const HeaderMatcher& matcher,
                        CsvLayout* layout = nullptr);

inline constexpr std::string_view kCsvUnreadableText =
    "读取csv文件失败，文件可能被占用，请关闭csv文件后重试";

// Reads the file at the GBK `path` and appends its orders. 1 when at least one order was read;
// 0 after a box (owned by the main window) said why: file unreadable or empty, a required
// column missing, no order.
int readCsvOrders(std::string_view path, std::vector<ImportedOrder>& orders,
                  const ImportProfile& profile, const ImportOptional& optional, Dialogs& dialogs);
// The same over the file's bytes, already read (empty: the file could not be read).
// With `layout`, where the records lie is kept there.
int readCsvOrderBytes(std::string_view bytes, std::vector<ImportedOrder>& orders,
                      const ImportProfile& profile, const ImportOptional& optional, Dialogs& dialogs,
                      CsvLayout* layout = nullptr);

}  // namespace pv
