#include "core/import/sheet_orders.h"

#include "core/batch/run.h"
#include "core/text/codepage.h"

namespace pv {
namespace {

// The rightmost column of [left, last] whose cell holds no text, or -1. The cells are the
// row's stored ones, in column order.
int lastEmptyColumn(std::span<const SpreadsheetSheet::TextCell> cells, int left, int last) {
  int c = last;
  for (auto it = cells.rbegin(); it != cells.rend() && c >= left; ++it) {
    const int col = static_cast<int>(it->col);
    if (col > c) continue;
    if (col < c || it->length == 0) break;  // a gap before it, or an empty text
    --c;
  }
  return c >= left ? c : -1;
}

}  // namespace

SheetImport readSheetOrders(const SpreadsheetSheet& sheet, const ImportProfile& profile,
                            const ImportOptional& optional, std::vector<ImportedOrder>& orders) {
  SheetImport result;
  auto& col = result.columns.column;
  const HeaderMatcher matcher(profile);
  // An empty cell is matched too: only a pattern that finds something in empty text takes it.
  std::array<bool, kImportSlots> findsEmpty{};
  for (int slot = 0; slot < kImportSlots; ++slot) findsEmpty[slot] = matcher.finds(slot, "", u"");

  // Within a row a later match replaces an earlier one, so a slot takes the rightmost
  // matching column of the row. Only the cells the file holds are walked: a sheet may be
  // 16,384 columns wide with nothing in them.
  const int top = sheet.topLeftRow(), left = sheet.topLeftCol();
  const int lastRow = sheet.lastRow() - 1;
  int row = top;
  for (; row <= lastRow; ++row) {
    const int lastCol = sheet.lastCol() - 1;
    const auto cells = sheet.rowCells(row);
    std::array<int, kImportSlots> found;
    found.fill(-1);
    const int emptyCol = lastEmptyColumn(cells, left, lastCol);
    for (int slot = 0; slot < kImportSlots; ++slot) {
      if (matcher.used(slot) && findsEmpty[slot]) found[slot] = emptyCol;
    }
    for (const SpreadsheetSheet::TextCell& cell : cells) {
      const int c = static_cast<int>(cell.col);
      if (c < left || c > lastCol || cell.length == 0) continue;
      const std::string text = utf8ToGbk(sheet.textUtf8(cell));
      const std::u16string wide = gbkToUtf16(text);
      for (int slot = 0; slot < kImportSlots; ++slot) {
        if (matcher.used(slot) && c > found[slot] && matcher.finds(slot, text, wide)) found[slot] = c;
      }
    }
    for (int slot = 0; slot < kImportSlots; ++slot) {
      if (found[slot] >= 0) col[slot] = found[slot] + 1;
    }
    if (col[kAddressSlot] >= 1) break;
  }
  result.headerRow = row <= lastRow ? row : -1;

  result.missingSlot = firstMissingColumn(profile, optional, result.columns);
  if (result.missingSlot >= 0 || col[kOrderNoSlot] < 1 || col[kAddressSlot] < 1) return result;

  const int dataLastRow = sheet.lastRow() - 1;
  for (int r = row + 1; r <= dataLastRow; ++r) {
    if (sheet.rowCells(r).empty()) continue;  // nothing but empty cells: no address
    ImportedOrder order;
    for (int slot = 0; slot < kAddressSlot; ++slot) {
      if (col[slot] >= 1) order.address += sheet.readStr(r, col[slot] - 1);
    }
    const std::string address = sheet.readStr(r, col[kAddressSlot] - 1);
    if (!isMaskedAddress(address)) order.address += address;
    if (order.address.empty()) {
      result.skipped.push_back({r, std::string(address.empty() ? kNoAddressReason : kMaskedAddressReason)});
      continue;
    }
    order.orderNumber = sheet.readStr(r, col[kOrderNoSlot] - 1);
    order.sourceRow = r;
    if (sheet.numberMayBeCut(r, col[kOrderNoSlot] - 1)) order.cutNumberRow = r + 1;
    orders.push_back(std::move(order));
  }
  return result;
}

}  // namespace pv
