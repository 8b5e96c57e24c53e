// The xls reader: whatever the bytes, reading ends with a sheet or an error text, never a
// crash, a hang or a read outside the input; a sheet read holds no text outside its used range.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "fuzz/sheet_fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  pv::SpreadsheetSheet sheet;
  std::string error;
  if (pv::readXlsSheet(bytes, sheet, error)) {
    checkSheet(sheet);
  } else {
    FUZZ_CHECK(!error.empty());
  }
  return 0;
}
