// spreadsheet_dump FILE: what our reader makes of a workbook, as JSON on standard output:
// {"top":[r,c],"last":[r,c],"rows":[["text",...],...]} with UTF-8 texts, or {"error":"..."}
// (exit code 1). Used by scripts/crosscheck-spreadsheets.sh.
#include <cstdio>
#include <string>

#include "bench/json_text.h"
#include "core/sheets/spreadsheet.h"
#include "core/text/codepage.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: spreadsheet_dump FILE\n");
    return 2;
  }
  pv::SpreadsheetBook book;
  if (!book.load(pv::utf8ToGbk(argv[1]).empty() ? argv[1] : pv::utf8ToGbk(argv[1]))) {
    std::printf("{\"error\":%s}\n", jsonString(pv::gbkToUtf8(book.errorMessage())).c_str());
    return 1;
  }
  const pv::SpreadsheetSheet& sheet = *book.sheet(0);
  std::string out = "{\"top\":[" + std::to_string(sheet.topLeftRow()) + "," + std::to_string(sheet.topLeftCol()) +
                    "],\"last\":[" + std::to_string(sheet.lastRow()) + "," + std::to_string(sheet.lastCol()) +
                    "],\"rows\":[";
  for (int r = 0; r < sheet.lastRow(); ++r) {
    out += r ? ",[" : "[";
    for (int c = 0; c < sheet.lastCol(); ++c) out += (c ? "," : "") + jsonString(sheet.textUtf8(r, c));
    out += "]";
  }
  out += "]}\n";
  std::fwrite(out.data(), 1, out.size(), stdout);
  return 0;
}
