// The platform's transports against a loopback server that records what arrives: one table
// of cases for every transport of the target (libcurl natively; WinHttp and WinInet when
// cross-built and run under Wine), then httpRequest and webRequest end to end.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <thread>

#include "core/net/http_request.h"
#include "core/net/http_transport.h"
#include "tests/support/loopback_http_server.h"
#include "tests/support/loopback_tls_server.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

using test::LoopbackHttpServer;
using test::RecordedRequest;
using test::ScriptedResponse;

struct TransportUnderTest {
  const char* name;
  HttpTransport* transport;
};

std::vector<TransportUnderTest> transportsOfThisTarget() {
  std::vector<TransportUnderTest> all;
#ifdef _WIN32
  all.push_back({"WinHttp", &platformHttpTransport()});
  all.push_back({"WinInet", &platformWebTransport()});
#else
  all.push_back({"libcurl", &platformHttpTransport()});
  if (&platformWebTransport() != &platformHttpTransport()) all.push_back({"web", &platformWebTransport()});
#endif
  return all;
}

class Transports : public testing::TestWithParam<TransportUnderTest> {
 protected:
  void SetUp() override { ASSERT_TRUE(server.listening()); }
  HttpTransport& transport() { return *GetParam().transport; }

  LoopbackHttpServer server;
};

struct Field {
  std::string name, value;
};

struct WireCase {
  const char* name{};
  // The request; its url is the server's for `path`.
  std::string method{};
  std::string path{};
  std::vector<HttpHeaderField> headers{};
  std::string body{};
  std::string agent{};
  bool followRedirects = true;
  // Routes of the server: path → response.
  std::vector<std::pair<std::string, ScriptedResponse>> routes{};
  // What must arrive: the targets of the requests in order, the fields of the first (values
  // exact), the body of the first.
  std::vector<std::string> arrivedTargets{};
  std::vector<Field> arrivedFields{};
  std::string arrivedBody{};
  // What must come back.
  int status = 200;
  std::string responseBody{};
  std::vector<std::string> responseHeaderLines{};  // each present in the raw block
};

ScriptedResponse answer(int status, std::string reason, std::vector<std::string> headerLines,
                        std::string body, int delayMs = 0) {
  return ScriptedResponse{status, std::move(reason), std::move(headerLines), std::move(body), delayMs};
}

const std::string kBinaryBody("\x00\x01\xFF\xD6\xD0\r\n\r\nend", 11);

