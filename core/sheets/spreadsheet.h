#pragma once
// Our reader of xls (BIFF8, and BIFF5 text, in a compound file) and xlsx (zip with
// SpreadsheetML) order files. It offers what the import needs and nothing more: the first
// sheet only, the saved view's top-left cell, the last used row and column (one past the
// last index, counted over the cells that hold a value, whatever the file's own dimension
// says: a cell that only carries a style does not count), and each cell's text: text cells
// (shared or inline strings, rich text without its phonetic runs, formulas' string results)
// and number cells (numbers and formulas' number results, as generalNumberText writes them).
// Dates and times (numbers under a date or time format), booleans and errors read as empty
// text but count for the used range.
//
// The kind of file is taken from its first bytes, not from its name: a ".xls" that is a zip
// is read as xlsx and the other way round; HTML, 2003 XML and csv files saved under a
// spreadsheet name are refused with a message that says what they are. Nothing in the file
// is trusted: every size, offset and chain is checked, so a broken file gives an error text,
// never a crash. Rows and columns are 0-based. Texts handed out are GBK.
#include <cstdint>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace pv {

// What the first bytes of a file say it is.
// OldExcel: a bare BIFF2, 3 or 4 stream (Excel 4.0 and before), which no compound file holds.
enum class SpreadsheetFormat { Empty, CompoundFile, Zip, OldExcel, Html, Xml2003, Text, Unknown };
SpreadsheetFormat sniffSpreadsheet(std::string_view bytes);

// Which cell styles show their number as a date or time, from the formats a workbook
// declares. Built-in formats are known by number (those of a Chinese Excel included); a
// format of the file's own is a date when its code has a date or time letter (y, m, d, h,
// s) outside quoted text, brackets and escaped characters.
class DateStyles {
 public:
  // A format of the file's own (UTF-8 code); it replaces a built-in format of that number.
  void addFormat(uint32_t formatId, std::string_view code);
  // The next cell style, in the file's order, and the number of its format.
  void addStyle(uint32_t formatId);
  bool isDate(uint32_t style) const;

  static bool isDateCode(std::string_view code);

 private:
  std::vector<std::pair<uint32_t, bool>> formats_;  // own formats: number, is a date
  std::vector<uint32_t> styles_;                    // format number of each style
};

class SpreadsheetSheet {
 public:
  // A cell that holds text (a number cell holds the text its number is shown as).
  struct TextCell {
    uint32_t row, col, offset, length;
  };

  // Top-left cell of the saved view (of the top-left pane when panes are frozen or split).
  int topLeftRow() const noexcept { return topRow_; }
  int topLeftCol() const noexcept { return topCol_; }
  int lastRow() const noexcept { return lastRow_; }
  int lastCol() const noexcept { return lastCol_; }
  // The cell's text in GBK; empty for a cell that is no text cell or holds none.
  std::string readStr(int row, int col) const;
  // The same, as stored (UTF-8), without a conversion.
  std::string_view textUtf8(int row, int col) const;
  std::string_view textUtf8(const TextCell& cell) const;
  // The text cells of a row in column order, after finish(): the cells the file holds, so a
  // walk over them never meets the empty cells between them.
  std::span<const TextCell> rowCells(int row) const;
  // Number of text cells.
  size_t textCellCount() const noexcept { return cells_.size(); }
  // True for a number cell whose whole number has more than 15 digits: a spreadsheet keeps
  // only 15, so the digits after them may already be lost in the file (an order number
  // typed or pasted into the sheet as a number).
  bool numberMayBeCut(int row, int col) const;

  // For the readers.
  void setTopLeft(int row, int col) noexcept;
  // A cell that counts for the used range but holds no text.
  void noteCell(uint32_t row, uint32_t col) noexcept;
  // A text cell; its text is the UTF-8 bytes pool()[offset, offset + length).
  void addText(uint32_t row, uint32_t col, uint32_t offset, uint32_t length);
  // A number cell, not a date.
  void addNumber(uint32_t row, uint32_t col, double value);
  std::string& pool() noexcept { return pool_; }
  // Orders the cells (a later cell at the same place replaces an earlier one).
  void finish();

 private:
  const TextCell* find(int row, int col) const;
  void sortCells();

  int topRow_ = 0, topCol_ = 0, lastRow_ = 0, lastCol_ = 0;
  bool sorted_ = true;
  std::vector<TextCell> cells_;
  std::vector<uint32_t> rowStart_;  // after finish: index of the first cell of each row, and the end
  std::vector<uint64_t> cutNumbers_;  // row << 32 | column of numberMayBeCut's cells; sorted by finish
  std::string pool_;
};

class SpreadsheetBook {
 public:
  // Reads the workbook at the GBK path. False with errorMessage() set when it cannot be read.
  [[nodiscard]] bool load(std::string_view gbkPath);
  [[nodiscard]] bool loadBytes(std::string_view bytes);
  // GBK text that tells the operator why the last load failed.
  const std::string& errorMessage() const noexcept { return error_; }
  // The last load failed because the workbook is protected by a password.
  bool encrypted() const noexcept;
  // Sheet `index` of a loaded book; only the first sheet is read, so any other index (and
  // any sheet of a book that did not load) gives none.
  const SpreadsheetSheet* sheet(int index) const noexcept;

 private:
  bool loaded_ = false;
  std::string error_;
  SpreadsheetSheet sheet_;
};

// The two readers behind SpreadsheetBook. On failure they return false and set `error`.
[[nodiscard]] bool readXlsxSheet(std::string_view bytes, SpreadsheetSheet& sheet, std::string& error);
[[nodiscard]] bool readXlsSheet(std::string_view bytes, SpreadsheetSheet& sheet, std::string& error);

// Texts of the errors (GBK).
namespace spreadsheet_errors {
inline constexpr std::string_view kUnreadable = "无法读取文件，文件可能被占用或为空，请关闭文件后重试";
inline constexpr std::string_view kHtml =
    "该文件实际是网页(HTML)格式，不是Excel表格，请用Excel打开后另存为xlsx格式再导入";
inline constexpr std::string_view kXml2003 =
    "该文件实际是Excel 2003 XML格式，请用Excel打开后另存为xlsx格式再导入";
inline constexpr std::string_view kText =
    "该文件实际是文本(csv)格式，不是Excel表格，请将扩展名改为.csv后再导入";
inline constexpr std::string_view kUnknown = "无法识别的文件格式，不是xls或xlsx表格";
inline constexpr std::string_view kEncrypted = "表格已加密，请在Excel中取消密码保护并保存后再导入";
inline constexpr std::string_view kBroken = "表格文件已损坏，无法读取";
inline constexpr std::string_view kOldFormat = "不支持的旧版Excel格式(Excel 4.0或更早)，请用Excel另存为xlsx格式再导入";
inline constexpr std::string_view kTooLarge = "表格过大，无法读取";
}  // namespace spreadsheet_errors

}  // namespace pv
