#include "core/import/sheet_orders.h"

#include "core/batch/run.h"
#include "core/text/codepage.h"

namespace pv {

SheetImport readSheetOrders(const SpreadsheetSheet& sheet, const ImportProfile& profile,
                            const ImportOptional& optional, std::vector<ImportedOrder>& orders) {
  SheetImport result;
  auto& col = result.columns.column;
  const HeaderMatcher matcher(profile);
  // An empty cell is matched too: only a pattern that finds something in empty text takes it.
  std::array<bool, kImportSlots> findsEmpty{};
  for (int slot = 0; slot < kImportSlots; ++slot) findsEmpty[slot] = matcher.finds(slot, "", u"");

  const int top = sheet.topLeftRow(), left = sheet.topLeftCol();
  const int lastRow = sheet.lastRow() - 1;
  int row = top;
  for (; row <= lastRow; ++row) {
    const int lastCol = sheet.lastCol() - 1;
    for (int c = left; c <= lastCol; ++c) {
      const std::string text = sheet.readStr(row, c);
      const std::u16string wide = text.empty() ? std::u16string() : gbkToUtf16(text);
      for (int slot = 0; slot < kImportSlots; ++slot) {
        if (!matcher.used(slot)) continue;
        if (text.empty() ? findsEmpty[slot] : matcher.finds(slot, text, wide)) col[slot] = c + 1;
      }
    }
    if (col[kAddressSlot] >= 1) break;
  }
  result.headerRow = row <= lastRow ? row : -1;

  result.missingSlot = firstMissingColumn(profile, optional, result.columns);
  if (result.missingSlot >= 0 || col[kOrderNoSlot] < 1 || col[kAddressSlot] < 1) return result;

  const int dataLastRow = sheet.lastRow() - 1;
  for (int r = row + 1; r <= dataLastRow; ++r) {
    ImportedOrder order;
    for (int slot = 0; slot < kAddressSlot; ++slot) {
      if (col[slot] >= 1) order.address += sheet.readStr(r, col[slot] - 1);
    }
    const std::string address = sheet.readStr(r, col[kAddressSlot] - 1);
    if (!isMaskedAddress(address)) order.address += address;
    if (order.address.empty()) continue;
    order.orderNumber = sheet.readStr(r, col[kOrderNoSlot] - 1);
    orders.push_back(std::move(order));
  }
  return result;
}

}  // namespace pv
