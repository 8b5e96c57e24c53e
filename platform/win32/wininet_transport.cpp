// The transport behind webRequest: WinInet, with its own internet, connection and request
// handles for every request. (winhttp.h and wininet.h cannot share a translation unit.)
#include <windows.h>
#include <wininet.h>

#include <string>

#include "core/net/http_shaping.h"
#include "core/net/http_transport.h"
#include "core/system/note_failure.h"
#include "platform/win32/unique.h"
#include "platform/win32/wide_text.h"

namespace pv {
namespace {

struct InternetHandleTraits {
  using Raw = HINTERNET;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { InternetCloseHandle(h); }
};
using UniqueInternet = Unique<InternetHandleTraits>;

void setTimeouts(HINTERNET handle, int ms) {
  if (ms <= 0) return;
  DWORD value = static_cast<DWORD>(ms);
  for (DWORD option : {INTERNET_OPTION_CONNECT_TIMEOUT, INTERNET_OPTION_SEND_TIMEOUT,
                       INTERNET_OPTION_RECEIVE_TIMEOUT, INTERNET_OPTION_DATA_SEND_TIMEOUT,
                       INTERNET_OPTION_DATA_RECEIVE_TIMEOUT})
    InternetSetOptionW(handle, option, &value, sizeof value);
}

void setText(HINTERNET handle, DWORD option, const std::string& gbk) {
  std::wstring text = toWide(gbk);
  InternetSetOptionW(handle, option, text.data(), static_cast<DWORD>(text.size()));
}

// Server certificates are verified: of the security flags only those that let a redirect
// cross between http and https are added, and revocation is left unchecked as WinHttp
// leaves it. No flag that ignores an unknown authority, a wrong name or an expired date.
void allowRedirectsAcrossSchemes(HINTERNET request) {
  DWORD flags = 0;
  DWORD size = sizeof flags;
  if (!InternetQueryOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, &size)) flags = 0;
  flags |= SECURITY_FLAG_IGNORE_REVOCATION | SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTP |
           SECURITY_FLAG_IGNORE_REDIRECT_TO_HTTPS;
  InternetSetOptionW(request, INTERNET_OPTION_SECURITY_FLAGS, &flags, sizeof flags);
}

int statusOf(HINTERNET request) {
  DWORD status = 0;
  DWORD size = sizeof status;
  if (!HttpQueryInfoW(request, HTTP_QUERY_STATUS_CODE | HTTP_QUERY_FLAG_NUMBER, &status, &size, nullptr))
    return 0;
  return static_cast<int>(status);
}

// The whole raw block, however long: a fixed buffer would lose the cookies of a long one.
std::string rawHeadersOf(HINTERNET request) {
  std::wstring block(2500, L'\0');
  DWORD size = static_cast<DWORD>(block.size() * sizeof(wchar_t));
  if (!HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &size, nullptr)) {
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || size > kMaxResponseBytes) return {};
    block.assign(size / sizeof(wchar_t) + 1, L'\0');
    size = static_cast<DWORD>(block.size() * sizeof(wchar_t));
    if (!HttpQueryInfoW(request, HTTP_QUERY_RAW_HEADERS_CRLF, block.data(), &size, nullptr)) return {};
  }
  block.resize(size / sizeof(wchar_t));
  return fromWide(block);
}

BodyRead readBody(HINTERNET request, std::string& body) {
  char buffer[16384];
  for (;;) {
    DWORD read = 0;
    if (!InternetReadFile(request, buffer, sizeof buffer, &read)) return BodyRead::Broken;
    if (read == 0) return BodyRead::Whole;
    if (body.size() + read > kMaxResponseBytes) return BodyRead::TooLarge;
    body.append(buffer, read);
  }
}

bool send(HINTERNET request, const std::wstring& headers, const Bytes& body) {
  void* data = body.empty() ? nullptr : const_cast<char*>(body.data());
  return HttpSendRequestW(request, headers.empty() ? nullptr : headers.c_str(),
                          static_cast<DWORD>(headers.size()), data, static_cast<DWORD>(body.size()));
}

class WinInetTransport final : public HttpTransport {
 public:
  std::optional<HttpWireResponse> exchange(const HttpWireRequest& wire) noexcept override {
    try {
      return perform(wire);
    } catch (...) {
      noteFailure("WinInetTransport::exchange", "transfer failed with an exception");
      return HttpWireResponse{};
    }
  }

 private:
  static std::optional<HttpWireResponse> perform(const HttpWireRequest& wire) {
    const EngineTarget target = engineTarget(wire.url);
    const std::wstring agent = toWide(wire.agent);
    // For a plain url the proxy is named for http only, as the engine's proxy list wants it.
    const std::wstring proxy = toWide(wire.proxy.empty() || target.secure ? wire.proxy : "http=" + wire.proxy);
    UniqueInternet internet(proxy.empty()
        ? InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_DIRECT, nullptr, nullptr, 0)
        : InternetOpenW(agent.c_str(), INTERNET_OPEN_TYPE_PROXY, proxy.c_str(), L"", 0));
    if (!internet) return std::nullopt;
    setTimeouts(internet.get(), wire.timeoutMs);

    const std::wstring host = toWide(target.host);
    UniqueInternet connection(InternetConnectW(internet.get(), host.c_str(),
                                               static_cast<INTERNET_PORT>(target.port), nullptr,
                                               nullptr, INTERNET_SERVICE_HTTP, 0, 0));
    if (!connection) return std::nullopt;

    DWORD flags = INTERNET_FLAG_RELOAD | INTERNET_FLAG_NEED_FILE;
    if (!wire.useCookieStore) flags |= INTERNET_FLAG_NO_COOKIES;
    if (!wire.followRedirects) flags |= INTERNET_FLAG_NO_AUTO_REDIRECT;
    flags |= target.secure ? INTERNET_FLAG_SECURE : INTERNET_FLAG_IGNORE_REDIRECT_TO_HTTPS;
    const std::wstring method = toWide(wire.method);
    const std::wstring path = toWide(target.path);
    UniqueInternet request(HttpOpenRequestW(connection.get(), method.c_str(), path.c_str(), L"HTTP/1.1",
                                            nullptr, nullptr, flags, 0));
    if (!request) return std::nullopt;
    allowRedirectsAcrossSchemes(request.get());
    setTimeouts(request.get(), wire.timeoutMs);
    if (wire.credentialsFor == CredentialTarget::Proxy) {
      setText(request.get(), INTERNET_OPTION_PROXY_USERNAME, wire.user);
      setText(request.get(), INTERNET_OPTION_PROXY_PASSWORD, wire.password);
    } else if (wire.credentialsFor == CredentialTarget::Server) {
      setText(request.get(), INTERNET_OPTION_USERNAME, wire.user);
      setText(request.get(), INTERNET_OPTION_PASSWORD, wire.password);
    }

    std::string block;
    for (const HttpHeaderField& field : wire.headers) block += field.name + ": " + field.value + "\r\n";
    const std::wstring headers = toWide(block);
    if (!send(request.get(), headers, wire.body)) return HttpWireResponse{};
    // The credentials set above answer one challenge when the request goes again.
    if (asksForCredentials(statusOf(request.get()), wire)) {
      std::string drained;
      readBody(request.get(), drained);
      if (!send(request.get(), headers, wire.body)) return HttpWireResponse{};
    }

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

HttpTransport& platformWebTransport() noexcept {
  static WinInetTransport transport;
  return transport;
}

}  // namespace pv
