// The ini document: any bytes read as a file; its text reads back as the same document;
// a value set is read back as set (blanks and one pair of quotes around it aside). The
// input is the file, then after a zero byte the section, key and value to set, split at
// further zero bytes.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/ini_file.h"
#include "fuzz/fuzz_check.h"

namespace {

std::vector<std::string_view> splitAtZero(std::string_view text) {
  std::vector<std::string_view> pieces;
  for (;;) {
    const std::size_t zero = text.find('\0');
    pieces.push_back(text.substr(0, zero));
    if (zero == std::string_view::npos) return pieces;
    text.remove_prefix(zero + 1);
  }
}

// The value as a private-profile reader gives it back.
std::string_view asRead(std::string_view value) {
  const std::size_t first = value.find_first_not_of(" \t");
  if (first == std::string_view::npos) return {};
  value = value.substr(first, value.find_last_not_of(" \t") - first + 1);
  if (value.size() >= 2 && (value.front() == '"' || value.front() == '\'') && value.back() == value.front()) {
    value = value.substr(1, value.size() - 2);
  }
  return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto pieces = splitAtZero(std::string_view(reinterpret_cast<const char*>(data), size));
  pv::IniDocument doc(pieces[0]);
  const std::string text = doc.text();
  FUZZ_CHECK(pv::IniDocument(text).text() == text);
  if (pieces.size() < 4) return 0;

  const std::string_view section = pieces[1], key = pieces[2], value = pieces[3];
  const std::string before = doc.get(section, key);
  FUZZ_CHECK(pv::IniDocument(text).get(section, key) == before);
  if (doc.set(section, key, value)) {
    FUZZ_CHECK(doc.get(section, key) == asRead(value));
    FUZZ_CHECK(pv::IniDocument(doc.text()).get(section, key) == asRead(value));
  } else {
    FUZZ_CHECK(doc.text() == text);
  }
  return 0;
}
