#include "tests/integration/sandbox_fixture.h"

#include <httplib.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <thread>

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"

namespace pv::testing {
namespace {

std::string sandboxProgram() { return PARCELVANE_SANDBOX_PROGRAM; }

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

SandboxProcess::SandboxProcess(const std::vector<std::string>& args) {
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

Reply SandboxClient::call(const std::string& method, const std::string& path,
                          const std::string& body, const std::string& token,
                          int timeoutSeconds) const {
  httplib::Client client("127.0.0.1", port_);
  client.set_connection_timeout(5, 0);
  client.set_read_timeout(timeoutSeconds, 0);
  client.set_write_timeout(timeoutSeconds, 0);
  httplib::Request request;
  request.method = method;
  request.path = path.rfind("/__control", 0) == 0 ? path : "/api/v2" + path;
  if (!token.empty()) request.headers.emplace("Authentication", "Bearer " + token);
  if (!body.empty() || method == "POST" || method == "PUT") {
    request.headers.emplace("Content-Type", "application/json");
    request.body = body;
  }
  Reply reply;
  const httplib::Result result = client.send(request);
  if (!result) return reply;
  reply.status = result->status;
  reply.body = result->body;
  reply.contentType = result->get_header_value("Content-Type");
  reply.json.parse(reply.body);
  return reply;
}

std::string SandboxClient::login(const std::string& account, const std::string& password) const {
  JsonMutableDocument body;
  JsonMutValue root = body.createObjectRoot();
  root.setString("username", account);
  root.setString("password", password);
  return call("POST", "/pub/auth", body.serialize()).json.at("/data/token").text();
}

void SandboxClient::reset() const {
  const Reply r = call("POST", "/__control/reset");
  ASSERT_EQ(r.status, 200) << r.body;
}

void SandboxClient::addFaults(const std::string& json) const {
  const Reply r = call("POST", "/__control/faults", json);
  ASSERT_EQ(r.status, 200) << r.body;
}

void SandboxClient::setClockOffset(long long seconds) const {
  const Reply r = call("POST", "/__control/clock", "{\"offsetSeconds\":" + std::to_string(seconds) + "}");
  ASSERT_EQ(r.status, 200) << r.body;
}

std::string decryptData(const std::string& base64, const std::string& key, const std::string& iv) {
  return CryptoToolkit().decryptSymmetric(base64Decode(base64), key, iv, kCipherModeCbc, kCalgAes256);
}

SandboxProcess& sharedSandbox() {
  static SandboxProcess sandbox;
  return sandbox;
}

void SandboxTest::SetUp() {
  SandboxProcess& sandbox = sharedSandbox();
  ASSERT_NE(sandbox.port(), 0) << "parcelvane-sandbox did not start: " << sandboxProgram();
  client_ = std::make_unique<SandboxClient>(sandbox.port());
  client_->reset();
}

std::string defaultRulesPath() {
  return (std::filesystem::path(sandboxProgram()).parent_path() / "sandbox-rules.json").string();
}

}  // namespace pv::testing
