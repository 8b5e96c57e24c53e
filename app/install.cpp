#include <windows.h>

#include <shlobj.h>

#include "app/startup.h"
#include "core/process/shell_entries.h"
#include "core/system/note_failure.h"
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
  if (!entries.startMenuFolder.empty() && !ensureFolder(entries.startMenuFolder)) {
    noteFailure("installShellEntries", "Start-menu folder not made");
  }
  for (const ShortcutEntry& shortcut : entries.shortcuts) {
    if (!createShortcut(shortcut)) noteFailure("installShellEntries", "shortcut not made");
  }
  if (!writeMachineTexts(kUninstallKey, entries.uninstallValues)) {
    noteFailure("installShellEntries", "Uninstall values not written");
  }
}

}  // namespace pv
