#include "core/net/http_request.h"

#include "core/net/http_shaping.h"
#include "core/system/note_failure.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

int knownMethod(int method) { return method >= 0 && method <= kMethodConnect ? method : kMethodGet; }

HttpResponse responseOf(HttpWireResponse&& got, std::string receivedHeaders,
                        const std::optional<std::string>& sentCookies, bool autoMergeCookies) {
  HttpResponse out;
  out.body = std::move(got.body);
  out.receivedHeaders = std::move(receivedHeaders);
  out.statusCode = got.status;
  out.complete = got.complete;
  out.receivedCookies = cookiesFromHeaders(out.receivedHeaders);
  if (autoMergeCookies && sentCookies) out.receivedCookies = mergeCookies(*sentCookies, out.receivedCookies);
  return out;
}

}  // namespace

HttpResponse httpRequest(HttpTransport& transport, const HttpRequest& request) noexcept {
  try {
    const int method = knownMethod(request.method);
    HttpWireRequest wire;
    wire.method = methodText(method);
    wire.url = request.url;
    wire.timeoutMs = phaseTimeoutMs(request.timeoutSeconds);
    wire.proxy = request.proxy;
    wire.followRedirects = !request.noRedirect;

    std::string headers = request.extraHeaders;
    if (request.completeHeaders) headers = completeHeaderBlock(headers, request.url, method, true);
    if (request.normalizeHeaderNames) headers = normalizeHeaderNames(headers);

    if (!request.proxy.empty() && !request.proxyUser.empty()) {
      wire.user = request.proxyUser;
      wire.password = request.proxyPassword;
      wire.credentialsFor = request.proxyFlag == 1   ? CredentialTarget::Proxy
                            : request.proxyFlag == 0 ? CredentialTarget::Server
                                                     : CredentialTarget::None;
      // Sent with the first request already, so a proxy that never asks still gets them.
      if (request.proxyFlag == 1)
        setHeaderField(wire.headers, "Proxy-Authorization",
                       basicAuthorization(request.proxyUser, request.proxyPassword));
    }

    // Callers may pass a whole "Cookie: ..." line; only the cookies go into the field, and
    // they are what the received cookies are merged with.
    std::optional<std::string> sentCookies = request.sendCookies;
    if (sentCookies && !sentCookies->empty()) {
      if (containsText(toLowerAscii(*sentCookies), "cookie:")) *sentCookies = replaceAll(*sentCookies, "Cookie:", "");
      setHeaderField(wire.headers, "Cookie", *sentCookies);
    }

    addHeaderFields(wire.headers, headers, /*skipKeepAlive=*/true);
    wire.body = !request.bodyBytes.empty() ? request.bodyBytes : Bytes(gbkToUtf8(request.bodyText));

    std::optional<HttpWireResponse> got = transport.exchange(wire);
    if (!got) return {};
    // A body cut short would parse as garbage or, worse, as a shorter valid answer.
    if (!got->complete) got = HttpWireResponse{};
    std::string receivedHeaders = withoutStatusLine(got->rawHeaders);
    return responseOf(std::move(*got), std::move(receivedHeaders), sentCookies, request.autoMergeCookies);
  } catch (...) {
    noteFailure("httpRequest", "request or answer could not be built");
    return {};
  }
}

HttpResponse webRequest(HttpTransport& transport, const WebRequest& request) noexcept {
  try {
    const int method = knownMethod(request.method);
    std::string headers = request.extraHeaders;
    if (request.normalizeHeaderNames) headers = normalizeHeaderNames(headers);

    HttpWireRequest wire;
    wire.method = methodText(method);
    wire.url = engineUrl(engineTarget(request.url));
    wire.agent = engineAgent(headers);
    wire.timeoutMs = phaseTimeoutMs(request.timeoutSeconds);
    wire.proxy = request.proxy;
    wire.followRedirects = !request.noRedirect;
    wire.useCookieStore = !request.sendCookies.has_value();

    if (request.completeHeaders) {
      if (headers.empty()) headers = "Accept: */*";
      // The agent travels apart from the header block.
      headers = completeHeaderBlock(headers, request.url, method, false);
    }
    if (request.sendCookies && !request.sendCookies->empty()) {
      const std::string& cookies = *request.sendCookies;
      headers += containsText(cookies, "Cookie:") ? "\r\n" + cookies : "\r\nCookie: " + cookies;
    }
    addHeaderFields(wire.headers, headers, /*skipKeepAlive=*/false);
    if (method != kMethodGet) wire.body = !request.bodyBytes.empty() ? request.bodyBytes : Bytes(request.bodyText);

    // A transfer cut short keeps what arrived, with its status and headers: the engine
    // hands back whatever it read.
    std::optional<HttpWireResponse> got = transport.exchange(wire);
    if (!got) return {};
    std::string receivedHeaders = got->rawHeaders;
    return responseOf(std::move(*got), std::move(receivedHeaders), request.sendCookies,
                      request.autoMergeCookies);
  } catch (...) {
    noteFailure("webRequest", "request or answer could not be built");
    return {};
  }
}

}  // namespace pv
