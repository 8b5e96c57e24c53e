#pragma once
// The file, folder, shortcut and registry operations of installation and uninstall, on
// GBK paths (converted with code page 936 at each call). Failures are values: false or the
// empty text; none of them reports anything to the operator.
#include <string>
#include <string_view>
#include <vector>

#include "core/process/restart.h"
#include "core/process/shell_entries.h"

namespace pv {

// Full path of the running executable; empty when the system does not say.
std::string runningProgramPath();

// The command line as the program got it, whole (GBK).
std::string programCommandLine();
// The arguments after the program's own path, split by the system's rules (the shell
// library's, loaded for it).
std::vector<std::string> programArguments();
// The same split of a given command line (whose first word is the program).
std::vector<std::string> splitCommandLine(std::wstring_view commandLine);

// A shell folder by CSIDL number (CSIDL_DESKTOPDIRECTORY, CSIDL_PROGRAMS); empty when the
// system has none.
std::string shellFolder(int csidl);

// Creates the folder; true when it exists afterwards.
[[nodiscard]] bool ensureFolder(std::string_view path);

// A shortcut through the shell-link object, shown with SW_SHOW, without description or
// working directory. Replaces an earlier one. COM must be initialised on this thread.
[[nodiscard]] bool createShortcut(const ShortcutEntry& shortcut);

// Writes REG_SZ values under HKEY_LOCAL_MACHINE\key, creating the key when missing.
// False when any value was not written (as without administrator rights).
[[nodiscard]] bool writeMachineTexts(std::string_view key, const std::vector<RegistryText>& values);

[[nodiscard]] bool deleteFile(std::string_view path);
// Deletes the folder with everything in it; refuses a blank path and a drive or share root.
[[nodiscard]] bool deleteFolderTree(std::string_view path);

// Writes `bytes` as the whole file, replacing an earlier one whatever its attributes, and
// leaves the file with the hidden attribute only.
[[nodiscard]] bool writeHiddenFile(std::string_view path, std::string_view bytes);

// Opens the document through the shell, as a double click would (verb "Open").
[[nodiscard]] bool openWithShell(std::string_view path);

// The restart of the running program through its batch script.
class Win32RestartHost final : public RestartHost {
 public:
  std::string programPath() override;
  bool fileExists(std::string_view path) override;
  std::string shortPath(std::string_view path) override;
  bool writeFile(std::string_view path, std::string_view bytes) override;
  bool runHidden(std::string_view scriptPath) override;
  [[noreturn]] void endProcess(int exitCode) override;
};

}  // namespace pv
