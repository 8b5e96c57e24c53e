#include "platform/win32/program_folders.h"

#include <windows.h>

#include <string>
#include <vector>

namespace pv {

std::filesystem::path runningExecutablePath() {
  std::vector<wchar_t> buffer(MAX_PATH);
  for (;;) {
    const DWORD n = GetModuleFileNameW(nullptr, buffer.data(), static_cast<DWORD>(buffer.size()));
    if (n == 0) return {};
    if (n < buffer.size()) return std::filesystem::path(std::wstring(buffer.data(), n));
    if (buffer.size() >= 32768) return {};
    buffer.resize(buffer.size() * 2);
  }
}

std::filesystem::path windowsFolder() {
  std::vector<wchar_t> buffer(MAX_PATH);
  const UINT n = GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size()));
  if (n == 0) return {};
  if (n >= buffer.size()) {
    buffer.resize(n);
    if (GetWindowsDirectoryW(buffer.data(), static_cast<UINT>(buffer.size())) != n - 1) return {};
  }
  return std::filesystem::path(std::wstring(buffer.data()));
}

}  // namespace pv
