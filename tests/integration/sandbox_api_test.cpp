// The service calls of login, account, token, version check, global information and the
// project and service lists, as the client makes them, against the sandbox.
#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <map>
#include <string>
#include <vector>

#include "tests/integration/sandbox_fixture.h"
#include "tests/unit/utf8_literal.h"

namespace pv::testing {
namespace {

bool isSessionCode(int code) { return code >= 20001 && code <= 20099; }

using SessionTest = SandboxTest;

TEST_F(SessionTest, LoginGivesATokenThatOpensTheAccount) {
  const std::string token = api().login("demo", "demo123");
  ASSERT_FALSE(token.empty());
  const Reply account = api().call("GET", "/account", "", token);
  EXPECT_EQ(account.code(), 0);
  EXPECT_EQ(account.json.at("/data/id").toInt(), 1);
  EXPECT_EQ(account.json.at("/data/username").text(), utf8Text(u8"演示用户"));
}

TEST_F(SessionTest, RefusedLoginsSayWhy) {
  struct Case {
    const char* name;
    std::string body;
    int code;  // 0: any code but 0 and 20103
  };
  const Case cases[] = {
      {"unknown account", R"({"username":"nobody","password":"demo123"})", 20103},
      {"wrong password", R"({"username":"demo","password":"demo124"})", 0},
      {"password missing", R"({"username":"demo"})", 0},
      {"password not a string", R"({"username":"demo","password":123})", 0},
      {"not JSON", "username=demo&password=demo123", 0},
      {"empty body", "", 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply r = api().call("POST", "/pub/auth", c.body);
    EXPECT_EQ(r.status, 200);
    EXPECT_TRUE(r.json.at("/data/token").text().empty());
    if (c.code != 0) {
      EXPECT_EQ(r.code(), c.code);
    } else {
      EXPECT_NE(r.code(), 0);
      EXPECT_NE(r.code(), 20103);
    }
    EXPECT_FALSE(r.msg().empty());
  }
}

TEST_F(SessionTest, RefreshGivesANewTokenAndKeepsTheOldOneUntilItExpires) {
  const std::string first = api().login();
  const Reply refreshed = api().call("PUT", "/auth/token", "", first);
  ASSERT_EQ(refreshed.code(), 0) << refreshed.body;
  const std::string second = refreshed.json.at("/data/token").text();
  ASSERT_FALSE(second.empty());
  EXPECT_NE(second, first);
  EXPECT_EQ(api().call("GET", "/account", "", first).code(), 0);
  EXPECT_EQ(api().call("GET", "/account", "", second).code(), 0);
}

// Sends each request as it stands on one connection, the next once the answer to the one
// before has come; the answers' bodies, "" for one that did not come.
std::vector<std::string> rawExchange(int port, const std::vector<std::string>& requests) {
  std::vector<std::string> bodies;
  const int sock = ::socket(AF_INET, SOCK_STREAM, 0);
  if (sock < 0) return bodies;
  timeval wait{10, 0};
  ::setsockopt(sock, SOL_SOCKET, SO_RCVTIMEO, &wait, sizeof wait);
  sockaddr_in address{};
  address.sin_family = AF_INET;
  address.sin_port = htons(static_cast<uint16_t>(port));
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  const bool connected = ::connect(sock, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  for (const std::string& request : requests) {
    std::string received;
    if (connected && ::send(sock, request.data(), request.size(), 0) == static_cast<ssize_t>(request.size())) {
      // The sandbox always answers with a Content-Length.
      for (char buffer[4096];;) {
        const size_t head = received.find("\r\n\r\n");
        const size_t length = received.find("Content-Length: ");
        if (head != std::string::npos && length != std::string::npos &&
            received.size() >= head + 4 + std::stoul(received.substr(length + 16))) {
          break;
        }
        const ssize_t n = ::recv(sock, buffer, sizeof buffer, 0);
        if (n <= 0) break;
        received.append(buffer, static_cast<size_t>(n));
      }
    }
    const size_t head = received.find("\r\n\r\n");
    bodies.push_back(received.rfind("HTTP/1.1 200", 0) == 0 && head != std::string::npos
                         ? received.substr(head + 4)
                         : std::string());
  }
  ::close(sock);
  return bodies;
}

TEST_F(SessionTest, APutOrPostWithoutLengthHasAnEmptyBody) {
  // The client's token refresh is a PUT with neither Content-Length nor a chunked body;
  // it must be answered as it is, and the connection must stay usable for the next call.
  const std::string token = api().login();
  const std::vector<std::string> bodies = rawExchange(
      sharedSandbox().port(),
      {"PUT /api/v2/auth/token HTTP/1.1\r\nHost: 127.0.0.1\r\nAuthentication: Bearer " + token + "\r\n\r\n",
       "POST /api/v2/pub/auth HTTP/1.1\r\nHost: 127.0.0.1\r\n\r\n"});
  ASSERT_EQ(bodies.size(), 2u);
  JsonDocument refreshed, refused;
  ASSERT_TRUE(refreshed.parse(bodies[0])) << bodies[0];
  EXPECT_EQ(refreshed.at("/code").toInt(), 0);
  EXPECT_FALSE(refreshed.at("/data/token").text().empty());
  EXPECT_NE(refreshed.at("/data/token").text(), token);
  ASSERT_TRUE(refused.parse(bodies[1])) << bodies[1];
  EXPECT_EQ(refused.at("/code").toInt(), 40001);  // no body: no username and password
}

TEST_F(SessionTest, ExpiredUnknownAndMissingTokensGiveSessionCodes) {
  const std::string token = api().login();
  api().setClockOffset(2 * 3600 + 1);  // the default lifetime is two hours
  const struct {
    const char* name;
    std::string token;
  } cases[] = {{"expired", token}, {"unknown", "0123456789abcdef"}, {"missing", ""}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.name);
    for (const auto& [method, path] : std::vector<std::pair<std::string, std::string>>{
             {"GET", "/account"}, {"PUT", "/auth/token"}, {"GET", "/serviceBusinesses?currentUserID=1"}}) {
      const Reply r = api().call(method, path, "", c.token);
      EXPECT_TRUE(isSessionCode(r.code())) << path << ": " << r.body;
      EXPECT_FALSE(r.msg().empty());
    }
  }
  // A token refreshed just before the end lives on for a new lifetime.
  api().setClockOffset(2 * 3600 - 5);
  const std::string fresh = api().call("PUT", "/auth/token", "", token).json.at("/data/token").text();
  ASSERT_FALSE(fresh.empty());
  api().setClockOffset(2 * 3600 + 60);
  EXPECT_EQ(api().call("GET", "/account", "", fresh).code(), 0);
  EXPECT_TRUE(isSessionCode(api().call("GET", "/account", "", token).code()));
}

TEST(SessionLifetime, TheTokenLifetimeOptionIsHonoured) {
  SandboxProcess sandbox({"--token-lifetime", "60"});
  ASSERT_NE(sandbox.port(), 0);
  SandboxClient api(sandbox.port());
  const std::string token = api.login();
  api.setClockOffset(59);
  EXPECT_EQ(api.call("GET", "/account", "", token).code(), 0);
  api.setClockOffset(61);
  EXPECT_TRUE(isSessionCode(api.call("GET", "/account", "", token).code()));
}

using VersionTest = SandboxTest;

TEST_F(VersionTest, TheVersionTableAnswersForEachClientVersion) {
  struct Case {
    const char* name;
    std::string version;
    std::string clientName;
    bool forbidden;
    bool known;
  };
  const std::string client = utf8Text(u8"客户端");
  const Case cases[] = {
      {"current version", "2.0.2", client, false, true},
      {"older supported version", "2.0.1", client, false, true},
      {"blocked version", "2.0.0", client, true, true},
      {"unknown version", "9.9.9", client, true, false},
      {"another program", "2.0.2", "other", true, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const Reply r = api().call("POST", "/pub/versions/check",
                               R"({"name":")" + c.clientName + R"(","version":")" + c.version + R"("})");
    ASSERT_EQ(r.code(), 0) << r.body;
    EXPECT_FALSE(r.msg().empty());  // the client takes an empty msg for a network failure
    EXPECT_EQ(r.json.at("/data/current/forbidden").toBool(), c.forbidden);
    EXPECT_EQ(r.json.at("/data/current/id").toInt() >= 1, c.known);
    EXPECT_EQ(r.json.at("/data/current/version").text(), c.version);
    EXPECT_EQ(r.json.at("/data/latest/version").text(), "2.0.2");
    EXPECT_EQ(r.json.at("/data/latest/download").text(), "https://www.parcelvane.com/download");
  }
  EXPECT_NE(api().call("POST", "/pub/versions/check", "{}").code(), 0);
}

using GlobalTest = SandboxTest;

TEST_F(GlobalTest, ContactAndBothPicturesAreServed) {
  const Reply r = api().call("GET", "/pub/global");
  ASSERT_EQ(r.code(), 0) << r.body;
  EXPECT_EQ(r.json.at("/data/service/qq").text(), "800012345");
  EXPECT_EQ(r.json.at("/data/service/qqHref").text().substr(0, 2), "//");
  EXPECT_FALSE(r.json.at("/data/service/wechat").text().empty());
  for (const char* key : {"/data/service/qqQr", "/data/service/wechatQr"}) {
    const std::string path = r.json.at(key).text();
    ASSERT_EQ(path.rfind("/api/v2/", 0), 0u) << key << " " << path;
    // The client fetches the picture from the API host's origin plus this path.
    const Reply picture = api().call("GET", path.substr(std::string("/api/v2").size()));
    EXPECT_EQ(picture.status, 200) << path;
    EXPECT_EQ(picture.contentType, "image/png");
    EXPECT_EQ(picture.body.substr(0, 8), std::string("\x89PNG\r\n\x1a\n", 8));
  }
  EXPECT_EQ(api().call("GET", "/pub/contact/none.png").status, 404);
}

using ListTest = SandboxTest;

TEST_F(ListTest, ProjectsAreListedWithNoticesAndForbiddenOnesLeftOut) {
  const Reply r = api().call("GET", "/pub/serviceProducts?serviceTypeID=1&all=true&forbidden=false");
  ASSERT_EQ(r.code(), 0) << r.body;
  const JsonValue list = r.json.at("/data/list");
  ASSERT_TRUE(list.isArray());
  std::vector<int> ids;
  for (JsonValue p : list.elements()) {
    ids.push_back(p.member("id").toInt());
    EXPECT_FALSE(p.member("name").text().empty());
    EXPECT_FALSE(p.member("notice").text().empty());
  }
  EXPECT_EQ(ids, (std::vector<int>{1, 2, 4}));
  const Reply all = api().call("GET", "/pub/serviceProducts?all=true");
  EXPECT_EQ(all.json.at("/data/list").size(), 4u);
}

TEST_F(ListTest, ServicesOfTheAccountOnlyOneInTheFirstProjectSeveralInTheSecond) {
  const std::string token = api().login();
  const Reply r = api().call("GET", "/serviceBusinesses?currentUserID=1", "", token);
  ASSERT_EQ(r.code(), 0) << r.body;
  std::map<int, std::vector<int>> byProject;
  for (JsonValue s : r.json.at("/data/list").elements()) {
    EXPECT_FALSE(s.member("alias").text().empty());
    byProject[s.member("serviceProductID").toInt()].push_back(s.member("id").toInt());
  }
  EXPECT_EQ(byProject[1], (std::vector<int>{101}));
  EXPECT_GE(byProject[2].size(), 2u);
  EXPECT_EQ(byProject.count(4), 0u) << "another account's service was listed";

  const Reply other = api().call("GET", "/serviceBusinesses?currentUserID=2", "", token);
  EXPECT_NE(other.code(), 0);
  EXPECT_EQ(other.json.at("/data/list").size(), 0u);
}

}  // namespace
}  // namespace pv::testing
