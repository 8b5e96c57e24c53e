#include "tests/integration/sandbox_process.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

namespace pv::testing {
namespace {

// Reads the sandbox's first line of standard output, waiting at most `seconds`.
std::string readFirstLine(int fd, int seconds) {
  std::string line;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(seconds);
  while (line.find('\n') == std::string::npos) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0) break;
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) break;
    line.append(buffer, static_cast<size_t>(n));
  }
  return line.substr(0, line.find('\n'));
}

}  // namespace

std::string sandboxProgram() { return PARCELVANE_SANDBOX_PROGRAM; }

SandboxProcess::SandboxProcess(const std::vector<std::string>& args, bool quiet) {
  int out[2];
  if (pipe(out) != 0) return;
  std::vector<std::string> all = {sandboxProgram(), "--port", "0"};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);

  const pid_t parent = getpid();
  pid_ = fork();
  if (pid_ == 0) {
    // A test program that is killed (a ctest timeout) must not leave its sandbox behind.
    prctl(PR_SET_PDEATHSIG, SIGTERM);
    if (getppid() != parent) _exit(127);
    dup2(out[1], STDOUT_FILENO);
    if (quiet) {
      const int null = open("/dev/null", O_WRONLY);
      if (null >= 0) dup2(null, STDERR_FILENO);
    }
    close(out[0]);
    close(out[1]);
    execv(argv[0], argv.data());
    _exit(127);
  }
  close(out[1]);
  if (pid_ < 0) {
    close(out[0]);
    return;
  }
  const std::string line = readFirstLine(out[0], 30);
  close(out[0]);
  const std::string mark = "http://127.0.0.1:";
  const size_t at = line.find(mark);
  if (at != std::string::npos) port_ = std::atoi(line.c_str() + at + mark.size());
}

SandboxProcess::~SandboxProcess() { stop(); }

bool SandboxProcess::running() const { return pid_ > 0 && kill(pid_, 0) == 0; }

int SandboxProcess::stop() {
  if (pid_ <= 0) return -1;
  kill(pid_, SIGTERM);
  int status = -1;
  for (int i = 0; i < 500; ++i) {
    const pid_t done = waitpid(pid_, &status, WNOHANG);
    if (done == pid_) break;
    if (done < 0) {
      status = -1;
      break;
    }
    if (i == 499) {
      kill(pid_, SIGKILL);
      waitpid(pid_, &status, 0);
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  pid_ = -1;
  return status;
}

std::string defaultRulesPath() {
  return (std::filesystem::path(sandboxProgram()).parent_path() / "sandbox-rules.json").string();
}

}  // namespace pv::testing
