// Numbers as a General cell shows them: plain digits for whole numbers, 11 characters for
// the rest, the exponent form past that.
#include <gtest/gtest.h>

#include <limits>
#include <string_view>
#include <utility>

#include "core/text/number_text.h"

namespace pv {
namespace {

TEST(GeneralNumberText, ShowsNumbersAsTheGeneralFormatDoes) {
  const std::pair<double, std::string_view> cases[] = {
      {0.0, "0"},
      {-0.0, "0"},
      {42, "42"},
      {-3, "-3"},
      {202405010012, "202405010012"},
      {123456789012345, "123456789012345"},
      {1234567890123456, "1234567890123456"},
      {12345678901234567890.0, "12345678901234567000"},  // the shortest digits of the double
      {99999999999999999999.0, "1E+20"},                 // rounds to 1E+20: no longer plain
      {1e20, "1E+20"},
      {1.5, "1.5"},
      {0.1, "0.1"},
      {0.1 + 0.2, "0.3"},                // 15 digits first, as the spreadsheet keeps them
      {-0.25, "-0.25"},
      {1.23456789012, "1.23456789"},     // 11 characters
      {12345.678901234, "12345.6789"},
      {12345678901.4, "12345678901"},    // 11 whole digits, no room for a decimal
      {99999999999.6, "1E+11"},          // rounding carries into a twelfth digit
      {123456789012.5, "1.23457E+11"},
      {0.9999999999, "1"},
      {0.0001, "0.0001"},
      {0.000123456789, "0.000123457"},
      {0.00001, "1E-05"},
      {1.5e-7, "1.5E-07"},
      {-2.5e-100, "-2.5E-100"},
      {1.7976931348623157e308, "1.79769E+308"},
  };
  for (const auto& [value, want] : cases) EXPECT_EQ(generalNumberText(value), want) << value;
  EXPECT_EQ(generalNumberText(std::numeric_limits<double>::quiet_NaN()), "");
  EXPECT_EQ(generalNumberText(std::numeric_limits<double>::infinity()), "");
}

}  // namespace
}  // namespace pv
