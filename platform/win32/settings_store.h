#pragma once
// The Windows adapters of settings persistence: the private-profile functions behind
// SettingsStore and the data-protection API behind SecretProtector. Names and values cross
// to the "W" functions through code page 936; the files themselves are what the system
// writes (its ANSI code page, CRLF). Any thread may call.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/secret_protector.h"
#include "core/settings/settings_store.h"

namespace pv {

// The full path of the running executable; empty when the system does not say.
std::filesystem::path runningExecutablePath();

class PrivateProfileStore final : public SettingsStore {
 public:
  // The product: the default file under the running executable's folder; bare names left
  // to the system, which puts them in its Windows folder (or the user's virtual copy).
  PrivateProfileStore();
  // Tests: `programFolder` stands for the executable's folder, and bare names are placed
  // in `bareNameFolder` instead of the Windows folder.
  PrivateProfileStore(std::filesystem::path programFolder, std::filesystem::path bareNameFolder);

  std::string read(std::string_view file, std::string_view section, std::string_view key) override;
  bool write(std::string_view file, std::string_view section, std::string_view key,
             std::string_view value) override;

 private:
  // The name handed to the system; empty only for the default file of an unknown folder.
  std::wstring target(std::string_view file) const;

  std::filesystem::path programFolder_;
  std::filesystem::path bareNameFolder_;
};

// Sealed for the current Windows user (CryptProtectData, no prompt), with entropy of our
// own so that a blob lifted from another program's store does not open here.
class DpapiProtector final : public SecretProtector {
 public:
  std::string protect(std::string_view plain) override;
  std::optional<std::string> unprotect(std::string_view sealed) override;
};

}  // namespace pv
