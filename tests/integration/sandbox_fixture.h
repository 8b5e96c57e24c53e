#pragma once
// The sandbox the tests of a program share, and a small HTTP client for it. A test that
// needs other options starts a SandboxProcess of its own.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "core/json/json.h"
#include "tests/integration/sandbox_process.h"

namespace pv::testing {

struct Reply {
  int status = 0;           // 0: no answer (connection refused, dropped, timed out)
  std::string body;
  std::string contentType;
  JsonDocument json;        // the body parsed; empty when it is not JSON
  int code() const { return json.at("/code").toInt(); }
  std::string msg() const { return json.at("/msg").text(); }  // UTF-8
};

class SandboxClient {
 public:
  explicit SandboxClient(int port) : port_(port) {}

  // `path` below /api/v2 (or an absolute one starting with "/__control"); `token` goes in
  // the "Authentication" header as a bearer token when not empty.
  Reply call(const std::string& method, const std::string& path, const std::string& body = "",
             const std::string& token = "", int timeoutSeconds = 10) const;

  // POST /pub/auth; the token, empty when refused.
  std::string login(const std::string& account = "demo", const std::string& password = "demo123") const;

  // Control endpoint shortcuts; each fails the current test when the sandbox refuses.
  void reset() const;
  void addFaults(const std::string& json) const;
  void setClockOffset(long long seconds) const;

 private:
  int port_;
};

// Base64 and AES-256-CBC decryption of a screening answer's data, as the client does it.
std::string decryptData(const std::string& base64, const std::string& key, const std::string& iv);

// The sandbox every test of a program shares: started on first use, reset before each test
// by SandboxTest.
SandboxProcess& sharedSandbox();

class SandboxTest : public ::testing::Test {
 protected:
  void SetUp() override;
  SandboxClient& api() { return *client_; }

 private:
  std::unique_ptr<SandboxClient> client_;
};

}  // namespace pv::testing
