#include <windows.h>

#include <shlobj.h>

#include "app/startup.h"
#include "core/process/shell_entries.h"
#include "core/system/note_failure.h"
#include "platform/win32/lifecycle/shell.h"

namespace pv {

void uninstallProgram() {
  const UninstallPlan plan =
      planUninstall(shellFolder(CSIDL_DESKTOPDIRECTORY), shellFolder(CSIDL_PROGRAMS));
  // What cannot be deleted stays; the rest of the uninstall goes on.
  for (const std::string& file : plan.files) {
    if (!deleteFile(file)) noteFailure("uninstallProgram", "file not deleted");
  }
  for (const std::string& folder : plan.folders) {
    if (!deleteFolderTree(folder)) noteFailure("uninstallProgram", "folder not deleted");
  }
  scheduleSelfDelete();
}

void scheduleSelfDelete() {
  const ProgramLocation program = locateProgram(runningProgramPath());
  // Without our own folder the script would land in (and delete from) some other one.
  if (!program.directory.empty() && !program.fileName.empty()) {
    const std::string script = selfDeleteScriptPath(program.directory);
    if (writeHiddenFile(script, selfDeleteScript(program.directory, program.fileName))) {
      if (!openWithShell(script)) noteFailure("scheduleSelfDelete", "self-deletion script not started");
    }
  }
  ExitProcess(0);
}

}  // namespace pv
