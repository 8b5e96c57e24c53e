#pragma once
// Writing one sheet of text cells as an xlsx workbook (the results files). Every cell is a
// text cell, so order numbers such as "000123" or twenty digits keep every character. The
// texts are made fit for the file rather than refused: bytes that are no UTF-8 become
// U+FFFD, characters XML cannot carry (control characters other than tab, line feed and
// carriage return) are dropped, and a text is cut after 32,767 UTF-16 units, the most a
// cell holds. Cells with a line break wrap; column widths follow the longest line of the
// column's texts within bounds; the header row is bold with the panes frozen below it.
// Any thread may call; nothing is shared.
#include <cstdint>
#include <string>
#include <vector>

namespace pv {

// One sheet of text cells to write as an xlsx workbook.
struct SheetToWrite {
  std::vector<std::vector<std::string>> rows;  // UTF-8 cell texts row by row; rows may differ in length; an empty text writes no cell
  std::vector<uint32_t> rowFills;              // per row: 0 = no fill, else 0xRRGGBB solid fill of the row's written cells; may be shorter than rows
  int headerRow = -1;                          // 0-based row written bold, with the panes frozen below it; -1: none
  std::string sheetName = "Sheet1";            // UTF-8; make it a legal sheet name (<=31 chars, none of []:*?/\) if it is not
};

// The bytes of an xlsx workbook holding the sheet. Empty when the sheet cannot be written:
// a text in a row past 1,048,576 or a column past 16,384 (the most a sheet has), a
// workbook that would pass the 4 GB a zip without zip64 holds, or memory running out.
std::string writeXlsxBook(const SheetToWrite& sheet);

}  // namespace pv
