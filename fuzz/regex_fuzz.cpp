// The regular-expression engine, pattern and subject both fuzzed. Input: one byte of options,
// then the pattern and the subject separated by the first line feed, read as UTF-8 where it
// is UTF-8 and byte by byte where not (so lone surrogates and any unit can occur). Checked:
// matches lie inside the subject, in order, without overlap; groups lie inside their match; the group-less search finds the same matches.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/regex/regex.h"
#include "fuzz/fuzz_check.h"

namespace {

std::u16string units(std::string_view s) {
  std::u16string out;
  for (std::size_t i = 0; i < s.size();) {
    const auto c = static_cast<unsigned char>(s[i]);
    const std::size_t n = c >= 0xC0 && c < 0xE0 ? 2 : c >= 0xE0 && c < 0xF0 ? 3 : c >= 0xF0 && c < 0xF8 ? 4 : 1;
    bool whole = i + n <= s.size();
    for (std::size_t k = 1; whole && k < n; ++k) whole = (static_cast<unsigned char>(s[i + k]) & 0xC0) == 0x80;
    if (n == 1 || !whole) {
      out.push_back(c);
      ++i;
      continue;
    }
    std::uint32_t cp = c & (0x7F >> n);
    for (std::size_t k = 1; k < n; ++k) cp = cp << 6 | (static_cast<unsigned char>(s[i + k]) & 0x3F);
    if (cp > 0xFFFF) {
      cp = (cp - 0x10000) & 0xFFFFF;
      out.push_back(static_cast<char16_t>(0xD800 + (cp >> 10)));
      out.push_back(static_cast<char16_t>(0xDC00 + (cp & 0x3FF)));
    } else {
      out.push_back(static_cast<char16_t>(cp));
    }
    i += n;
  }
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const pv::RegexOptions options{.ignoreCase = (data[0] & 1) != 0, .multiline = (data[0] & 2) != 0};
  const std::string_view rest(reinterpret_cast<const char*>(data) + 1, size - 1);
  const std::size_t split = rest.find('\n');
  const std::u16string pattern = units(rest.substr(0, split));
  const std::u16string subject = split == std::string_view::npos ? std::u16string() : units(rest.substr(split + 1));

  pv::Regex regex = pv::Regex::compile(pattern, options);
  if (!regex.valid()) return 0;
  const auto length = static_cast<std::int32_t>(subject.size());
  const bool global = (data[0] & 4) == 0;
  const pv::RegexMatches all = regex.findAll(subject, global, true);
  const pv::RegexMatches bare = regex.findAll(subject, global, false);
  FUZZ_CHECK(all.size() == bare.size());
  FUZZ_CHECK(global || all.size() <= 1);
  std::int32_t previousEnd = 0;
  for (int m = 0; m < all.size(); ++m) {
    const pv::RegexSpan whole = all.span(m);
    FUZZ_CHECK(whole.begin >= previousEnd && whole.begin <= whole.end && whole.end <= length);
    FUZZ_CHECK(bare.span(m).begin == whole.begin && bare.span(m).end == whole.end);
    for (int g = 1; g <= all.groupCount(); ++g) {
      const pv::RegexSpan group = all.span(m, g);
      if (group.begin < 0) continue;
      FUZZ_CHECK(group.begin >= whole.begin && group.begin <= group.end && group.end <= whole.end);
    }
    previousEnd = whole.end;
  }
  return 0;
}