std::vector<WireCase> wireCases() {
  return {
      {.name = "GET carries its fields and agent",
       .method = "GET", .path = "/get?Q=Ab",
       .headers = {{"X-Probe", "1"}, {"Accept", "*/*"}, {"Accept-Language", "zh-cn"}},
       .agent = "Probe/1.0",
       .arrivedTargets = {"GET /get?Q=Ab"},
       .arrivedFields = {{"X-Probe", "1"}, {"Accept", "*/*"}, {"Accept-Language", "zh-cn"},
                         {"User-Agent", "Probe/1.0"}},
       .status = 200, .responseBody = "ok"},
      {.name = "a User-Agent field wins over the agent",
       .method = "GET", .path = "/ua", .headers = {{"User-Agent", "Field/2.0"}}, .agent = "Probe/1.0",
       .arrivedTargets = {"GET /ua"}, .arrivedFields = {{"User-Agent", "Field/2.0"}},
       .status = 200, .responseBody = "ok"},
      {.name = "POST bytes arrive exactly",
       .method = "POST", .path = "/post", .headers = {{"Content-Type", "application/octet-stream"}},
       .body = kBinaryBody,
       .arrivedTargets = {"POST /post"},
       .arrivedFields = {{"Content-Type", "application/octet-stream"},
                         {"Content-Length", std::to_string(kBinaryBody.size())}},
       .arrivedBody = kBinaryBody, .status = 200, .responseBody = "ok"},
      {.name = "PUT without a body",
       .method = "PUT", .path = "/token", .arrivedTargets = {"PUT /token"},
       .status = 200, .responseBody = "ok"},
      {.name = "DELETE with a body",
       .method = "DELETE", .path = "/item", .headers = {{"Content-Type", "text/plain"}}, .body = "gone",
       .arrivedTargets = {"DELETE /item"}, .arrivedBody = "gone", .status = 200, .responseBody = "ok"},
      {.name = "HEAD gives status and headers, no body",
       .method = "HEAD", .path = "/head",
       .routes = {{"/head", answer(200, "OK", {"X-Token: abc"}, "not sent")}},
       .arrivedTargets = {"HEAD /head"}, .status = 200, .responseBody = "",
       .responseHeaderLines = {"X-Token: abc"}},
      {.name = "the raw header block of the response",
       .method = "GET", .path = "/headers",
       .routes = {{"/headers", answer(201, "Created", {"X-Token: abc", "Set-Cookie: a=1; path=/"}, "made")}},
       .arrivedTargets = {"GET /headers"}, .status = 201, .responseBody = "made",
       .responseHeaderLines = {"HTTP/1.1 201 Created", "X-Token: abc", "Set-Cookie: a=1; path=/"}},
      {.name = "a server error is still a response",
       .method = "POST", .path = "/fail", .body = "{}",
       .routes = {{"/fail", answer(503, "Service Unavailable", {}, "busy")}},
       .arrivedTargets = {"POST /fail"}, .arrivedBody = "{}", .status = 503, .responseBody = "busy"},
      {.name = "a redirect is followed",
       .method = "GET", .path = "/from",
       .routes = {{"/from", answer(302, "Found", {"Location: /to"}, "moved")},
                  {"/to", answer(200, "OK", {"X-At: to"}, "arrived")}},
       .arrivedTargets = {"GET /from", "GET /to"}, .status = 200, .responseBody = "arrived",
       .responseHeaderLines = {"X-At: to"}},
      {.name = "a redirect is not followed when switched off",
       .method = "GET", .path = "/from", .followRedirects = false,
       .routes = {{"/from", answer(302, "Found", {"Location: /to"}, "moved")}},
       .arrivedTargets = {"GET /from"}, .status = 302, .responseBody = "moved",
       .responseHeaderLines = {"Location: /to"}},
      {.name = "a large body arrives whole",
       .method = "GET", .path = "/large",
       .routes = {{"/large", answer(200, "OK", {}, std::string(300 * 1024 + 7, 'x'))}},
       .arrivedTargets = {"GET /large"}, .status = 200, .responseBody = std::string(300 * 1024 + 7, 'x')},
  };
}

TEST_P(Transports, SharedCases) {
  for (const WireCase& c : wireCases()) {
    SCOPED_TRACE(c.name);
    server.clearRequests();
    for (const auto& [path, response] : c.routes) server.route(path, response);
    HttpWireRequest request;
    request.method = c.method;
    request.url = server.url(c.path);
    request.headers = c.headers;
    request.body = Bytes(c.body);
    request.agent = c.agent;
    request.followRedirects = c.followRedirects;
    request.timeoutMs = 5000;

    const std::optional<HttpWireResponse> got = transport().exchange(request);
    ASSERT_TRUE(got.has_value());
    EXPECT_EQ(got->status, c.status);
    EXPECT_EQ(got->body, c.responseBody);
    for (const std::string& line : c.responseHeaderLines)
      EXPECT_NE(got->rawHeaders.find(line + "\r\n"), std::string::npos) << line << " in\n" << got->rawHeaders;
    EXPECT_TRUE(got->rawHeaders.starts_with("HTTP/1.")) << got->rawHeaders;
    EXPECT_TRUE(got->rawHeaders.ends_with("\r\n\r\n")) << got->rawHeaders;

    const std::vector<RecordedRequest> arrived = server.requests();
    ASSERT_EQ(arrived.size(), c.arrivedTargets.size());
    for (size_t i = 0; i < arrived.size(); ++i)
      EXPECT_EQ(arrived[i].method + " " + arrived[i].target, c.arrivedTargets[i]);
    for (const Field& f : c.arrivedFields) {
      EXPECT_EQ(arrived[0].header(f.name), f.value) << f.name;
      EXPECT_EQ(arrived[0].headerCount(f.name), 1) << f.name;
    }
    EXPECT_EQ(arrived[0].body, c.arrivedBody);
  }
}

