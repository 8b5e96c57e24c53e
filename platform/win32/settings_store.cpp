#include "platform/win32/settings_store.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <wincrypt.h>

#include <system_error>
#include <vector>

#include "core/settings/settings_codec.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"

namespace pv {
namespace {

// One more than the longest value the program reads back, for the terminator.
constexpr DWORD kReadBufferChars = static_cast<DWORD>(kSettingsValueLimit) + 1;

bool holdsLineBreak(std::string_view text) {
  return text.find_first_of("\r\n") != std::string_view::npos;
}

// Extra entropy for the data-protection API: not a secret, a label of ours.
DATA_BLOB entropyBlob() {
  static const char kEntropy[] = "Parcelvane settings secret";
  return {sizeof kEntropy - 1, reinterpret_cast<BYTE*>(const_cast<char*>(kEntropy))};
}

DATA_BLOB blobOf(std::string_view bytes) {
  return {static_cast<DWORD>(bytes.size()),
          reinterpret_cast<BYTE*>(const_cast<char*>(bytes.data()))};
}

}  // namespace

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

PrivateProfileStore::PrivateProfileStore()
    : programFolder_(runningExecutablePath().parent_path()) {}

PrivateProfileStore::PrivateProfileStore(std::filesystem::path programFolder,
                                         std::filesystem::path bareNameFolder)
    : programFolder_(std::move(programFolder)), bareNameFolder_(std::move(bareNameFolder)) {}

std::wstring PrivateProfileStore::target(std::string_view file) const {
  if (file.empty()) {
    if (programFolder_.empty()) return {};
    const std::filesystem::path folder = programFolder_ / L"data";
    std::error_code ignored;
    std::filesystem::create_directories(folder, ignored);
    return (folder / L"setsoft.ini").wstring();
  }
  const std::wstring name = toWide(file);
  const bool bare = name.find_first_of(L"\\/:") == std::wstring::npos;
  if (bare && !bareNameFolder_.empty()) return (bareNameFolder_ / name).wstring();
  return name;
}

std::string PrivateProfileStore::read(std::string_view file, std::string_view section,
                                      std::string_view key) {
  const std::wstring path = target(file);
  const std::wstring wideSection = toWide(section);
  const std::wstring wideKey = toWide(key);
  if (path.empty() || wideSection.empty() || wideKey.empty()) return {};
  std::wstring buffer(kReadBufferChars, L'\0');
  const DWORD n = GetPrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), L"",
                                           buffer.data(), kReadBufferChars, path.c_str());
  buffer.resize(n);
  return fromWide(buffer);
}

bool PrivateProfileStore::write(std::string_view file, std::string_view section,
                                std::string_view key, std::string_view value) {
  if (holdsLineBreak(section) || holdsLineBreak(key) || holdsLineBreak(value)) return false;
  const std::wstring path = target(file);
  const std::wstring wideSection = toWide(section);
  const std::wstring wideKey = toWide(key);
  const std::wstring wideValue = toWide(value);
  if (path.empty() || wideSection.empty() || wideKey.empty()) return false;
  return WritePrivateProfileStringW(wideSection.c_str(), wideKey.c_str(), wideValue.c_str(),
                                    path.c_str()) != FALSE;
}

std::string DpapiProtector::protect(std::string_view plain) {
  if (plain.size() > 0x7FFFFFFF) return {};
  DATA_BLOB in = blobOf(plain);
  DATA_BLOB entropy = entropyBlob();
  DATA_BLOB out{};
  if (!CryptProtectData(&in, L"Parcelvane", &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                        &out)) {
    return {};
  }
  const UniqueLocalMemory owner(out.pbData);
  return std::string(reinterpret_cast<const char*>(out.pbData), out.cbData);
}

std::optional<std::string> DpapiProtector::unprotect(std::string_view sealed) {
  if (sealed.empty() || sealed.size() > 0x7FFFFFFF) return std::nullopt;
  DATA_BLOB in = blobOf(sealed);
  DATA_BLOB entropy = entropyBlob();
  DATA_BLOB out{};
  if (!CryptUnprotectData(&in, nullptr, &entropy, nullptr, nullptr, CRYPTPROTECT_UI_FORBIDDEN,
                          &out)) {
    return std::nullopt;
  }
  const UniqueLocalMemory owner(out.pbData);
  std::string plain(reinterpret_cast<const char*>(out.pbData), out.cbData);
  SecureZeroMemory(out.pbData, out.cbData);
  return plain;
}

}  // namespace pv
