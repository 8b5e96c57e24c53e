#include "core/settings/settings_codec.h"

#include <climits>

#include "core/text/text.h"

namespace pv {
namespace {

constexpr std::string_view kLineBreakMark = "><br><";
constexpr std::string_view kQuoteMark = "#引号";
constexpr std::string_view kItemEnd = "<||>";
constexpr std::string_view kFieldSeparator = "<|>";
constexpr std::string_view kTickedValue = "真";
constexpr std::string_view kUntickedValue = "假";

// Position of the last character-aligned `part` in `text`, or npos.
size_t findLast(std::string_view text, std::string_view part) {
  size_t last = std::string_view::npos;
  for (int at = findText(text, part); at > 0;
       at = findText(text, part, at + static_cast<int>(part.size()))) {
    last = static_cast<size_t>(at - 1);
  }
  return last;
}

size_t findFirst(std::string_view text, std::string_view part) {
  const int at = findText(text, part);
  return at > 0 ? static_cast<size_t>(at - 1) : std::string_view::npos;
}

// A line break of any form becomes the mark: written raw it would end the value in the file
// and could start a key or section of its own.
std::string toOneLine(std::string_view content) {
  std::string oneLine;
  oneLine.reserve(content.size());
  for (size_t i = 0; i < content.size(); ++i) {
    const char c = content[i];
    if (c == '\r' || c == '\n') {
      oneLine.append(kLineBreakMark);
      if (c == '\r' && i + 1 < content.size() && content[i + 1] == '\n') ++i;
    } else {
      oneLine.push_back(c);
    }
  }
  return oneLine;
}

std::string fromOneLine(std::string_view value) {
  return replaceAll(value, kLineBreakMark, "\r\n");
}

}  // namespace

std::string_view settingsSection(ControlKind kind) noexcept {
  switch (kind) {
    case ControlKind::Edit:
      return kEditSection;
    case ControlKind::CheckBox:
      return kCheckBoxSection;
    case ControlKind::RadioButton:
      return kRadioSection;
    case ControlKind::ComboBox:
      return kComboSection;
    default:
      return {};
  }
}

std::string limitSettingsValue(std::string value) {
  if (value.size() <= kSettingsValueLimit) return value;
  return cutGbkText(value, kSettingsValueLimit);
}

std::string encodeEditText(std::string_view content) {
  return replaceAll(toOneLine(content), "\"", kQuoteMark);
}

std::string decodeEditText(std::string_view value) {
  return replaceAll(fromOneLine(value), kQuoteMark, "\"");
}

std::string encodeTicked(bool ticked) {
  return std::string(ticked ? kTickedValue : kUntickedValue);
}

std::optional<bool> decodeTicked(std::string_view value) {
  if (value.empty()) return std::nullopt;
  return value != kUntickedValue;
}

bool operator==(const ComboState& a, const ComboState& b) {
  if (a.selected != b.selected || a.text != b.text || a.items.size() != b.items.size()) {
    return false;
  }
  for (size_t i = 0; i < a.items.size(); ++i) {
    if (a.items[i].text != b.items[i].text || a.items[i].value != b.items[i].value) return false;
  }
  return true;
}

std::string encodeCombo(const ComboState& combo) {
  std::string value;
  for (const ComboItem& item : combo.items) {
    value.append(item.text).append(kFieldSeparator).append(std::to_string(item.value));
    value.append(kItemEnd);
  }
  value.append(std::to_string(combo.selected)).append(kFieldSeparator).append(combo.text);
  return replaceAll(toOneLine(value), "\"", kQuoteMark);
}

std::optional<ComboState> decodeCombo(std::string_view value) {
  const std::string plain = replaceAll(value, kQuoteMark, "\"");
  if (plain.empty()) return std::nullopt;
  std::vector<std::string> pieces = splitText(plain, kItemEnd);
  ComboState combo;
  for (size_t i = 0; i + 1 < pieces.size(); ++i) {
    const std::string_view piece = pieces[i];
    const size_t at = findLast(piece, kFieldSeparator);
    if (at == std::string_view::npos) {
      combo.items.push_back({fromOneLine(piece), 0});
    } else {
      combo.items.push_back({fromOneLine(piece.substr(0, at)),
                             leadingInteger(piece.substr(at + kFieldSeparator.size()))});
    }
  }
  const std::string_view last = pieces.back();
  const size_t at = findFirst(last, kFieldSeparator);
  combo.selected = leadingInteger(last.substr(0, at));
  if (at != std::string_view::npos)
    combo.text = fromOneLine(last.substr(at + kFieldSeparator.size()));
  return combo;
}

int leadingInteger(std::string_view text) noexcept {
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  long long magnitude = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    magnitude = magnitude * 10 + (text[i] - '0');
    if (magnitude > static_cast<long long>(INT_MAX) + 1)
      magnitude = static_cast<long long>(INT_MAX) + 1;
  }
  const long long signedValue = negative ? -magnitude : magnitude;
  if (signedValue > INT_MAX) return INT_MAX;
  return static_cast<int>(signedValue);
}

}  // namespace pv
