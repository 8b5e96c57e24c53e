#include "core/system/machine.h"

#include <windows.h>

#include "platform/win32/wide_text.h"

#ifndef RRF_SUBKEY_WOW6464KEY
#define RRF_SUBKEY_WOW6464KEY 0x00010000
#endif

namespace pv {

std::string machineFingerprint() {
  // The installation's own GUID; the 64-bit view, since a 32-bit program is redirected.
  wchar_t guid[128] = {};
  DWORD bytes = sizeof guid - sizeof(wchar_t);
  if (RegGetValueW(HKEY_LOCAL_MACHINE, L"SOFTWARE\\Microsoft\\Cryptography", L"MachineGuid",
                   RRF_RT_REG_SZ | RRF_SUBKEY_WOW6464KEY, nullptr, guid, &bytes) == ERROR_SUCCESS &&
      guid[0] != L'\0') {
    return fromWide(guid);
  }
  wchar_t name[MAX_COMPUTERNAME_LENGTH + 1] = {};
  DWORD length = MAX_COMPUTERNAME_LENGTH + 1;
  DWORD serial = 0;
  GetVolumeInformationW(L"C:\\", nullptr, 0, &serial, nullptr, nullptr, nullptr, 0);
  std::string fingerprint = GetComputerNameW(name, &length) ? fromWide(name) : "";
  return fingerprint + "/" + std::to_string(serial);
}

}  // namespace pv
