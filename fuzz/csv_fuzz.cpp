// The csv order reader: whatever the bytes, the grammar ends, every order it gives has an
// order number and an address, and the columns it found are columns of the file.
#include <cstddef>
#include <cstdint>
#include <string_view>
#include <vector>

#include "core/import/csv_reader.h"
#include "fuzz/fuzz_check.h"

namespace {

pv::ImportProfile makeProfile() {
  pv::ImportProfile profile;
  // GBK bytes written out: the fuzz build's literals are UTF-8.
  profile.regionPattern = "\xB5\xD8\xC7\xF8|(";                // 地区, and a pattern that is invalid
  profile.cityPattern = "\xCA\xD0";                              // 市
  profile.addressPattern = "(\xCA\xD5|\xCF\xEA)\xB5\xD8\xD6\xB7|\xB5\xD8\xD6\xB7";  // (收|详)地址|地址
  profile.orderNoPattern = "\xB6\xA9\xB5\xA5\xBA\xC5|no";     // 订单号|no
  return profile;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  // Compiled once: compiling the patterns costs far more than reading a small input.
  static const pv::ImportProfile profile = makeProfile();
  static const pv::HeaderMatcher matcher(profile);
  std::vector<pv::ImportedOrder> orders;
  const pv::CsvParse parse = pv::parseCsvOrders(bytes, orders, profile, matcher);
  (void)pv::looksLikeUtf8(bytes);
  for (const pv::ImportedOrder& order : orders) {
    FUZZ_CHECK(!order.orderNumber.empty() && !order.address.empty());
  }
  for (const int32_t column : parse.columns.column) {
    FUZZ_CHECK(column >= 0 && static_cast<size_t>(column) <= size + 1);
  }
  FUZZ_CHECK(orders.size() <= static_cast<size_t>(parse.finishedLines));
  return 0;
}
