// Scripted faults as the client's tests use them, and the sandbox's start and stop.
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>

#include "tests/integration/sandbox_fixture.h"
#include "tests/unit/utf8_literal.h"

namespace pv::testing {
namespace {

const std::string kLogin = R"({"username":"demo","password":"demo123"})";

using FaultTest = SandboxTest;

TEST_F(FaultTest, ServerErrorsForTheNextCallsThenNormalAnswers) {
  api().addFaults(utf8Text(u8R"({"endpoint":"auth","status":502,"times":2,"msg":"网关超时"})"));
  for (int i = 0; i < 2; ++i) {
    const Reply r = api().call("POST", "/pub/auth", kLogin);
    EXPECT_EQ(r.status, 502);
    EXPECT_NE(r.code(), 0);
    EXPECT_EQ(r.msg(), utf8Text(u8"网关超时"));
  }
  const Reply ok = api().call("POST", "/pub/auth", kLogin);
  EXPECT_EQ(ok.status, 200);
  EXPECT_FALSE(ok.json.at("/data/token").text().empty());
}

TEST_F(FaultTest, AFaultForAnyEndpointHitsOnlyTheNextCall) {
  api().addFaults(R"({"endpoint":"*","status":503})");
  EXPECT_EQ(api().call("GET", "/pub/global").status, 503);
  EXPECT_EQ(api().call("GET", "/pub/global").status, 200);
}

TEST_F(FaultTest, FaultsWaitForTheirEndpointAndComeInOrder) {
  api().addFaults(R"([{"endpoint":"versions","status":500},{"endpoint":"versions","status":503}])");
  EXPECT_EQ(api().call("GET", "/pub/global").status, 200);  // not addressed
  EXPECT_EQ(api().call("POST", "/pub/versions/check", "{}").status, 500);
  EXPECT_EQ(api().call("POST", "/pub/versions/check", "{}").status, 503);
  EXPECT_EQ(api().call("POST", "/pub/versions/check", "{}").status, 200);
}

TEST_F(FaultTest, AChosenCodeAndMessage) {
  api().addFaults(utf8Text(u8R"({"endpoint":"auth","code":20105,"msg":"账号已冻结"})"));
  const Reply r = api().call("POST", "/pub/auth", kLogin);
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.code(), 20105);
  EXPECT_EQ(r.msg(), utf8Text(u8"账号已冻结"));
  EXPECT_TRUE(r.json.at("/data/token").text().empty());
}

TEST_F(FaultTest, SpoiledBodies) {
  const Reply normal = api().call("GET", "/pub/global");
  ASSERT_EQ(normal.code(), 0);

  api().addFaults(R"({"endpoint":"global","body":"truncated"})");
  const Reply truncated = api().call("GET", "/pub/global");
  EXPECT_EQ(truncated.status, 200);
  EXPECT_TRUE(truncated.json.empty());
  EXPECT_EQ(truncated.body, normal.body.substr(0, normal.body.size() / 2));

  api().addFaults(R"({"endpoint":"global","body":"garbage"})");
  const Reply garbage = api().call("GET", "/pub/global");
  EXPECT_EQ(garbage.status, 200);
  EXPECT_FALSE(garbage.body.empty());
  EXPECT_TRUE(garbage.json.empty());

  api().addFaults(R"({"endpoint":"global","body":"disconnect"})");
  EXPECT_EQ(api().call("GET", "/pub/global").status, 0) << "the connection should have dropped";

  EXPECT_EQ(api().call("GET", "/pub/global").body, normal.body);
}

TEST_F(FaultTest, ADelayLongerThanTheClientWaitsLeavesItWithoutAnswer) {
  api().addFaults(R"({"endpoint":"global","delayMs":2500})");
  EXPECT_EQ(api().call("GET", "/pub/global", "", "", 1).status, 0);
  EXPECT_EQ(api().call("GET", "/pub/global", "", "", 1).status, 200);
}

TEST_F(FaultTest, AStandingFaultLastsUntilCleared) {
  api().addFaults(R"({"endpoint":"account","status":500,"times":-1})");
  const std::string token = api().login();
  for (int i = 0; i < 3; ++i) EXPECT_EQ(api().call("GET", "/account", "", token).status, 500);
  const Reply listed = api().call("GET", "/__control/faults");
  ASSERT_EQ(listed.json.at("/data").size(), 1u);
  EXPECT_EQ(listed.json.at("/data/0/endpoint").text(), "account");
  EXPECT_EQ(api().call("DELETE", "/__control/faults").code(), 0);
  EXPECT_EQ(api().call("GET", "/account", "", token).status, 200);
}

std::string writeTempFile(const std::string& name, const std::string& content) {
  const auto path = std::filesystem::temp_directory_path() /
                    (name + "-" + std::to_string(::getpid()));
  std::ofstream(path, std::ios::binary) << content;
  return path.string();
}

TEST(SandboxLifecycle, StopsCleanlyOnSigterm) {
  SandboxProcess sandbox;
  ASSERT_NE(sandbox.port(), 0);
  EXPECT_EQ(SandboxClient(sandbox.port()).call("GET", "/pub/global").code(), 0);
  const int status = sandbox.stop();
  ASSERT_TRUE(WIFEXITED(status)) << status;
  EXPECT_EQ(WEXITSTATUS(status), 0);
}

TEST(SandboxLifecycle, FaultsFromAFileApplyFromTheFirstCall) {
  const std::string file = writeTempFile("sandbox-faults", R"({"faults":[{"endpoint":"versions","status":503}]})");
  SandboxProcess sandbox({"--faults", file});
  ASSERT_NE(sandbox.port(), 0);
  SandboxClient api(sandbox.port());
  EXPECT_EQ(api.call("POST", "/pub/versions/check", "{}").status, 503);
  EXPECT_EQ(api.call("POST", "/pub/versions/check", "{}").status, 200);
  std::filesystem::remove(file);
}

TEST(SandboxLifecycle, RefusesToStartOnBadDataOrABusyPort) {
  const std::string brokenRules = writeTempFile("sandbox-rules", R"({"rules":[{"project":1,"type":7,"keywords":["x"]}]})");
  const std::string unknownDivision = writeTempFile(
      "sandbox-nationwide", utf8Text(u8R"({"projects":[{"id":1,"name":"p"}],)"
                                     u8R"("nationwide":{"project":1,"islands":["无名岛"]}})"));
  const std::string missing = "/nonexistent/sandbox-rules.json";
  SandboxProcess running;
  ASSERT_NE(running.port(), 0);
  const std::vector<std::vector<std::string>> cases = {
      {"--rules", brokenRules},
      {"--rules", unknownDivision},
      {"--rules", missing},
      {"--gazetteer", missing},
      {"--port", std::to_string(running.port())},
      {"--port", "70000"},
      {"--threads", "0"},
  };
  for (const auto& args : cases) {
    SCOPED_TRACE(args[0] + " " + args[1]);
    SandboxProcess sandbox(args);
    EXPECT_EQ(sandbox.port(), 0);
    const int status = sandbox.stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) != 0) << status;
  }
  std::filesystem::remove(brokenRules);
  std::filesystem::remove(unknownDivision);
}

}  // namespace
}  // namespace pv::testing
