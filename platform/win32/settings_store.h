#pragma once
// The Windows side of settings persistence: where the settings files live, and the
// data-protection API behind SecretProtector. The files themselves are read and written by
// IniFileStore (core/settings/ini_file.h) as GBK bytes: the private-profile functions
// would pass them through the system's code page, and on a Windows set to another one the
// Chinese names and values would turn into "?". Any thread may call.
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

#include "core/settings/secret_protector.h"

namespace pv {

// The full path of the running executable; empty when the system does not say.
std::filesystem::path runningExecutablePath();

// Where the system puts a private-profile file named without a folder (its Windows folder,
// which it may redirect to the user's virtual copy): the place of the program's bare-named
// settings files, also those earlier versions wrote. Empty when the system does not say.
std::filesystem::path windowsFolder();

// Sealed for the current Windows user (CryptProtectData, no prompt), with entropy of our
// own so that a blob lifted from another program's store does not open here.
class DpapiProtector final : public SecretProtector {
 public:
  std::string protect(std::string_view plain) override;
  std::optional<std::string> unprotect(std::string_view sealed) override;
};

}  // namespace pv
