#include "core/process/restart.h"

#include "core/process/shell_entries.h"
#include "core/text/text.h"

namespace pv {

std::string restartScript(int seconds, std::string_view shortProgramPath) {
  const std::string kTemplate = "@echo off \r\n@ping 127.0.0.1 -n 秒数 >nul\r\nstart \"\" \"<文件名>\"\r\ndel Restart.bat";
  return replaceAll(replaceAll(kTemplate, "秒数", std::to_string(seconds)), "<文件名>", shortProgramPath);
}

RestartOutcome restartProgram(RestartHost& host, int seconds) {
  if (seconds <= 0) seconds = 2;
  const ProgramLocation program = locateProgram(host.programPath());
  const std::string path = programPath(program);
  if (program.fileName.empty() || !host.fileExists(path)) return RestartOutcome::NoProgram;
  const std::string script = programPath({program.directory, std::string(kRestartScriptName)});
  if (!host.writeFile(script, restartScript(seconds, host.shortPath(path)))) return RestartOutcome::Failed;
  if (!host.runHidden(script)) return RestartOutcome::Failed;
  host.endProcess(0);
  return RestartOutcome::Ended;
}

}  // namespace pv
