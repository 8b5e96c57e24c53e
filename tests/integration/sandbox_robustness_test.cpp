// Bad input never brings the sandbox down: wrong methods and paths, oversized and
// malformed bodies, deep nesting, damaged bytes. Every answer is an envelope with a code.
#include <random>
#include <string>
#include <vector>

#include "tests/integration/sandbox_fixture.h"
#include "tests/unit/utf8_literal.h"

namespace pv::testing {
namespace {

using namespace std::string_literals;

using RobustnessTest = SandboxTest;

void expectStillServing(const SandboxClient& api) {
  const Reply r = api.call("GET", "/pub/global");
  EXPECT_EQ(r.status, 200);
  EXPECT_EQ(r.code(), 0);
}

TEST_F(RobustnessTest, WrongMethodsAndUnknownPathsAreRefusedWithAnEnvelope) {
  struct Case {
    const char* method;
    const char* path;
    int status;
  };
  const Case cases[] = {
      {"GET", "/pub/auth", 405},
      {"DELETE", "/account", 405},
      {"POST", "/auth/token", 405},
      {"GET", "/effectiveServiceBusinesses/101/pick", 405},
      {"GET", "/nothing", 404},
      {"POST", "/effectiveServiceBusinesses//pick", 404},
      {"POST", "/effectiveServiceBusinesses/101/102/pick", 404},
      {"GET", "/pub/contact/", 404},
      {"GET", "/../api/v2/account", 404},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.method) + " " + c.path);
    const Reply r = api().call(c.method, c.path);
    EXPECT_EQ(r.status, c.status);
    EXPECT_NE(r.code(), 0) << r.body;
    EXPECT_FALSE(r.msg().empty());
  }
  EXPECT_EQ(api().call("GET", "/__control/nothing").status, 404);
  const Reply outside = api().call("GET", "/__control/../index.html");
  EXPECT_GE(outside.status, 400);
  expectStillServing(api());
}

TEST_F(RobustnessTest, AnOversizedBodyIsRefusedAndTheServiceGoesOn) {
  const Reply r = api().call("POST", "/pub/auth", std::string(3 * 1024 * 1024, 'a'));
  EXPECT_EQ(r.status, 413);
  EXPECT_NE(r.code(), 0);
  expectStillServing(api());
}

TEST_F(RobustnessTest, MalformedBodiesGetARefusalOnEveryPostEndpoint) {
  const std::string token = api().login();
  const std::vector<std::string> bodies = {
      "",
      "{",
      "[]",
      "null",
      "\"text\"",
      "{\"username\":\"demo\",\"password\":\"demo123\"} trailing",
      "{\"addresses\":1,\"serviceBusinessID\":\"101\"}",
      "{\"addresses\":[\"\xff\xfe\"],\"serviceBusinessID\":101}",  // not UTF-8
      std::string(200000, '[') + std::string(200000, ']'),       // deep nesting
      "{\"a\":" + std::string(100000, '[') + "1" + std::string(100000, ']') + "}",
      "{\"username\":\"de\0mo\",\"password\":\"x\"}"s,  // a NUL inside a string
  };
  for (const char* path : {"/pub/auth", "/pub/versions/check", "/effectiveServiceBusinesses/101/pick"}) {
    for (size_t i = 0; i < bodies.size(); ++i) {
      SCOPED_TRACE(std::string(path) + " body " + std::to_string(i));
      const Reply r = api().call("POST", path, bodies[i], token);
      EXPECT_EQ(r.status, 200);
      EXPECT_NE(r.code(), 0) << r.body.substr(0, 200);
      EXPECT_TRUE(r.json.at("/data/token").text().empty());
    }
  }
  expectStillServing(api());
}

TEST_F(RobustnessTest, RandomlyDamagedRequestsNeverGetAVerdictOrACrash) {
  const std::string token = api().login();
  const std::string seed =
      utf8Text(u8R"({"addresses":["浙江省杭州市西湖区文三路100号"],"serviceBusinessID":101,)"
               u8R"("source":"pc","timestamp":1765000000,"version":"2.0.2","sign":"AAAA"})");
  std::mt19937 random(20251210);  // fixed: a failure can be replayed
  for (int round = 0; round < 300; ++round) {
    std::string body = seed;
    const int edits = 1 + static_cast<int>(random() % 8);
    for (int e = 0; e < edits; ++e) {
      const size_t at = random() % body.size();
      switch (random() % 3) {
        case 0: body[at] = static_cast<char>(random() & 0xFF); break;
        case 1: body.erase(at, 1 + random() % 5); break;
        default: body.insert(at, 1 + random() % 3, static_cast<char>(random() & 0xFF)); break;
      }
      if (body.empty()) body = "{";
    }
    const Reply r = api().call("POST", "/effectiveServiceBusinesses/101/pick", body, token);
    ASSERT_EQ(r.status, 200) << "round " << round;
    EXPECT_NE(r.code(), 0) << "round " << round;
    EXPECT_TRUE(r.json.at("/data").text().empty()) << "round " << round;
  }
  expectStillServing(api());
}

TEST_F(RobustnessTest, ControlEndpointRefusesBadFaultScripts) {
  const std::vector<std::string> scripts = {
      "{", R"({"endpoint":"nowhere"})", R"({"status":42})", R"({"body":"melt"})",
      R"({"times":0})", R"({"delayMs":-1})", R"({"unknown":1})", R"([{"status":500},{"code":"x"}])",
  };
  for (const std::string& s : scripts) {
    SCOPED_TRACE(s);
    const Reply r = api().call("POST", "/__control/faults", s);
    EXPECT_EQ(r.status, 400);
    EXPECT_NE(r.code(), 0);
  }
  // Nothing half-read was kept.
  EXPECT_EQ(api().call("GET", "/__control/faults").json.at("/data").size(), 0u);
  expectStillServing(api());
}

TEST_F(RobustnessTest, TheClockMovesAtMostTenYearsEitherWay) {
  const struct {
    std::string offset;
    int status;
  } cases[] = {
      {"315360000", 200},           {"-315360000", 200},
      {"315360001", 400},           {"-315360001", 400},
      {"9223372036854775807", 400}, {"-9223372036854775808", 400},
      {"1e30", 400},                {"\"60\"", 400},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.offset);
    const Reply r = api().call("POST", "/__control/clock", "{\"offsetSeconds\":" + c.offset + "}");
    EXPECT_EQ(r.status, c.status) << r.body;
  }
  // A refusal leaves the last accepted offset in place.
  EXPECT_EQ(api().call("GET", "/__control/clock").json.at("/data/offsetSeconds").toInt64(), -315360000);
  expectStillServing(api());
}

}  // namespace
}  // namespace pv::testing
