#include "core/settings/settings.h"

#include <algorithm>
#include <optional>
#include <string>
#include <vector>

#include "core/crypto/base64.h"
#include "core/settings/settings_codec.h"
#include "core/text/text.h"

namespace pv {
namespace {

constexpr ControlKind kMainKinds[] = {ControlKind::Edit, ControlKind::CheckBox,
                                      ControlKind::RadioButton, ControlKind::ComboBox};

bool isExcluded(const std::vector<std::string>& exclusions, std::string_view name) {
  return std::find(exclusions.begin(), exclusions.end(), name) != exclusions.end();
}

// An empty password stays empty: it means "nothing saved" either way. When sealing fails
// the password is not kept at all rather than kept readable.
std::string sealedValue(SecretProtector& protector, std::string_view plain) {
  if (plain.empty()) return {};
  const std::string sealed = protector.protect(plain);
  if (sealed.empty()) return {};
  return std::string(kProtectedValuePrefix) + base64Encode(sealed);
}

// nullopt when nothing usable is stored, including a sealed value this user cannot open
// (another account, another machine, a damaged file): the box then stays empty.
std::optional<std::string> openedValue(SecretProtector& protector, std::string_view value) {
  if (!startsWith(value, kProtectedValuePrefix)) return decodeEditText(value);
  const std::string sealed = base64Decode(value.substr(kProtectedValuePrefix.size()));
  if (sealed.empty()) return std::nullopt;
  return protector.unprotect(sealed);
}

std::string valueOf(const SettingsPorts& ports, Window window, const ControlDef& control) {
  Ui& ui = ports.ui;
  switch (control.kind) {
    case ControlKind::Edit: {
      const std::string content = ui.text(window, control.name);
      return control.has(kPassword) ? sealedValue(ports.protector, content)
                                    : encodeEditText(content);
    }
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      return encodeTicked(ui.checked(window, control.name));
    case ControlKind::ComboBox: {
      ComboState combo;
      const int count = ui.itemCount(window, control.name);
      for (int i = 0; i < count; ++i) {
        combo.items.push_back(
            {ui.itemText(window, control.name, i), ui.itemValue(window, control.name, i)});
      }
      combo.selected = ui.selectedIndex(window, control.name);
      combo.text = ui.text(window, control.name);
      return encodeCombo(combo);
    }
    default:
      return {};
  }
}

void apply(const SettingsPorts& ports, Window window, const ControlDef& control,
           std::string_view value) {
  Ui& ui = ports.ui;
  switch (control.kind) {
    case ControlKind::Edit: {
      if (control.has(kPassword)) {
        const auto password = openedValue(ports.protector, value);
        if (password && !password->empty()) ui.setText(window, control.name, *password);
      } else {
        ui.setText(window, control.name, decodeEditText(value));
      }
      return;
    }
    case ControlKind::CheckBox:
    case ControlKind::RadioButton:
      if (const auto ticked = decodeTicked(value)) ui.setChecked(window, control.name, *ticked);
      return;
    case ControlKind::ComboBox: {
      const auto combo = decodeCombo(value);
      if (!combo) return;
      ui.clearItems(window, control.name);
      for (const ComboItem& item : combo->items) {
        ui.addItem(window, control.name, item.text, item.value);
      }
      ui.setSelectedIndex(window, control.name, combo->selected);
      ui.setText(window, control.name, combo->text);
      return;
    }
    default:
      return;
  }
}

}  // namespace

bool saveControls(const SettingsPorts& ports, Window window, std::string_view file,
                  ControlKind kind, std::string_view exclusions) {
  const std::string_view section = settingsSection(kind);
  if (section.empty()) return false;
  const std::vector<std::string> excluded = splitText(exclusions, "|");
  bool allWritten = true;
  for (const ControlDef& control : windowDef(window).controls) {
    if (control.kind != kind || isExcluded(excluded, control.name)) continue;
    allWritten &= ports.store.write(file, section, control.name, valueOf(ports, window, control));
  }
  return allWritten;
}

int loadControls(const SettingsPorts& ports, Window window, std::string_view file,
                 ControlKind kind) {
  const std::string_view section = settingsSection(kind);
  if (section.empty()) return 0;
  int count = 0;
  for (const ControlDef& control : windowDef(window).controls) {
    if (control.kind != kind) continue;
    ++count;
    const std::string value = limitSettingsValue(ports.store.read(file, section, control.name));
    if (!value.empty()) apply(ports, window, control, value);
  }
  return count;
}

int loadLoginSettings(const SettingsPorts& ports) {
  return loadControls(ports, Window::Login, kLoginSettingsFile, ControlKind::Edit);
}

bool saveLoginSettings(const SettingsPorts& ports) {
  return saveControls(ports, Window::Login, kLoginSettingsFile, ControlKind::Edit);
}

int loadMainSettings(const SettingsPorts& ports) {
  int count = 0;
  for (const ControlKind kind : kMainKinds) {
    count += loadControls(ports, Window::Main, kMainSettingsFile, kind);
  }
  return count;
}

bool saveMainSettings(const SettingsPorts& ports) {
  bool allWritten = true;
  for (const ControlKind kind : kMainKinds) {
    allWritten &= saveControls(ports, Window::Main, kMainSettingsFile, kind);
  }
  return allWritten;
}

}  // namespace pv
