#pragma once
// The data-protection API behind SecretProtector: how the settings files keep a password.
// Any thread may call.
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/secret_protector.h"

namespace pv {

// Sealed for the current Windows user (CryptProtectData, no prompt), with entropy of our
// own so that a blob lifted from another program's store does not open here.
class DpapiProtector final : public SecretProtector {
 public:
  std::string protect(std::string_view plain) override;
  std::optional<std::string> unprotect(std::string_view sealed) override;
};

}  // namespace pv
