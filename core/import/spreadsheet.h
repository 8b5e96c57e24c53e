#pragma once
// Our reader of xls (BIFF8, and BIFF5 text, in a compound file) and xlsx (zip with
// SpreadsheetML) order files. It offers what the import needs and nothing more: the first
// sheet only, the saved view's top-left cell, the last used row and column (one past the
// last index, as counted over every cell record, whatever the file's own dimension says),
// and each cell's text when the cell is a text cell (shared or inline strings, rich text
// without its phonetic runs, formulas' string results). Numbers, dates, booleans, errors and
// formulas' other results read as empty text.
//
// The kind of file is taken from its first bytes, not from its name: a ".xls" that is a zip
// is read as xlsx and the other way round; HTML, 2003 XML and csv files saved under a
// spreadsheet name are refused with a message that says what they are. Nothing in the file
// is trusted: every size, offset and chain is checked, so a broken file gives an error text,
// never a crash. Rows and columns are 0-based. Texts handed out are GBK.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// What the first bytes of a file say it is.
enum class SpreadsheetFormat { Empty, CompoundFile, Zip, Html, Xml2003, Text, Unknown };
SpreadsheetFormat sniffSpreadsheet(std::string_view bytes);

class SpreadsheetSheet {
 public:
  // Top-left cell of the saved view (of the top-left pane when panes are frozen or split).
  int topLeftRow() const noexcept { return topRow_; }
  int topLeftCol() const noexcept { return topCol_; }
  int lastRow() const noexcept { return lastRow_; }
  int lastCol() const noexcept { return lastCol_; }
  // The cell's text in GBK; empty for a cell that is no text cell or holds none.
  std::string readStr(int row, int col) const;
  // The same, as stored (UTF-8), without a conversion.
  std::string_view textUtf8(int row, int col) const;
  // Number of text cells.
  size_t textCellCount() const noexcept { return cells_.size(); }

  // For the readers.
  void setTopLeft(int row, int col) noexcept;
  // A cell that counts for the used range but holds no text.
  void noteCell(uint32_t row, uint32_t col) noexcept;
  // A text cell; its text is the UTF-8 bytes pool()[offset, offset + length).
  void addText(uint32_t row, uint32_t col, uint32_t offset, uint32_t length);
  std::string& pool() noexcept { return pool_; }
  // Orders the cells (a later cell at the same place replaces an earlier one).
  void finish();

 private:
  struct Cell {
    uint32_t row, col, offset, length;
  };
  const Cell* find(int row, int col) const;
  void sortCells();

  int topRow_ = 0, topCol_ = 0, lastRow_ = 0, lastCol_ = 0;
  bool sorted_ = true;
  std::vector<Cell> cells_;
  std::vector<uint32_t> rowStart_;  // after finish: index of the first cell of each row, and the end
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
