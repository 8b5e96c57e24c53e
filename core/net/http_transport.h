#pragma once
// The port between the request shaping of httpRequest / webRequest and an HTTP client of
// the platform. The core decides everything the server can observe (method, url, header
// fields, body bytes, agent, proxy, time-outs, redirects); a transport only carries it and
// hands back what came: body bytes, the raw header block and the status.
//
// Adapters: WinHttp (behind httpRequest) and WinInet (behind webRequest) in the product,
// libcurl for both on Linux. Tests may implement the port to record what would be sent.
#include <optional>
#include <string>
#include <vector>

#include "core/net/bytes.h"

namespace pv {

struct HttpHeaderField {
  std::string name{};
  std::string value{};
};

// Whom user name and password answer when the server (401) or the proxy (407) asks.
enum class CredentialTarget { None, Server, Proxy };

struct HttpWireRequest {
  std::string method{};  // "GET", "POST", ...
  std::string url{};     // absolute http:// or https:// url, GBK
  // In the order set; no two fields share a name (letter case ignored); no empty values.
  std::vector<HttpHeaderField> headers;
  Bytes body{};          // an empty body sends none (methods that carry one send length 0)
  std::string agent{};   // default User-Agent, overridden by a User-Agent field; empty: none
  // Bound of each phase (resolve, connect, send, receive) in ms; -1: the transport's own.
  int timeoutMs = -1;
  std::string proxy{};   // "host:port"; empty: no proxy of ours
  std::string user{};
  std::string password{};
  CredentialTarget credentialsFor = CredentialTarget::None;
  bool followRedirects = true;
  // The system's cookie store may add and keep cookies (WinInet's store; other transports
  // keep cookies only within one request, across its redirects).
  bool useCookieStore = false;
};

struct HttpWireResponse {
  std::string body{};        // bytes
  // The status line and the header lines of the last response, each ended by CR LF, and an
  // empty line; GBK. Empty when no response arrived.
  std::string rawHeaders{};
  int status = 0;          // 0 when no response arrived
};

// Whether a response of this status asks for the credentials the request carries: 401 for
// the server's, 407 for the proxy's. Transports answer such a challenge once.
inline bool asksForCredentials(int status, const HttpWireRequest& request) noexcept {
  return (status == 401 && request.credentialsFor == CredentialTarget::Server) ||
         (status == 407 && request.credentialsFor == CredentialTarget::Proxy);
}

// A response body larger than this is refused as a failure rather than held in memory.
inline constexpr size_t kMaxResponseBytes = 64u << 20;

class HttpTransport {
 public:
  virtual ~HttpTransport() = default;

  // Performs one synchronous request on the calling thread. Every failure of the exchange
  // (refused, unreachable, time-out, TLS, broken transfer) gives an empty response with
  // status 0; std::nullopt means the transport could not even be set up, so nothing was
  // attempted. Never throws. Implementations keep no state between calls and may be called
  // from several threads at once.
  [[nodiscard]] virtual std::optional<HttpWireResponse> exchange(
      const HttpWireRequest& request) noexcept = 0;
};

// The platform's transports, defined by the adapters linked into the program: process-wide,
// stateless, callable from any thread. Only app/ wiring and tests call these; core code is
// handed a transport.
HttpTransport& platformHttpTransport() noexcept;  // behind httpRequest
HttpTransport& platformWebTransport() noexcept;   // behind webRequest

}  // namespace pv
