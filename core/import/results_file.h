#pragma once
// The results file of an import run: every row of the file as it was read (the rows above
// the header, the header, the data rows and the rows that gave no order) with the result
// columns added to the header and to each data row. A text file gives a text file in its own
// encoding and separator, a workbook an xlsx.
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "core/batch/ledger.h"
#include "core/import/csv_reader.h"
#include "core/import/import_records.h"
#include "core/sheets/spreadsheet.h"
#include "core/sheets/xlsx_writer.h"

namespace pv {

// What the results file needs of the file the orders came from.
struct ImportSource {
  std::string path;  // the file the operator chose (GBK)
  bool text = false;
  CsvLayout layout;                              // a text file
  std::shared_ptr<const SpreadsheetBook> book;   // a workbook: its first sheet
  int headerRow = -1;                            // a workbook's header row
  std::vector<SkippedRow> skipped;               // a workbook's rows that gave no order
};

// The file's extension: ".csv" for a text file (also one read from a .txt), ".xlsx" else.
std::string_view resultsExtension(const ImportSource& source);

// The results file's bytes; `orders[i]` is the ledger's order i.
std::string importResultsBytes(const ImportSource& source, const std::vector<ImportedOrder>& orders,
                               const RunLedger& ledger);

// A sheet of the ledger's orders for an ERP list: the columns read, then the results.
SheetToWrite listResultsSheet(const std::vector<std::string>& headers, const std::vector<std::vector<std::string>>& rows,
                              const RunLedger& ledger);

// "<title>_筛单结果_<time>" beside the source, or in `fallbackFolder` when its folder does not
// take it; the path written into `totals.resultsFile`, or why not into `totals.resultsNote`.
void saveResults(ScreeningTotals& totals, std::string_view folder, std::string_view fallbackFolder,
                 std::string_view stem, std::string_view extension, std::string_view bytes);

}  // namespace pv
