#include "core/text/number_text.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdint>
#include <string_view>

namespace pv {
namespace {

// A positive number as significant digits (no leading zero) and the power of ten of the
// first one: 1234.5 is {"12345", 3}.
struct Decimal {
  std::string digits;
  int exponent = 0;
};

// `precision` < 0: the shortest digits that give the number back.
Decimal decimalOf(double magnitude, int precision) {
  char buffer[64];
  const auto [end, ec] = precision < 0
                             ? std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::scientific)
                             : std::to_chars(buffer, buffer + sizeof buffer, magnitude,
                                             std::chars_format::scientific, precision);
  Decimal d;
  if (ec != std::errc()) return d;
  const std::string_view text(buffer, static_cast<size_t>(end - buffer));
  const size_t e = text.find('e');
  for (char c : text.substr(0, e)) {
    if (c != '.') d.digits.push_back(c);
  }
  const std::string_view power = text.substr(e + 1);
  (void)std::from_chars(power.data() + (power[0] == '+' ? 1 : 0), power.data() + power.size(), d.exponent);
  return d;
}

// Rounds half up to `keep` significant digits (at least one) and drops trailing zeros; a
// carry out of the first digit raises the exponent.
void roundTo(Decimal& d, int keep) {
  if (keep < 1) keep = 1;
  if (d.digits.size() > static_cast<size_t>(keep)) {
    const bool up = d.digits[static_cast<size_t>(keep)] >= '5';
    d.digits.resize(static_cast<size_t>(keep));
    for (size_t i = d.digits.size(); up;) {
      if (i == 0) {
        d.digits.insert(d.digits.begin(), '1');
        d.digits.pop_back();
        ++d.exponent;
        break;
      }
      --i;
      if (d.digits[i] == '9') {
        d.digits[i] = '0';
      } else {
        ++d.digits[i];
        break;
      }
    }
  }
  while (d.digits.size() > 1 && d.digits.back() == '0') d.digits.pop_back();
}

// Digits placed around the decimal point, without an exponent.
std::string plain(const Decimal& d) {
  if (d.exponent < 0) return std::string("0.").append(static_cast<size_t>(-d.exponent - 1), '0').append(d.digits);
  const auto whole = static_cast<size_t>(d.exponent) + 1;
  if (d.digits.size() <= whole) return d.digits + std::string(whole - d.digits.size(), '0');
  return d.digits.substr(0, whole).append(".").append(d.digits, whole);
}

}  // namespace

std::string generalNumberText(double value) {
  if (!std::isfinite(value)) return {};
  if (value == 0) return "0";  // -0 too
  const std::string sign = value < 0 ? "-" : "";
  const double magnitude = std::fabs(value);
  char buffer[32];
  // Most cells are amounts and order numbers: their shortest text is the answer. A whole
  // number below 2^53 is exact; a shortest text of 11 characters or fewer has fewer than 15
  // digits and fits the cell as it is.
  if (magnitude < 9007199254740992.0 && std::trunc(magnitude) == magnitude) {
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, static_cast<int64_t>(value));
    return std::string(buffer, end);
  }
  if (magnitude >= 1e-4 && magnitude < 1e11) {
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, magnitude, std::chars_format::fixed);
    if (ec == std::errc() && end - buffer <= 11) return sign + std::string(buffer, end);
  }
  if (magnitude < 1e20 && std::trunc(magnitude) == magnitude) return sign + plain(decimalOf(magnitude, -1));

  // The spreadsheet keeps 15 significant digits; the cell shows what fits in 11 characters.
  constexpr int kWidth = 11;
  Decimal d = decimalOf(magnitude, 14);
  // Plain from 0.0001 (0.000123457 at most) to 11 whole digits; 0.00001 is already 1E-05.
  if (d.exponent >= -4 && d.exponent < kWidth) {
    const int decimals = d.exponent < 0 ? kWidth - 2 : std::max(0, kWidth - 2 - d.exponent);
    roundTo(d, d.exponent + 1 + decimals);
    if (d.exponent < kWidth) return sign + plain(d);
  }
  d = decimalOf(magnitude, 14);
  roundTo(d, 6);
  std::string out = sign + d.digits.substr(0, 1);
  if (d.digits.size() > 1) out.append(".").append(d.digits, 1);
  const int power = std::abs(d.exponent);
  out += d.exponent < 0 ? "E-" : "E+";
  if (power < 10) out += '0';
  return out + std::to_string(power);
}

}  // namespace pv
