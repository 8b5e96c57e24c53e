#pragma once
// A parcelvane-sandbox of the caller's own on a free loopback port: started by the
// constructor, stopped by stop() or the destructor. Used by the integration tests and by
// the load benchmark.
#include <string>
#include <vector>

namespace pv::testing {

class SandboxProcess {
 public:
  // Starts the sandbox with `args` added to "--port 0"; port() is 0 when it did not start.
  // Its request log goes to this program's standard error, or nowhere when `quiet`.
  explicit SandboxProcess(const std::vector<std::string>& args = {}, bool quiet = false);
  ~SandboxProcess();
  SandboxProcess(const SandboxProcess&) = delete;
  SandboxProcess& operator=(const SandboxProcess&) = delete;

  int port() const { return port_; }
  bool running() const;
  // Ends it with SIGTERM (SIGKILL after 5 s); the exit status as waitpid gives it, -1 when
  // it had already gone or could not be reaped.
  int stop();

 private:
  int pid_ = -1;
  int port_ = 0;
};

// The sandbox program of this build, and the rules file shipped beside it.
std::string sandboxProgram();
std::string defaultRulesPath();

}  // namespace pv::testing