TEST_P(Transports, ATimeOutEndsTheWaitWithNothing) {
  server.route("/slow", answer(200, "OK", {}, "late", 5000));
  HttpWireRequest request;
  request.method = "GET";
  request.url = server.url("/slow");
  request.timeoutMs = 300;
  const std::optional<HttpWireResponse> got = transport().exchange(request);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->status, 0);
  EXPECT_EQ(got->body, "");
  EXPECT_EQ(got->rawHeaders, "");
  EXPECT_EQ(server.requests().size(), 1u);  // it did arrive; the answer came too late
}

TEST_P(Transports, ARefusedConnectionGivesNothing) {
  std::string url;
  {
    LoopbackHttpServer gone;
    url = gone.url("/nobody");
  }
  HttpWireRequest request;
  request.method = "GET";
  request.url = url;
  request.timeoutMs = 2000;
  const std::optional<HttpWireResponse> got = transport().exchange(request);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->status, 0);
  EXPECT_EQ(got->body, "");
  EXPECT_EQ(got->rawHeaders, "");
}

TEST_P(Transports, ThroughAProxy) {
  // The loopback server plays the proxy: the request reaches it with the absolute url, and
  // the host of the url is never looked up.
  HttpWireRequest request;
  request.method = "GET";
  request.url = "http://parcelvane.test/via-proxy?x=1";
  request.proxy = "127.0.0.1:" + std::to_string(server.port());
  request.headers = {{"Proxy-Authorization", "Basic dXNlcjpwYXNz"}};
  request.timeoutMs = 5000;
  const std::optional<HttpWireResponse> got = transport().exchange(request);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->status, 200);
  EXPECT_EQ(got->body, "ok");
  const std::vector<RecordedRequest> arrived = server.requests();
  ASSERT_EQ(arrived.size(), 1u);
  // Some transports name the default port, some do not.
  EXPECT_TRUE(arrived[0].target.starts_with("http://parcelvane.test")) << arrived[0].target;
  EXPECT_EQ(arrived[0].pathAndQuery(), "/via-proxy?x=1");
  EXPECT_EQ(arrived[0].header("Proxy-Authorization"), "Basic dXNlcjpwYXNz");
}

// An https server whose certificate no trusted authority signed gets no request. Natively
// the loopback TLS server tells that the client refused the certificate. A Windows test
// process has no TLS server of its own: there a server started outside stands in when
// PV_TEST_TLS_URL names it (any HTTPS server on 127.0.0.1 with a self-signed certificate).
TEST_P(Transports, AnUntrustedCertificateIsRefused) {
  test::LoopbackTlsServer tls;
  std::string url = tls.listening() ? tls.url("/secret") : std::string();
  if (const char* external = std::getenv("PV_TEST_TLS_URL"); url.empty() && external) url = external;
  if (url.empty()) GTEST_SKIP() << "no TLS server for this target; PV_TEST_TLS_URL may name one";
  HttpWireRequest request;
  request.method = "GET";
  request.url = url;
  request.timeoutMs = 5000;
  const std::optional<HttpWireResponse> got = transport().exchange(request);
  ASSERT_TRUE(got.has_value());
  EXPECT_EQ(got->status, 0);
  EXPECT_EQ(got->body, "");
  if (!tls.listening()) return;
  std::string outcome;
  for (int i = 0; i < 100 && outcome.empty(); ++i) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
    outcome = tls.handshakeOutcome();
  }
  EXPECT_NE(outcome.find("unknown ca"), std::string::npos) << outcome;
}

