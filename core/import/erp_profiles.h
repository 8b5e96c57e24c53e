#pragma once
// An ERP client's import profile, for the clients whose order list cannot be read through
// their window: what the client's export calls its columns, how the operator exports the
// file, and how to paste the matching order numbers back into the client's search box.
// The profiles themselves stand in the table of ERP clients (core/erp/erp_clients.h).
#include <cstdint>
#include <string_view>

#include "core/import/import_flow.h"

namespace pv {

struct ErpImportProfile {
  std::string_view region, city, district, street, address, orderNo;
  uint32_t optionalSlots;  // bit n-1 set: slot n may be missing from the file
  std::string_view instruction;
  std::string_view completion;
};

// One client's import: the export instruction (its answer is not examined), the file read
// with the client's profile and screened, then, when every batch was screened, the box that
// says how to paste the matching order numbers (which the summary puts on the clipboard).
// 1 when the orders were screened; 0 after a cancelled dialog or a failure already shown.
int runErpImportProfile(ImportContext& context, RunContext& run, const ErpImportProfile& client,
                        ScreeningTotals& totals);

}  // namespace pv
