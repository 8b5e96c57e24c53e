#pragma once
// The program's two HTTP operations. httpRequest carries every call to the service's API;
// webRequest fetches the global information and its pictures. Both perform one synchronous
// request on the calling thread through the transport they are given, keep no state between
// calls, never throw, and report every failure as the neutral response: empty body, empty
// headers and cookies, status 0.
//
// Texts are GBK. httpRequest sends a text body as UTF-8 (what the service expects of its
// JSON bodies); webRequest sends the text's own bytes.
#include <optional>
#include <string>
#include <string_view>

#include "core/net/http_transport.h"

namespace pv {

// Indexes of the method table; any other index is taken as GET.
inline constexpr int kMethodGet = 0;
inline constexpr int kMethodPost = 1;
inline constexpr int kMethodHead = 2;
inline constexpr int kMethodPut = 3;
inline constexpr int kMethodOptions = 4;
inline constexpr int kMethodDelete = 5;
inline constexpr int kMethodTrace = 6;
inline constexpr int kMethodConnect = 7;

struct HttpRequest {
  std::string url{};
  int method = kMethodGet;
  std::string bodyText{};                    // sent as UTF-8 unless bodyBytes is given
  std::optional<std::string> sendCookies{};  // "a=1; b=2"; a leading "Cookie:" is dropped
  std::string extraHeaders{};                // header lines separated by CR LF
  bool noRedirect = false;
  // When not empty, sent as they are instead of bodyText: a body already in its wire form.
  Bytes bodyBytes{};
  std::string proxy{};                       // "host:port"
  // Bound of each phase in seconds: 1 or more as given, -1 the transport's own bounds,
  // anything else 15.
  int timeoutSeconds = 0;
  std::string proxyUser{};
  std::string proxyPassword{};
  // 1: the credentials answer the proxy, and go with every request as Basic
  // Proxy-Authorization; 0: they answer the server; other values: they are not used.
  int proxyFlag = 1;
  bool autoMergeCookies = true;      // with sendCookies: received = merge(sent, received)
  bool completeHeaders = true;       // add Accept, Referer, Accept-Language, User-Agent, ...
  bool normalizeHeaderNames = true;  // "content-type" goes out as "Content-Type"
};

struct WebRequest {
  std::string url{};  // the scheme may be left out: http is meant
  int method = kMethodGet;
  std::string bodyText{};                    // its bytes as they are; never sent with GET
  // Given (even empty), it keeps the system's cookie store out of the request.
  std::optional<std::string> sendCookies{};
  std::string extraHeaders{};
  bool noRedirect = false;
  Bytes bodyBytes{};                         // when not empty, sent instead of bodyText
  std::string proxy{};
  bool autoMergeCookies = true;
  bool completeHeaders = true;
  bool normalizeHeaderNames = true;
  // Bound of each phase in seconds, as for HttpRequest: the engine must not wait forever.
  int timeoutSeconds = 0;
};

struct HttpResponse {
  std::string body{};             // bytes, empty when nothing was received
  // httpRequest: the header lines without the status line; webRequest: with it. Each line
  // ends in CR LF, and an empty line follows the last.
  std::string receivedHeaders{};
  int statusCode = 0;
  std::string receivedCookies{};  // "a=1; b=2" from the Set-Cookie lines
};

[[nodiscard]] HttpResponse httpRequest(HttpTransport& transport, const HttpRequest& request) noexcept;
[[nodiscard]] HttpResponse webRequest(HttpTransport& transport, const WebRequest& request) noexcept;

// Cookies of `newCookies` followed by those of `oldCookies` whose names they lack, both
// "name=value; name=value" texts; cookies whose value is "deleted" and repeated entries are
// left out.
[[nodiscard]] std::string mergeCookies(std::string_view oldCookies, std::string_view newCookies);

}  // namespace pv