TEST_P(Transports, HttpRequestSendsTheCompletedNormalisedRequest) {
  const std::string url = server.url("/api/v2/pub/auth");
  const HttpResponse got = httpRequest(
      transport(), {.url = url,
                    .method = kMethodPost,
                    .bodyText = "{\"name\":\"张三\"}",
                    .extraHeaders = "content-type: application/json\r\nconnection: close"});
  EXPECT_EQ(got.statusCode, 200);
  EXPECT_EQ(got.body, "ok");
  EXPECT_FALSE(got.receivedHeaders.starts_with("HTTP/"));
  const std::vector<RecordedRequest> arrived = server.requests();
  ASSERT_EQ(arrived.size(), 1u);
  const RecordedRequest& r = arrived[0];
  EXPECT_EQ(r.method + " " + r.target + " " + r.version, "POST /api/v2/pub/auth HTTP/1.1");
  EXPECT_EQ(r.header("Content-Type"), "application/json");
  EXPECT_EQ(r.headerCount("Content-Type"), 1);
  EXPECT_EQ(r.header("Accept"), "*/*");
  EXPECT_EQ(r.header("Referer"), url);
  EXPECT_EQ(r.header("Accept-Language"), "zh-cn");
  EXPECT_EQ(r.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  EXPECT_NE(r.header("Connection").find("close"), std::string::npos);
  EXPECT_EQ(r.body, utf8Text(u8"{\"name\":\"张三\"}"));
}

TEST_P(Transports, HttpRequestCookiesRoundTrip) {
  server.route("/login", answer(200, "OK", {"Set-Cookie: b=3; path=/", "Set-Cookie: c=deleted"}, "{}"));
  const HttpResponse got =
      httpRequest(transport(), {.url = server.url("/login"), .sendCookies = "Cookie: a=1; b=2"});
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_EQ(server.requests()[0].header("Cookie"), "a=1; b=2");
  EXPECT_EQ(got.receivedCookies, "b=3; a=1");
}

TEST_P(Transports, HttpRequestRedirectSwitch) {
  server.route("/from", answer(302, "Found", {"Location: /to"}, ""));
  server.route("/to", answer(200, "OK", {}, "arrived"));
  const HttpResponse stopped = httpRequest(transport(), {.url = server.url("/from"), .noRedirect = true});
  EXPECT_EQ(stopped.statusCode, 302);
  EXPECT_NE(stopped.receivedHeaders.find("Location: /to\r\n"), std::string::npos);
  EXPECT_EQ(server.requests().size(), 1u);
  const HttpResponse followed = httpRequest(transport(), {.url = server.url("/from")});
  EXPECT_EQ(followed.statusCode, 200);
  EXPECT_EQ(followed.body, "arrived");
}

TEST_P(Transports, HttpRequestProxyCredentials) {
  const HttpResponse got = httpRequest(
      transport(), {.url = "http://parcelvane.test/x", .proxy = "127.0.0.1:" + std::to_string(server.port()),
                    .timeoutSeconds = 5, .proxyUser = "user", .proxyPassword = "pass"});
  EXPECT_EQ(got.statusCode, 200);
  ASSERT_EQ(server.requests().size(), 1u);
  EXPECT_TRUE(server.requests()[0].target.starts_with("http://parcelvane.test")) << server.requests()[0].target;
  EXPECT_EQ(server.requests()[0].pathAndQuery(), "/x");
  EXPECT_EQ(server.requests()[0].header("Proxy-Authorization"), "Basic dXNlcjpwYXNz");
}

TEST_P(Transports, HttpRequestServerCredentialsAnswerAChallenge) {
  ScriptedResponse secret = answer(200, "OK", {}, "secret");
  secret.requiredAuthorization = "Basic dXNlcjpwYXNz";
  server.route("/private", secret);
  // With flag 0 the credentials are the server's; the proxy here is the server itself.
  const HttpResponse got = httpRequest(
      transport(), {.url = "http://parcelvane.test/private", .proxy = "127.0.0.1:" + std::to_string(server.port()),
                    .timeoutSeconds = 5, .proxyUser = "user", .proxyPassword = "pass", .proxyFlag = 0});
  EXPECT_EQ(got.statusCode, 200);
  EXPECT_EQ(got.body, "secret");
  const std::vector<RecordedRequest> arrived = server.requests();
  ASSERT_EQ(arrived.size(), 2u);  // refused once, then answered
  EXPECT_EQ(arrived[0].header("Proxy-Authorization"), "");
  EXPECT_EQ(arrived[1].header("Authorization"), "Basic dXNlcjpwYXNz");
}

TEST_P(Transports, WebRequestDefaults) {
  server.route("/pic.png", answer(200, "OK", {"Content-Type: image/png"}, std::string("\x89PNG\r\n\x1A\n", 8)));
  const std::string url = server.url("/pic.png?V=Ab");
  const HttpResponse got = webRequest(transport(), {.url = url, .bodyText = "never sent"});
  EXPECT_EQ(got.statusCode, 200);
  EXPECT_EQ(got.body, std::string("\x89PNG\r\n\x1A\n", 8));
  EXPECT_TRUE(got.receivedHeaders.starts_with("HTTP/1.1 200 OK\r\n"));
  const std::vector<RecordedRequest> arrived = server.requests();
  ASSERT_EQ(arrived.size(), 1u);
  const RecordedRequest& r = arrived[0];
  EXPECT_EQ(r.method + " " + r.target, "GET /pic.png?V=Ab");
  EXPECT_EQ(r.header("Accept"), "*/*");
  EXPECT_EQ(r.header("Referer"), url);
  EXPECT_EQ(r.header("Accept-Language"), "zh-cn");
  EXPECT_EQ(r.header("User-Agent"), "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)");
  EXPECT_EQ(r.body, "");
}

TEST_P(Transports, WebRequestPostAndCookies) {
  server.route("/form", answer(200, "OK", {"Set-Cookie: s=2; HttpOnly"}, "done"));
  const HttpResponse got = webRequest(
      transport(), {.url = server.url("/form"), .method = kMethodPost, .bodyText = "名=值", .sendCookies = "s=1; t=1"});
  EXPECT_EQ(got.body, "done");
  EXPECT_EQ(got.receivedCookies, "s=2; t=1");
  const std::vector<RecordedRequest> arrived = server.requests();
  ASSERT_EQ(arrived.size(), 1u);
  const RecordedRequest& r = arrived[0];
  EXPECT_EQ(r.body, "名=值");  // the text's own GBK bytes
  EXPECT_EQ(r.header("Content-Type"), "application/x-www-form-urlencoded");
  EXPECT_EQ(r.header("Cookie"), "s=1; t=1");
}

TEST_P(Transports, WebRequestKeepsTheCookiesOfALongHeaderBlock) {
  // Many ordinary lines rather than one long one: some transports cut a very long line.
  std::vector<std::string> lines;
  for (int i = 0; i < 100; ++i) lines.push_back("X-Padding-" + std::to_string(i) + ": " + std::string(60, 'p'));
  lines.push_back("Set-Cookie: late=1; path=/long");
  server.route("/long", answer(200, "OK", lines, ""));
  const HttpResponse got = webRequest(transport(), {.url = server.url("/long"), .sendCookies = ""});
  EXPECT_EQ(got.statusCode, 200);
  EXPECT_GT(got.receivedHeaders.size(), 6000u);
  EXPECT_EQ(got.receivedCookies, "late=1");
}

INSTANTIATE_TEST_SUITE_P(Loopback, Transports, testing::ValuesIn(transportsOfThisTarget()),
                         [](const testing::TestParamInfo<TransportUnderTest>& info) {
                           return std::string(info.param.name);
                         });

}  // namespace
}  // namespace pv
