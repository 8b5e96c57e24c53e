#pragma once
// How a control's value is written into a settings file and read back. One section per
// control kind, one key per control; every value is a single line of GBK text.
//
// All functions are pure; any thread may call.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/ui/window_defs.h"

namespace pv {

inline constexpr std::string_view kEditSection = "编辑框";
inline constexpr std::string_view kCheckBoxSection = "选择框";
inline constexpr std::string_view kRadioSection = "单选框";
inline constexpr std::string_view kComboSection = "组合框";

// The section of a persisted kind; empty for kinds that are not persisted.
std::string_view settingsSection(ControlKind kind) noexcept;

// A value read back is at most this many bytes (the private-profile read buffer holds
// 10240 characters with the terminator). Longer values are cut, never inside a
// double-byte character.
inline constexpr std::size_t kSettingsValueLimit = 10239;
std::string limitSettingsValue(std::string value);

// Edit boxes: line breaks become "><br><" and double quotes "#引号", so the value stays
// one line and the private-profile reader cannot strip it as a quoted string. A lone CR
// or LF is written as a line break too: written raw it would end the value in the file.
std::string encodeEditText(std::string_view content);
std::string decodeEditText(std::string_view value);

// Check boxes and radio buttons: "真" ticked, "假" not. Reading back, the empty value
// says nothing (nullopt), "假" unticks and any other value ticks.
std::string encodeTicked(bool ticked);
std::optional<bool> decodeTicked(std::string_view value);

// Combo boxes: every item as text "<|>" value "<||>", then the selected index "<|>" the
// content text, with double quotes as "#引号". Item texts come from the service, so a
// line break in one is written as "><br><" as in edit boxes.
struct ComboState {
  std::vector<ComboItem> items;
  int selected = -1;
  std::string text;
  friend bool operator==(const ComboState& a, const ComboState& b);
};
std::string encodeCombo(const ComboState& combo);
// nullopt for the empty value (the control stays as it is). Numbers are read leniently,
// as far as they go ("12x" is 12, "" and "x" are 0); an item text may itself hold "<|>",
// since an item's value is what follows its last "<|>" and the content text is what
// follows the first "<|>" of the last piece.
std::optional<ComboState> decodeCombo(std::string_view value);

// Leading blanks, an optional sign and the digits that follow; 0 when there are none,
// clamped to the range of int.
int leadingInteger(std::string_view text) noexcept;

}  // namespace pv
