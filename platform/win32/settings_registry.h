#pragma once
// The per-program switch that makes the embedded web view (the system's web-browser
// control) render in a standards document mode instead of its IE 7 default: a DWORD
// named after the executable's file name, in the current user's key
// Software\Microsoft\Internet Explorer\Main\FeatureControl\FEATURE_BROWSER_EMULATION.
// Written each time the login window opens. Any thread may call; false when the value
// could not be written.
#include <string_view>

namespace pv {

inline constexpr unsigned long kBrowserEmulationMode = 10000;

// For the running executable.
[[nodiscard]] bool writeBrowserEmulationValue();
// For the executable named `exeFileName` (a file name without folder, "parcelvane.exe").
[[nodiscard]] bool writeBrowserEmulationValue(std::wstring_view exeFileName);

}  // namespace pv
