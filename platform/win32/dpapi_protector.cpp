#include "platform/win32/dpapi_protector.h"

#include <windows.h>
// After windows.h, whose types it uses.
#include <wincrypt.h>

#include "platform/win32/unique.h"

namespace pv {
namespace {

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
