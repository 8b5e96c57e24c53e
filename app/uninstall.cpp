#include <windows.h>

#include <shlobj.h>

#include "app/startup.h"
#include "core/app/shell_entries.h"
#include "platform/win32/lifecycle/shell.h"

namespace pv {

void uninstallProgram() {
  const UninstallPlan plan =
      planUninstall(shellFolder(CSIDL_DESKTOPDIRECTORY), shellFolder(CSIDL_PROGRAMS));
  for (const std::string& file : plan.files) deleteFile(file);
  for (const std::string& folder : plan.folders) deleteFolderTree(folder);
  scheduleSelfDelete();
}

void scheduleSelfDelete() {
  const ProgramLocation program = locateProgram(runningProgramPath());
  // Without our own folder the script would land in (and delete from) some other one.
  if (!program.directory.empty() && !program.fileName.empty()) {
    const std::string script = selfDeleteScriptPath(program.directory);
    if (writeHiddenFile(script, selfDeleteScript(program.directory, program.fileName))) {
      openWithShell(script);
    }
  }
  ExitProcess(0);
}

}  // namespace pv
