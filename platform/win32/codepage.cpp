#include "core/text/codepage_backend.h"

#include <windows.h>

namespace pv::codepage_backend {
namespace {

constexpr UINT kGbk = 936;
constexpr size_t kMaxUnits = 0x1FFFFFFF;  // keeps byte counts within an int

}  // namespace

std::u16string decode936(std::string_view bytes) {
  if (bytes.empty() || bytes.size() > kMaxUnits) return {};
  const int len = static_cast<int>(bytes.size());
  const int n = MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(), len, nullptr, 0);
  if (n <= 0) return {};
  std::u16string out(static_cast<size_t>(n), u'\0');
  if (MultiByteToWideChar(kGbk, MB_ERR_INVALID_CHARS, bytes.data(), len,
                          reinterpret_cast<wchar_t*>(out.data()), n) != n) {
    return {};
  }
  return out;
}

std::string encode936(std::u16string_view units) {
  if (units.empty() || units.size() > kMaxUnits) return {};
  const auto* wide = reinterpret_cast<const wchar_t*>(units.data());
  const int len = static_cast<int>(units.size());
  // Without WC_NO_BEST_FIT_CHARS the system may put a look-alike for a character that GBK
  // lacks; with it and the used-default check, such a character fails the call instead.
  BOOL usedDefault = FALSE;
  const int n = WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide, len, nullptr, 0, nullptr,
                                    &usedDefault);
  if (n <= 0 || usedDefault) return {};
  std::string out(static_cast<size_t>(n), '\0');
  if (WideCharToMultiByte(kGbk, WC_NO_BEST_FIT_CHARS, wide, len, out.data(), n, nullptr,
                          &usedDefault) != n ||
      usedDefault) {
    return {};
  }
  return out;
}

}  // namespace pv::codepage_backend
