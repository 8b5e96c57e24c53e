// The settings value codec: every value it writes is one line without a double quote (the
// private-profile reader would cut or unquote it), and writing what it read back gives what
// it wrote (encode, decode, encode is a fixed point). A combo state read back is written as
// a value that reads back as the same state. A cut value is a prefix, within the limit.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "core/settings/settings_codec.h"
#include "fuzz/fuzz_check.h"

namespace {

bool oneUnquotedLine(std::string_view value) { return value.find_first_of("\r\n\"") == std::string_view::npos; }

bool plainText(std::string_view text) { return text.find_first_of("<>|#\r\n") == std::string_view::npos; }

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view text(reinterpret_cast<const char*>(data), size);

  const std::string edit = pv::encodeEditText(text);
  FUZZ_CHECK(oneUnquotedLine(edit));
  FUZZ_CHECK(pv::encodeEditText(pv::decodeEditText(edit)) == edit);
  (void)pv::decodeEditText(text);

  (void)pv::decodeTicked(text);
  (void)pv::leadingInteger(text);

  if (const auto combo = pv::decodeCombo(text)) {
    const std::string written = pv::encodeCombo(*combo);
    FUZZ_CHECK(oneUnquotedLine(written));
    const auto again = pv::decodeCombo(written);
    FUZZ_CHECK(again.has_value());
    // Texts that hold pieces of the marks ("><br><" next to "||>" makes "<||>") cannot come
    // back: the format cannot tell them from marks. Any other state comes back whole.
    bool plain = plainText(combo->text);
    for (const pv::ComboItem& item : combo->items) plain = plain && plainText(item.text);
    if (plain) FUZZ_CHECK(*again == *combo);
  }

  // Long values: the input repeated past the limit.
  if (size > 0 && size < 64) {
    std::string longValue;
    while (longValue.size() <= pv::kSettingsValueLimit) longValue += text;
    const std::string cut = pv::limitSettingsValue(longValue);
    FUZZ_CHECK(cut.size() <= pv::kSettingsValueLimit && cut.size() + 1 >= pv::kSettingsValueLimit);
    FUZZ_CHECK(longValue.compare(0, cut.size(), cut) == 0);
  }
  return 0;
}
