#pragma once
// The SettingsStore port: one value by file, section and key, as the private-profile
// functions give it. IniFileStore (ini_file.h) is the adapter on every target: it reads and
// writes the files as GBK bytes itself, in the folders platform/win32/program_folders.h
// names on Windows.
//
// File names: a bare name ("parcelvane.ini") is placed by the store's own rule (the
// operating system's folder for bare names on Windows, the store's folder for ours); the
// empty name stands for the program's default file kDefaultSettingsFile under the
// program's folder, whose missing folders the store creates before reading or writing.
//
// Texts are GBK. Reading gives the value with blanks around it removed and one pair of
// matching quotes around it dropped, as the private-profile reader does: writers that need
// quotes or outer blanks kept must encode them. Any thread may call.
#include <string>
#include <string_view>

namespace pv {

// Relative to the program's folder.
inline constexpr std::string_view kDefaultSettingsFile = "data\\setsoft.ini";

class SettingsStore {
 public:
  virtual ~SettingsStore() = default;

  // The value, or the empty text when the file, section or key is missing or unreadable.
  // The store may cut a very long value, but never below kSettingsValueLimit bytes.
  virtual std::string read(std::string_view file, std::string_view section,
                           std::string_view key) = 0;

  // Writes key=value into [section], creating the file and the section when missing.
  // False when the value could not be written; the value must be one line.
  [[nodiscard]] virtual bool write(std::string_view file, std::string_view section, std::string_view key,
                     std::string_view value) = 0;
};

}  // namespace pv
