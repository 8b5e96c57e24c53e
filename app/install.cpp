#include <windows.h>

#include <shlobj.h>

#include "app/startup.h"
#include "core/app/shell_entries.h"
#include "platform/win32/lifecycle/shell.h"

namespace pv {

void installShellEntries() {
  const std::string modulePath = runningProgramPath();
  if (modulePath.empty()) return;
  const ShellEntries entries = planShellEntries(locateProgram(modulePath),
                                                shellFolder(CSIDL_DESKTOPDIRECTORY),
                                                shellFolder(CSIDL_PROGRAMS));
  // Without administrator rights the Uninstall values are refused, and a shortcut may be
  // refused too; the program runs the same either way, and the next start tries again.
  if (!entries.startMenuFolder.empty()) ensureFolder(entries.startMenuFolder);
  for (const ShortcutEntry& shortcut : entries.shortcuts) createShortcut(shortcut);
  writeMachineTexts(kUninstallKey, entries.uninstallValues);
}

}  // namespace pv
