#pragma once
// The installation entries the program keeps in place at every start (desktop and
// Start-menu shortcuts, the Uninstall values), what the uninstall removes, and the script
// that deletes the executable after the process is gone. Plans only: the Win32 start-up
// carries them out. Paths are GBK texts with backslashes.
#include <string>
#include <string_view>
#include <vector>

namespace pv {

// Where the running executable lives, split from its full path at the last backslash:
// "C:\\tools\\parcelvane.exe" gives "C:\\tools" and "parcelvane.exe". A path without a
// backslash gives an empty directory.
struct ProgramLocation {
  std::string directory;
  std::string fileName;
};
ProgramLocation locateProgram(std::string_view modulePath);

// What every shortcut and the Uninstall values point at: directory + "\\" + file name.
std::string programPath(const ProgramLocation& program);

// True when the program's directory is the desktop directory (a trailing backslash on the
// desktop path aside, ASCII letter case ignored as the file system ignores it): a desktop
// shortcut would then sit beside the program it points at.
bool livesOnDesktop(std::string_view desktopDirectory, std::string_view programDirectory);

struct ShortcutEntry {
  std::string path;       // the .lnk file
  std::string target;
  std::string arguments;  // empty: none
};

struct RegistryText {
  std::string name;
  std::string value;  // written as REG_SZ
};

inline constexpr std::string_view kUninstallKey =
    "SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Uninstall\\Parcelvane";

struct ShellEntries {
  std::string startMenuFolder;           // created before its shortcuts; empty: none
  std::vector<ShortcutEntry> shortcuts;  // in the order they are made
  std::vector<RegistryText> uninstallValues;  // under HKEY_LOCAL_MACHINE\kUninstallKey
};

// The entries for a program at `program`, given the desktop directory and the Start
// menu's programs folder. A folder the system did not name (empty) gets no entry in it:
// its shortcuts would otherwise land beside whatever the current directory is.
ShellEntries planShellEntries(const ProgramLocation& program, std::string_view desktopDirectory,
                              std::string_view programsFolder);

// What the uninstall deletes: the desktop shortcut and the Start-menu folder with its
// contents. A folder that is blank or a drive root is never part of the plan.
struct UninstallPlan {
  std::vector<std::string> files;
  std::vector<std::string> folders;  // deleted with everything in them
};
UninstallPlan planUninstall(std::string_view desktopDirectory, std::string_view programsFolder);

// False for a blank path and for a drive or share root ("C:", "C:\\", "\\", "\\\\server").
bool isDeletableFolder(std::string_view path);

// The self-deletion script, five lines joined with CR LF: waits a second, deletes the
// executable, then itself. `directory` is the program's directory.
inline constexpr std::string_view kSelfDeleteScriptName = "tem.vbs";
std::string selfDeleteScript(std::string_view directory, std::string_view exeFileName);
std::string selfDeleteScriptPath(std::string_view directory);

}  // namespace pv
