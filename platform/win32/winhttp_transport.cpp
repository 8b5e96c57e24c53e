// The transport behind httpRequest: WinHttp's C functions, one session per request.
// (winhttp.h and wininet.h cannot share a translation unit; the engine lives apart.)
#include <windows.h>
#include <winhttp.h>

#include <string>

#include "core/net/http_shaping.h"
#include "core/net/http_transport.h"
#include "core/system/note_failure.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"

namespace pv {
namespace {

struct WinHttpHandleTraits {
  using Raw = HINTERNET;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { WinHttpCloseHandle(h); }
};
using UniqueWinHttp = Unique<WinHttpHandleTraits>;

const wchar_t* orNull(const std::wstring& text) { return text.empty() ? nullptr : text.c_str(); }

bool send(HINTERNET request, const Bytes& body) {
  const auto size = static_cast<DWORD>(body.size());
  void* data = body.empty() ? WINHTTP_NO_REQUEST_DATA : const_cast<char*>(body.data());
  return WinHttpSendRequest(request, WINHTTP_NO_ADDITIONAL_HEADERS, 0, data, size, size, 0) &&
         WinHttpReceiveResponse(request, nullptr);
}

int statusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_STATUS_CODE | WINHTTP_QUERY_FLAG_NUMBER,
                           WINHTTP_HEADER_NAME_BY_INDEX, &status, &size, WINHTTP_NO_HEADER_INDEX))
    return 0;
  return static_cast<int>(status);
}

// When the server (401) or the proxy (407) asks and we hold credentials for it, answer with
// the strongest scheme it offers; true when they were set and the request should go again.
bool answerChallenge(HINTERNET request, int status, const HttpWireRequest& wire) {
  if (!asksForCredentials(status, wire)) return false;
  DWORD supported = 0, first = 0, target = 0;
  if (!WinHttpQueryAuthSchemes(request, &supported, &first, &target)) return false;
  DWORD scheme = 0;
  for (DWORD candidate : {WINHTTP_AUTH_SCHEME_NEGOTIATE, WINHTTP_AUTH_SCHEME_NTLM,
                          WINHTTP_AUTH_SCHEME_DIGEST, WINHTTP_AUTH_SCHEME_BASIC}) {
    if (supported & candidate) {
      scheme = candidate;
      break;
    }
  }
  if (scheme == 0) return false;
  const std::wstring user = toWide(wire.user);
  const std::wstring password = toWide(wire.password);
  return WinHttpSetCredentials(request, target, scheme, user.c_str(), password.c_str(), nullptr);
}

std::string rawHeadersOf(HINTERNET request) {
  DWORD size = 0;
  WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                      WINHTTP_NO_OUTPUT_BUFFER, &size, WINHTTP_NO_HEADER_INDEX);
  if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size == 0 || size > kMaxResponseBytes) return {};
  std::wstring block(size / sizeof(wchar_t) + 1, L'\0');
  DWORD got = static_cast<DWORD>(block.size() * sizeof(wchar_t));
  if (!WinHttpQueryHeaders(request, WINHTTP_QUERY_RAW_HEADERS_CRLF, WINHTTP_HEADER_NAME_BY_INDEX,
                           block.data(), &got, WINHTTP_NO_HEADER_INDEX))
    return {};
  block.resize(got / sizeof(wchar_t));
  return fromWide(block);
}

BodyRead readBody(HINTERNET request, std::string& body) {
  for (;;) {
    DWORD available = 0;
    if (!WinHttpQueryDataAvailable(request, &available)) return BodyRead::Broken;
    if (available == 0) return BodyRead::Whole;
    if (body.size() + available > kMaxResponseBytes) return BodyRead::TooLarge;
    const size_t at = body.size();
    body.resize(at + available);
    DWORD read = 0;
    if (!WinHttpReadData(request, body.data() + at, available, &read)) {
      body.resize(at);
      return BodyRead::Broken;
    }
    body.resize(at + read);
    if (read == 0) return BodyRead::Whole;
  }
}

class WinHttpTransport final : public HttpTransport {
 public:
  std::optional<HttpWireResponse> exchange(const HttpWireRequest& wire) noexcept override {
    try {
      return perform(wire);
    } catch (...) {
      noteFailure("WinHttpTransport::exchange", "transfer failed with an exception");
      return HttpWireResponse{};
    }
  }

