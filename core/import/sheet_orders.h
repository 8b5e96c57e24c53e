#pragma once
// Orders out of the first sheet of a workbook: the header search from the saved view's
// top-left cell, the column check and the data rows.
#include <vector>

#include "core/import/import_records.h"
#include "core/sheets/spreadsheet.h"

namespace pv {

struct SheetImport {
  ImportColumns columns;
  int headerRow = -1;    // 0-based; -1 when no row named an address column
  int missingSlot = -1;  // the slot the column check stopped at, or -1
  std::vector<SkippedRow> skipped;  // data rows with cells but no address
};

// Header search: rows from the view's top row down, columns from its left column to the
// last used one; every cell whose text a slot's pattern finds sets that slot's column, a
// later match replacing an earlier one (also one of an earlier row); the first row after
// which the address column is known is the header row. Then the column check, and when it
// passes and both the order-number and the address column are known, one order per later
// row: the order-number cell, and the found prefix cells followed by the address cell
// (left out when it is masked) joined without separator; rows with an empty address are
// skipped. Appends to `orders`. Only the cells the sheet holds are walked, so a sheet with
// styled empty cells out to its last column costs no more than its text.
SheetImport readSheetOrders(const SpreadsheetSheet& sheet, const ImportProfile& profile,
                            const ImportOptional& optional, std::vector<ImportedOrder>& orders);

}  // namespace pv
