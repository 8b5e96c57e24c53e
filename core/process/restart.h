#pragma once
// The restart after the service has ended the login: a small batch script beside the
// program waits, starts the program again and deletes itself, and the process ends.
// RestartHost is the machine's side of it (the Win32 adapter in the product, a recording
// fake in tests); paths are GBK.
#include <string>
#include <string_view>

namespace pv {

class RestartHost {
 public:
  virtual ~RestartHost() = default;
  virtual std::string programPath() = 0;  // full path of the running executable
  virtual bool fileExists(std::string_view path) = 0;
  // The short (8.3) form of the path, or the path itself where the volume keeps none.
  virtual std::string shortPath(std::string_view path) = 0;
  // Writes the whole file, replacing an earlier one.
  [[nodiscard]] virtual bool writeFile(std::string_view path, std::string_view bytes) = 0;
  // Starts the script without waiting, its window hidden, in its own directory.
  [[nodiscard]] virtual bool runHidden(std::string_view scriptPath) = 0;
  // Ends the process with this code. The product's never returns; a fake may.
  virtual void endProcess(int exitCode) = 0;
};

inline constexpr std::string_view kRestartScriptName = "Restart.bat";

// The script, four lines joined by CR LF: wait about `seconds` - 1 seconds (ping sends
// its echoes one second apart), start the program by its short path, delete itself.
std::string restartScript(int seconds, std::string_view shortProgramPath);

enum class RestartOutcome {
  Ended,      // the script runs and the process was told to end
  NoProgram,  // the executable is not where the system says it is: nothing done
  Failed,     // the script could not be written or started: the program goes on
};

// Restarts the program after `seconds` (2 when not above 0).
RestartOutcome restartProgram(RestartHost& host, int seconds = 0);

}  // namespace pv