 private:
  static std::optional<HttpWireResponse> perform(const HttpWireRequest& wire) {
    const std::wstring agent = toWide(wire.agent);
    const std::wstring proxy = toWide(wire.proxy);
    UniqueWinHttp session(WinHttpOpen(
        orNull(agent), proxy.empty() ? WINHTTP_ACCESS_TYPE_DEFAULT_PROXY : WINHTTP_ACCESS_TYPE_NAMED_PROXY,
        proxy.empty() ? WINHTTP_NO_PROXY_NAME : proxy.c_str(), WINHTTP_NO_PROXY_BYPASS, 0));
    if (!session) return std::nullopt;
    if (const int t = wire.timeoutMs; t > 0) WinHttpSetTimeouts(session.get(), t, t, t, t);

    const std::wstring url = toWide(wire.url);
    URL_COMPONENTS parts{};
    parts.dwStructSize = sizeof parts;
    parts.dwHostNameLength = static_cast<DWORD>(-1);
    parts.dwUrlPathLength = static_cast<DWORD>(-1);
    parts.dwExtraInfoLength = static_cast<DWORD>(-1);
    if (url.empty() || !WinHttpCrackUrl(url.c_str(), 0, 0, &parts)) return HttpWireResponse{};
    const std::wstring host(parts.lpszHostName, parts.dwHostNameLength);
    std::wstring path(parts.lpszUrlPath, parts.dwUrlPathLength);
    path.append(parts.lpszExtraInfo, parts.dwExtraInfoLength);
    const bool secure = parts.nScheme == INTERNET_SCHEME_HTTPS;

    UniqueWinHttp connection(WinHttpConnect(session.get(), host.c_str(), parts.nPort, 0));
    if (!connection) return HttpWireResponse{};
    const std::wstring method = toWide(wire.method);
    // Server certificates are verified: no flag that ignores an unknown authority, a wrong
    // name or an expired date is ever set.
    UniqueWinHttp request(WinHttpOpenRequest(connection.get(), method.c_str(), orNull(path), nullptr,
                                             WINHTTP_NO_REFERER, WINHTTP_DEFAULT_ACCEPT_TYPES,
                                             secure ? WINHTTP_FLAG_SECURE : 0));
    if (!request) return HttpWireResponse{};
    // The wait for the response's headers has a bound of its own (90 s unless set).
    if (DWORD t = static_cast<DWORD>(wire.timeoutMs); wire.timeoutMs > 0)
      WinHttpSetOption(request.get(), WINHTTP_OPTION_RECEIVE_RESPONSE_TIMEOUT, &t, sizeof t);
    if (!wire.followRedirects) {
      DWORD disable = WINHTTP_DISABLE_REDIRECTS;
      WinHttpSetOption(request.get(), WINHTTP_OPTION_DISABLE_FEATURE, &disable, sizeof disable);
    }
    for (const HttpHeaderField& field : wire.headers) {
      const std::wstring line = toWide(field.name + ": " + field.value);
      WinHttpAddRequestHeaders(request.get(), line.c_str(), static_cast<DWORD>(line.size()),
                               WINHTTP_ADDREQ_FLAG_ADD | WINHTTP_ADDREQ_FLAG_REPLACE);
    }

    if (!send(request.get(), wire.body)) return HttpWireResponse{};
    // One answer to a challenge; a second refusal is the response.
    if (answerChallenge(request.get(), statusOf(request.get()), wire) && !send(request.get(), wire.body))
      return HttpWireResponse{};

    HttpWireResponse response;
    response.status = statusOf(request.get());
    response.rawHeaders = rawHeadersOf(request.get());
    const BodyRead read = readBody(request.get(), response.body);
    if (read == BodyRead::TooLarge) return HttpWireResponse{};
    response.complete = read == BodyRead::Whole &&
                        !bodyCutShort(response.rawHeaders, wire.method, response.status, response.body.size());
    return response;
  }
};

}  // namespace

HttpTransport& platformHttpTransport() noexcept {
  static WinHttpTransport transport;
  return transport;
}

}  // namespace pv
