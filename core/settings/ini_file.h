#pragma once
// Our own INI files, read and written the way the Windows private-profile functions treat
// them, so that tests on any platform meet the same file behaviour the product meets:
// section and key names compared without regard to ASCII case and blanks around them,
// values without their outer blanks and without one pair of matching quotes, the first of
// two equal keys winning, comment and foreign lines kept as they were.
#include <filesystem>
#include <mutex>
#include <string>
#include <string_view>
#include <vector>

#include "core/settings/settings_store.h"

namespace pv {

// One file's text as lines. Not thread-safe; IniFileStore guards its use.
class IniDocument {
 public:
  IniDocument() = default;
  // Lines end in CRLF or LF; any bytes are accepted.
  explicit IniDocument(std::string_view text);

  // The value, or the empty text when the section or key is missing.
  std::string get(std::string_view section, std::string_view key) const;
  // Replaces the key's line in place, or adds it at the end of its section, or adds the
  // section at the end of the file. False, with nothing changed, when a name or the value
  // holds a line break, or a name is empty or starts a section or comment, or a key holds
  // "=", or a section ends in a lone GBK lead byte (which would pair with the "]"): such a
  // line would not read back as written.
  bool set(std::string_view section, std::string_view key, std::string_view value);

  // GBK lines ending in CRLF, as the private-profile functions write them.
  std::string text() const;

 private:
  std::vector<std::string> lines_;
};

// SettingsStore over IniDocument files: a bare name is a file in `bareNameFolder`, the
// empty name is kDefaultSettingsFile under `programFolder`. The files are bytes, GBK in and
// GBK out whatever the system's code page, so a Windows set to another code page reads and
// writes the same files. Writes replace the whole file. One lock serialises the calls.
class IniFileStore final : public SettingsStore {
 public:
  // The product (platform/win32/program_folders.h names its two folders).
  IniFileStore(std::filesystem::path programFolder, std::filesystem::path bareNameFolder);
  // Tests and native runs: one folder stands for both.
  explicit IniFileStore(std::filesystem::path folder);

  std::string read(std::string_view file, std::string_view section, std::string_view key) override;
  bool write(std::string_view file, std::string_view section, std::string_view key,
             std::string_view value) override;

  // Where `file` lives; empty for the default file when the program's folder is unknown.
  std::filesystem::path pathOf(std::string_view file) const;

 private:
  std::filesystem::path programFolder_;
  std::filesystem::path bareNameFolder_;
  std::mutex mutex_;
};

}  // namespace pv
