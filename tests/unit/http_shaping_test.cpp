// Request shaping of httpRequest and webRequest, seen through a transport that records the
// request it is asked to carry and answers with a scripted response.
#include <gtest/gtest.h>

#include <climits>

#include "core/net/http_request.h"
#include "core/net/http_shaping.h"
#include "tests/unit/utf8_literal.h"

namespace pv {
namespace {

constexpr std::string_view kAgent = "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

class RecordingTransport final : public HttpTransport {
 public:
  std::optional<HttpWireResponse> answer = HttpWireResponse{"ok", "HTTP/1.1 200 OK\r\n\r\n", 200};
  HttpWireRequest sent;
  int calls = 0;

  std::optional<HttpWireResponse> exchange(const HttpWireRequest& request) noexcept override {
    sent = request;
    ++calls;
    return answer;
  }
};

// "Name: value" lines of the fields, in order, one per line.
std::string fieldsOf(const HttpWireRequest& request) {
  std::string out;
  for (const auto& f : request.headers) out += f.name + ": " + f.value + "\n";
  return out;
}

TEST(HttpShaping, MethodTableTakesUnknownIndexesAsGet) {
  const std::pair<int, std::string_view> cases[] = {
      {0, "GET"},     {1, "POST"},   {2, "HEAD"},  {3, "PUT"},     {4, "OPTIONS"},
      {5, "DELETE"},  {6, "TRACE"},  {7, "CONNECT"}, {8, "GET"},   {-1, "GET"},
      {INT_MIN, "GET"}, {INT_MAX, "GET"},
  };
  for (const auto& [index, method] : cases) EXPECT_EQ(methodText(index), method) << index;
}

TEST(HttpShaping, PhaseTimeouts) {
  const std::pair<int, int> cases[] = {
      {0, 15000}, {-1, -1}, {2, 2000}, {1, 1000}, {-2, 15000}, {INT_MIN, 15000},
      {120, 120000}, {INT_MAX, 2147483000},  // capped rather than overflowing
  };
  for (const auto& [seconds, ms] : cases) EXPECT_EQ(phaseTimeoutMs(seconds), ms) << seconds;
}

TEST(HttpShaping, HeaderCompletionAddsOnlyWhatIsMissing) {
  const std::string ua = std::string("\r\nUser-Agent: ") + std::string(kAgent);
  struct Case {
    const char* name;
    std::string headers;
    int method;
    bool userAgent;
    std::string want;
  };
  const Case cases[] = {
      {"empty GET", "", kMethodGet, true,
       "\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn" + ua},
      {"json POST keeps its content type whatever its letter case",
       "content-type: application/json", kMethodPost, true,
       "content-type: application/json\r\nAccept: */*\r\nReferer: http://h/p"
       "\r\nAccept-Language: zh-cn" + ua},
      {"POST without a content type gets the form type", "", kMethodPost, false,
       "\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"
       "\r\nContent-Type: application/x-www-form-urlencoded"},
      {"Accept-Language does not count as Accept", "Accept-Language: en", kMethodGet, false,
       "Accept-Language: en\r\nAccept: */*\r\nReferer: http://h/p"},
      {"caller's own values stay", "ACCEPT: text/html\r\nREFERER: x\r\nuser-agent: me", kMethodGet, true,
       "ACCEPT: text/html\r\nREFERER: x\r\nuser-agent: me\r\nAccept-Language: zh-cn"},
      {"form type only for POST", "", kMethodPut, false,
       "\r\nAccept: */*\r\nReferer: http://h/p\r\nAccept-Language: zh-cn"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(completeHeaderBlock(c.headers, "http://h/p", c.method, c.userAgent), c.want) << c.name;
}

TEST(HttpShaping, HeaderNamesAreNormalisedLineByLine) {
  const std::pair<std::string, std::string> cases[] = {
      {"content-type: application/json", "Content-Type: application/json"},
      {"x-my-header:a-b-c", "X-My-Header:a-b-c"},            // the value is left alone
      {"eTag: x", "ETag: x"},                                // only first letters change
      {"a--b: 1", "A--B: 1"},
      {"referer: http://a/b:c", "Referer: http://a/b:c"},    // name ends at the first colon
      {"no colon here\r\naccept: */*", "Accept: */*"},
      {"\r\naccept: */*\r\n\r\nhost: h\r\n", "Accept: */*\r\nHost: h"},
      {"中文-abc: 值", "中文-Abc: 值"},
      {"", ""},
  };
  for (const auto& [in, want] : cases) EXPECT_EQ(normalizeHeaderNames(in), want) << in;
}

TEST(HttpShaping, HeaderFieldsFromABlock) {
  struct Case {
    const char* name;
    std::string block;
    bool skipKeepAlive;
    std::string want;
  };
  const Case cases[] = {
      {"names and values trimmed", " A : 1 \r\nB:2", true, "A: 1\nB: 2\n"},
      {"keep-alive is left to the transport", "Connection: keep-alive\r\nA: 1", true, "A: 1\n"},
      {"close is passed on", "Connection: close\r\nA: 1", true, "Connection: close\nA: 1\n"},
      {"keep-alive compared exactly", "Connection: Keep-Alive\r\nA: 1", true,
       "Connection: Keep-Alive\nA: 1\n"},
      {"a single line is not checked", "Connection: keep-alive", true, "Connection: keep-alive\n"},
      {"the engine passes keep-alive", "Connection: keep-alive\r\nA: 1", false,
       "Connection: keep-alive\nA: 1\n"},
      {"a later field of the same name replaces the earlier", "a: 1\r\nB: 2\r\nA: 3", true,
       "A: 3\nB: 2\n"},
      {"an empty value removes the field", "A: 1\r\nB: 2\r\na:", true, "B: 2\n"},
      {"a line without colon sets nothing", "junk\r\n\r\nA: 1", true, "A: 1\n"},
      {"value keeps its colons", "Referer: http://h:1/", true, "Referer: http://h:1/\n"},
  };
  for (const auto& c : cases) {
    HttpWireRequest request;
    addHeaderFields(request.headers, c.block, c.skipKeepAlive);
    EXPECT_EQ(fieldsOf(request), c.want) << c.name;
  }
}

TEST(HttpShaping, BasicAuthorizationOfGbkBytes) {
  EXPECT_EQ(basicAuthorization("user", "pass"), "Basic dXNlcjpwYXNz");
  EXPECT_EQ(basicAuthorization("a", ""), "Basic YTo=");
  EXPECT_EQ(basicAuthorization("中", "x"), "Basic 1tA6eA==");  // D6 D0 ':' 'x'
}

TEST(HttpShaping, CookiesFromSetCookieLines) {
  const std::pair<std::string, std::string> cases[] = {
      {"HTTP/1.1 200 OK\r\nSet-Cookie: a=1; path=/\r\nSet-Cookie: b=2\r\n\r\n", "a=1; b=2"},
      {"Set-Cookie: sid=x%3B; HttpOnly; Secure\r\n", "sid=x%3B"},
      {"set-cookie: a=1\r\nSET-COOKIE: b=2\r\n", ""},           // the name is compared exactly
      {"Set-Cookie:a=1\r\n", ""},                               // no ": " after the name
      {"X-Set-Cookie: a=1\r\nContent-Type: text/plain\r\n", ""},
      {"Set-Cookie: ; path=/\r\nSet-Cookie: c=3\r\n", "c=3"},   // an empty cookie adds nothing
      {"", ""},
  };
  for (const auto& [headers, want] : cases) EXPECT_EQ(cookiesFromHeaders(headers), want) << headers;
}

TEST(HttpShaping, MergeCookies) {
  struct Case {
    const char* name;
    std::string oldCookies, newCookies, want;
  };
  const Case cases[] = {
      {"new values first, old names carried over, deleted dropped", "a=1; b=2", "b=3; c=deleted",
       "b=3; a=1"},
      {"nothing old", "", "a=1; b=2", "a=1; b=2"},
      {"nothing new", "a=1; b=2", "", "a=1; b=2"},
      {"a trailing semicolon is no cookie", "a=1;", "b=2;", "b=2; a=1"},
      {"deleting an old cookie", "a=1; b=2", "a=deleted", "b=2"},
      {"an old deleted cookie stays dropped", "a=deleted", "", ""},
      {"repeated entries kept once", "x=1; x=1", "y=3; y=3", "y=3; x=1"},
      {"same name, two new values: both kept", "", "a=1; a=2", "a=1; a=2"},
      {"names are trimmed", "sid=abc", "sid =def", "sid =def"},
      {"a cookie without = is named by itself", "flag; b=2", "flag", "flag; b=2"},
      {"names are case-sensitive", "A=1", "a=2", "a=2; A=1"},
      {"outer blanks trimmed", "  a=1  ", "\r\nb=2\r\n", "b=2; a=1"},
      {"both empty", "", "", ""},
  };
  for (const auto& c : cases) EXPECT_EQ(mergeCookies(c.oldCookies, c.newCookies), c.want) << c.name;
}

TEST(HttpShaping, BodyCutShortOfItsContentLength) {
  struct Case {
    const char* name;
    std::string headers, method;
    int status;
    size_t received;
    bool cut;
  };
  const std::string block = "HTTP/1.1 200 OK\r\nContent-Length: 10\r\n\r\n";
  const Case cases[] = {
      {"short", block, "GET", 200, 4, true},
      {"whole", block, "GET", 200, 10, false},
      {"nothing of it", block, "POST", 200, 0, true},
      {"name in any case, blanks around the value", "HTTP/1.1 200 OK\r\ncontent-LENGTH:  10 \r\n\r\n", "GET", 200, 9, true},
      {"no length: read to the close", "HTTP/1.1 200 OK\r\nConnection: close\r\n\r\n", "GET", 200, 0, false},
      {"a length that is no number", "HTTP/1.1 200 OK\r\nContent-Length: ten\r\n\r\n", "GET", 200, 0, false},
      {"HEAD has no body", block, "HEAD", 200, 0, false},
      {"204 has no body", block, "GET", 204, 0, false},
      {"304 has no body", block, "GET", 304, 0, false},
  };
  for (const auto& c : cases) EXPECT_EQ(bodyCutShort(c.headers, c.method, c.status, c.received), c.cut) << c.name;
}

TEST(HttpShaping, EngineTargetFromTheUrl) {
  struct Case {
    std::string url, host;
    int port;
    std::string path;
    bool secure;
  };
  const Case cases[] = {
      {"http://Example.COM:8080/Path/To?Q=Ab", "example.com", 8080, "/Path/To?Q=Ab", false},
      {"example.com/a", "example.com", 80, "/a", false},
      {"Example.com", "example.com", 80, "/", false},
      {"https://Secure.Example.com/X", "secure.example.com", 443, "/X", true},
      {"HTTPS://a.com:8443", "a.com", 8443, "/", true},
      {"http://h/", "h", 80, "/", false},                 // "h" is not looked for in "http"
      {"http://a.com?x=1", "a.com", 80, "/?x=1", false},
      {"http://a.com:notaport/x", "a.com:notaport", 80, "/x", false},
      {"http://a.com:0/x", "a.com:0", 80, "/x", false},
      {"https://a.com:65536", "a.com:65536", 443, "/", true},
      {"http://a.com:65535/x", "a.com", 65535, "/x", false},
      {"::::2:0", "::::2:0", 80, "/", false},  // rebuilt, it must not name host "::::" and port 2
      {"", "", 80, "/", false},
  };
  for (const auto& c : cases) {
    const EngineTarget t = engineTarget(c.url);
    EXPECT_EQ(t.host, c.host) << c.url;
    EXPECT_EQ(t.port, c.port) << c.url;
    EXPECT_EQ(t.path, c.path) << c.url;
    EXPECT_EQ(t.secure, c.secure) << c.url;
  }
  // Read back, every rebuilt url names the same target, also when the host holds a colon.
  const struct {
    const char* url;
    const char* rebuilt;
  } rebuilt[] = {
      {"HTTP://Example.com:8080/P?Q", "http://example.com:8080/P?Q"},
      {"https://a.com:443/x", "https://a.com/x"},
      {"::::2:0", "http://::::2:0:80/"},
      {"a:8:80", "http://a:8:80/"},
      {"https://a:8:443/x", "https://a:8:443/x"},
      {"http://a:b/x", "http://a:b:80/x"},
  };
  for (const auto& c : rebuilt) {
    const EngineTarget first = engineTarget(c.url);
    EXPECT_EQ(engineUrl(first), c.rebuilt) << c.url;
    const EngineTarget again = engineTarget(engineUrl(first));
    EXPECT_EQ(again.host, first.host) << c.url;
    EXPECT_EQ(again.port, first.port) << c.url;
    EXPECT_EQ(again.path, first.path) << c.url;
  }
}

TEST(HttpShaping, EngineAgent) {
  EXPECT_EQ(engineAgent("Accept: */*\r\nuser-agent:  Probe/1.0 \r\nX: y"), "Probe/1.0");
  EXPECT_EQ(engineAgent("User-Agent: Probe/2.0"), "Probe/2.0");
  EXPECT_EQ(engineAgent("Accept: */*"), kAgent);
  EXPECT_EQ(engineAgent("User-Agent:\r\nX: y"), kAgent);  // an empty agent is none
}

TEST(HttpRequest, JsonPostAsTheServiceCallsAreMade) {
  RecordingTransport transport;
  const HttpResponse got = httpRequest(
      transport, {.url = "http://h/api/v2/pub/auth",
                  .method = kMethodPost,
                  .bodyText = "{\"name\":\"张三\"}",
                  .extraHeaders = "content-type: application/json"});
  EXPECT_EQ(transport.sent.method, "POST");
  EXPECT_EQ(transport.sent.url, "http://h/api/v2/pub/auth");
  EXPECT_EQ(fieldsOf(transport.sent),
            "Content-Type: application/json\n"
            "Accept: */*\n"
            "Referer: http://h/api/v2/pub/auth\n"
            "Accept-Language: zh-cn\n"
            "User-Agent: " + std::string(kAgent) + "\n");
  EXPECT_EQ(transport.sent.body.view(), utf8Text(u8"{\"name\":\"张三\"}"));
  EXPECT_EQ(transport.sent.timeoutMs, 15000);
  EXPECT_TRUE(transport.sent.followRedirects);
  EXPECT_EQ(transport.sent.credentialsFor, CredentialTarget::None);
  EXPECT_EQ(got.body, "ok");
  EXPECT_EQ(got.statusCode, 200);
}

TEST(HttpRequest, WithoutCompletionOrNormalisationTheCallerHeadersGoAsGiven) {
  RecordingTransport transport;
  (void)httpRequest(transport, {.url = "http://h/",
                                .method = 9,
                                .extraHeaders = "x-a: 1",
                                .timeoutSeconds = -1,
                                .completeHeaders = false,
                                .normalizeHeaderNames = false});
  EXPECT_EQ(transport.sent.method, "GET");
  EXPECT_EQ(fieldsOf(transport.sent), "x-a: 1\n");
  EXPECT_EQ(transport.sent.timeoutMs, -1);
}

TEST(HttpRequest, BytesGoInsteadOfTextAndUnchanged) {
  RecordingTransport transport;
  const std::string bytes("\x00\xFF\xD6\xD0z", 5);
  (void)httpRequest(transport, {.url = "http://h/", .method = kMethodPut, .bodyText = "text",
                                .bodyBytes = Bytes(bytes), .timeoutSeconds = 2});
  EXPECT_EQ(transport.sent.method, "PUT");
  EXPECT_EQ(transport.sent.body.view(), bytes);
  EXPECT_EQ(transport.sent.timeoutMs, 2000);
}

TEST(HttpRequest, CookiesGoOutAndComeBackMerged) {
  RecordingTransport transport;
  transport.answer = HttpWireResponse{
      "", "HTTP/1.1 200 OK\r\nSet-Cookie: b=3; path=/\r\nSet-Cookie: c=deleted\r\n\r\n", 200};
  const HttpResponse got =
      httpRequest(transport, {.url = "http://h/", .sendCookies = "Cookie: a=1; b=2"});
  EXPECT_EQ(fieldsOf(transport.sent).substr(0, 16), "Cookie: a=1; b=2");
  EXPECT_EQ(got.receivedCookies, "b=3; a=1");
  // The header block comes without its status line.
  EXPECT_EQ(got.receivedHeaders, "Set-Cookie: b=3; path=/\r\nSet-Cookie: c=deleted\r\n\r\n");

  const HttpResponse unmerged = httpRequest(
      transport, {.url = "http://h/", .sendCookies = "a=1", .autoMergeCookies = false});
  // Only a merge leaves out what the server deleted.
  EXPECT_EQ(unmerged.receivedCookies, "b=3; c=deleted");
  const HttpResponse notGiven = httpRequest(transport, {.url = "http://h/"});
  EXPECT_EQ(notGiven.receivedCookies, "b=3; c=deleted");
  EXPECT_EQ(fieldsOf(transport.sent).find("Cookie"), std::string::npos);
}

TEST(HttpRequest, ProxyCredentials) {
  RecordingTransport transport;
  (void)httpRequest(transport, {.url = "http://h/", .proxy = "10.0.0.1:3128",
                                .proxyUser = "user", .proxyPassword = "pass"});
  EXPECT_EQ(transport.sent.proxy, "10.0.0.1:3128");
  EXPECT_EQ(transport.sent.credentialsFor, CredentialTarget::Proxy);
  EXPECT_EQ(transport.sent.user, "user");
  EXPECT_EQ(transport.sent.password, "pass");
  EXPECT_EQ(fieldsOf(transport.sent).substr(0, 40), "Proxy-Authorization: Basic dXNlcjpwYXNz\n");

  (void)httpRequest(transport, {.url = "http://h/", .proxy = "p:1", .proxyUser = "u", .proxyFlag = 0});
  EXPECT_EQ(transport.sent.credentialsFor, CredentialTarget::Server);
  EXPECT_EQ(fieldsOf(transport.sent).find("Proxy-Authorization"), std::string::npos);

  (void)httpRequest(transport, {.url = "http://h/", .proxyUser = "u", .proxyPassword = "p"});
  EXPECT_EQ(transport.sent.credentialsFor, CredentialTarget::None);  // no proxy, no credentials
  EXPECT_EQ(fieldsOf(transport.sent).find("Proxy-Authorization"), std::string::npos);
}

TEST(HttpRequest, FailuresGiveTheNeutralResponse) {
  RecordingTransport transport;
  transport.answer = HttpWireResponse{};  // the exchange failed
  const HttpResponse failed = httpRequest(transport, {.url = "http://h/", .sendCookies = "a=1"});
  EXPECT_EQ(failed.body, "");
  EXPECT_EQ(failed.receivedHeaders, "");
  EXPECT_EQ(failed.statusCode, 0);
  EXPECT_EQ(failed.receivedCookies, "a=1");  // nothing new: the sent cookies stand

  transport.answer = std::nullopt;  // no request could be made at all
  const HttpResponse none = httpRequest(transport, {.url = "http://h/", .sendCookies = "a=1"});
  EXPECT_EQ(none.receivedCookies, "");
  EXPECT_EQ(none.statusCode, 0);
}

TEST(WebRequest, DefaultsAsTheGlobalInformationIsFetched) {
  RecordingTransport transport;
  transport.answer = HttpWireResponse{"img", "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\n\r\n", 200};
  const HttpResponse got =
      webRequest(transport, {.url = "HTTP://Example.COM:8080/Pics/A.png?V=1", .bodyText = "never"});
  EXPECT_EQ(transport.sent.method, "GET");
  EXPECT_EQ(transport.sent.url, "http://example.com:8080/Pics/A.png?V=1");
  EXPECT_EQ(fieldsOf(transport.sent),
            "Accept: */*\nReferer: HTTP://Example.COM:8080/Pics/A.png?V=1\nAccept-Language: zh-cn\n");
  EXPECT_EQ(transport.sent.agent, kAgent);
  EXPECT_EQ(transport.sent.body.view(), "");  // a GET carries no body
  EXPECT_TRUE(transport.sent.useCookieStore);
  EXPECT_EQ(got.body, "img");
  EXPECT_EQ(got.receivedHeaders, "HTTP/1.1 200 OK\r\nSet-Cookie: s=1\r\n\r\n");  // status line kept
  EXPECT_EQ(got.receivedCookies, "s=1");
}

TEST(WebRequest, PostSendsTheTextsOwnBytes) {
  RecordingTransport transport;
  (void)webRequest(transport, {.url = "https://h/form", .method = kMethodPost, .bodyText = "名=值"});
  EXPECT_EQ(transport.sent.url, "https://h/form");
  EXPECT_EQ(transport.sent.body.view(), "名=值");  // GBK, not converted
  EXPECT_NE(fieldsOf(transport.sent).find("Content-Type: application/x-www-form-urlencoded\n"),
            std::string::npos);
}

TEST(WebRequest, CookiesAgentAndSwitches) {
  RecordingTransport transport;
  transport.answer = HttpWireResponse{"", "HTTP/1.1 302 Found\r\nSet-Cookie: b=3\r\n\r\n", 302};
  const HttpResponse got = webRequest(
      transport, {.url = "h/x", .sendCookies = "a=1; b=2",
                  .extraHeaders = "user-agent: Probe/1.0\r\nx-a: 1",
                  .noRedirect = true, .timeoutSeconds = 3});
  EXPECT_EQ(transport.sent.agent, "Probe/1.0");
  EXPECT_EQ(fieldsOf(transport.sent),
            "User-Agent: Probe/1.0\nX-A: 1\nAccept: */*\nReferer: h/x\nAccept-Language: zh-cn\n"
            "Cookie: a=1; b=2\n");
  EXPECT_FALSE(transport.sent.useCookieStore);
  EXPECT_FALSE(transport.sent.followRedirects);
  EXPECT_EQ(transport.sent.timeoutMs, 3000);
  EXPECT_EQ(got.statusCode, 302);
  EXPECT_EQ(got.receivedCookies, "b=3; a=1");

  (void)webRequest(transport, {.url = "h/x", .sendCookies = "Cookie: z=9", .completeHeaders = false});
  EXPECT_EQ(fieldsOf(transport.sent), "Cookie: z=9\n");
  // Given but empty, the cookies still keep the store out.
  (void)webRequest(transport, {.url = "h/x", .sendCookies = ""});
  EXPECT_FALSE(transport.sent.useCookieStore);
}

}  // namespace
}  // namespace pv
