#include "platform/win32/settings_registry.h"

#include <windows.h>

#include <string>

#include "platform/win32/program_folders.h"
#include "platform/win32/unique.h"

namespace pv {
namespace {

constexpr wchar_t kFeatureKey[] =
    L"Software\\Microsoft\\Internet Explorer\\Main\\FeatureControl\\FEATURE_BROWSER_EMULATION";

}  // namespace

bool writeBrowserEmulationValue() {
  return writeBrowserEmulationValue(runningExecutablePath().filename().wstring());
}

bool writeBrowserEmulationValue(std::wstring_view exeFileName) {
  if (exeFileName.empty() || exeFileName.find_first_of(L"\\/") != std::wstring_view::npos) {
    return false;
  }
  UniqueRegistryKey key;
  if (RegCreateKeyExW(HKEY_CURRENT_USER, kFeatureKey, 0, nullptr, REG_OPTION_NON_VOLATILE,
                      KEY_SET_VALUE, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
    return false;
  }
  const std::wstring name(exeFileName);
  const DWORD mode = kBrowserEmulationMode;
  return RegSetValueExW(key.get(), name.c_str(), 0, REG_DWORD, reinterpret_cast<const BYTE*>(&mode),
                        sizeof mode) == ERROR_SUCCESS;
}

}  // namespace pv
