#pragma once
// Settings persistence: the values of whole kinds of controls of a window are saved into a
// settings file when the window goes and written back when it comes, one section per kind
// (settings_codec.h), one key per control name, every control of the kind in the window's
// table included, tab-page controls too.
//
// Entry points for the windows' events (wired by the start-up):
//   login window Created      write the browser-emulation value (Windows:
//                             writeBrowserEmulationValue(), platform/win32/settings_registry.h),
//                             then loadLoginSettings()
//   login window Destroying   saveLoginSettings()
//   main window Created       loadMainSettings(), before anything else reads the controls
//   main window Destroying    saveMainSettings(), then destroy the quick-tip and result windows
//
// A password box (kPassword) is never stored as plain text: its value is sealed by the
// SecretProtector and stored as kProtectedValuePrefix + Base64. A plain value found there
// (written by an older version) is still read, and sealed at the next save.
//
// Failures are not reported: a missing file or key leaves the control at its default, a
// failed write leaves the file as it was. Call on any thread; the Ui port marshals.
#include <string_view>

#include "core/settings/secret_protector.h"
#include "core/settings/settings_store.h"
#include "core/ui/ui.h"

namespace pv {

inline constexpr std::string_view kLoginSettingsFile = "parcelvane.ini";
inline constexpr std::string_view kMainSettingsFile = "parcelvane_settings.ini";
inline constexpr std::string_view kProtectedValuePrefix = "{protected}";

// What the routines reach the outside through; each must outlive the call.
struct SettingsPorts {
  Ui& ui;
  SettingsStore& store;
  SecretProtector& protector;
};

// Saves every control of `kind` in `window` into `file` (empty: the default file) under the
// kind's section, skipping the controls named in `exclusions` ("name|name|..."). True when
// every value was written; false also for a kind that is not persisted.
[[nodiscard]] bool saveControls(const SettingsPorts& ports, Window window, std::string_view file,
                  ControlKind kind, std::string_view exclusions = {});

// Writes the saved values of `file` back into every control of `kind` in `window`; a
// control without a saved value keeps what it shows. The number of controls of that kind
// in the window (0 for a kind that is not persisted).
int loadControls(const SettingsPorts& ports, Window window, std::string_view file,
                 ControlKind kind);

// The login window's edit boxes in kLoginSettingsFile.
int loadLoginSettings(const SettingsPorts& ports);
[[nodiscard]] bool saveLoginSettings(const SettingsPorts& ports);

// The main window's edit boxes, check boxes, radio buttons and combo boxes, in that order,
// in kMainSettingsFile.
int loadMainSettings(const SettingsPorts& ports);
[[nodiscard]] bool saveMainSettings(const SettingsPorts& ports);

}  // namespace pv
