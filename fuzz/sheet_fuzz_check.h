#pragma once
// What the xls and xlsx fuzz targets check of a sheet that was read.
#include "core/sheets/spreadsheet.h"
#include "fuzz/fuzz_check.h"

inline void checkSheet(pv::SpreadsheetSheet& sheet) {
  sheet.finish();
  FUZZ_CHECK(sheet.lastRow() >= 0 && sheet.lastCol() >= 0);
  FUZZ_CHECK(sheet.topLeftRow() >= 0 && sheet.topLeftCol() >= 0);
  FUZZ_CHECK(sheet.textCellCount() == 0 || (sheet.lastRow() > 0 && sheet.lastCol() > 0));
  // A row's stored cells are in column order, inside the used range, and read as found.
  size_t stored = 0;
  for (int r = 0; r <= sheet.lastRow(); ++r) {
    const auto cells = sheet.rowCells(r);
    stored += cells.size();
    for (size_t i = 0; i < cells.size(); ++i) {
      FUZZ_CHECK(cells[i].row == static_cast<uint32_t>(r) && static_cast<int>(cells[i].col) < sheet.lastCol());
      FUZZ_CHECK(i == 0 || cells[i - 1].col < cells[i].col);
      FUZZ_CHECK(sheet.textUtf8(cells[i]) == sheet.textUtf8(r, static_cast<int>(cells[i].col)));
    }
  }
  FUZZ_CHECK(stored == sheet.textCellCount());
  // Reads the corner the import reads first, and past the used range.
  const int rows = sheet.lastRow() < 40 ? sheet.lastRow() + 1 : 40;
  const int cols = sheet.lastCol() < 40 ? sheet.lastCol() + 1 : 40;
  for (int r = 0; r < rows; ++r) {
    for (int c = 0; c < cols; ++c) {
      const std::string text = sheet.readStr(r, c);
      if (r >= sheet.lastRow() || c >= sheet.lastCol()) FUZZ_CHECK(text.empty());
    }
  }
}
