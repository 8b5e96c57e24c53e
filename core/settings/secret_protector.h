#pragma once
// The SecretProtector port: seals a secret (the login password) so that only the current
// user of this machine can open it again. On Windows the adapter is the data-protection API
// (platform/win32/dpapi_protector.h); tests use a reversible fake.
//
// Bytes travel in std::string. Any thread may call.
#include <optional>
#include <string>
#include <string_view>

namespace pv {

class SecretProtector {
 public:
  virtual ~SecretProtector() = default;

  // Sealed bytes, or empty bytes when sealing failed.
  virtual std::string protect(std::string_view plain) = 0;

  // The plain bytes, or nullopt when `sealed` was not made by this protector for this user
  // or was damaged.
  virtual std::optional<std::string> unprotect(std::string_view sealed) = 0;
};

}  // namespace pv
