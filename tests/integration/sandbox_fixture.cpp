#include "tests/integration/sandbox_fixture.h"

#include <httplib.h>

#include "core/crypto/base64.h"
#include "core/crypto/crypto.h"

namespace pv::testing {

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
  return CryptoToolkit().decryptSymmetric(base64Decode(base64), key, iv, CipherMode::Cbc, CryptoAlgorithm::Aes256);
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

}  // namespace pv::testing
