// libcurl stands in for both of the product's transports on Linux, so that the request
// shaping and the service's flows can be tested natively against loopback servers.
#include <curl/curl.h>

#include <chrono>
#include <memory>

#include "core/net/http_transport.h"
#include "core/system/note_failure.h"

namespace pv {
namespace {

using Clock = std::chrono::steady_clock;

// The request object's own bounds, used when a caller leaves the time-outs to the
// transport: connect 60 s, send and receive 30 s each.
constexpr long kDefaultConnectMs = 60000;
constexpr long kDefaultIdleMs = 30000;

struct EasyDeleter {
  void operator()(CURL* h) const noexcept { curl_easy_cleanup(h); }
};
struct ListDeleter {
  void operator()(curl_slist* l) const noexcept { curl_slist_free_all(l); }
};
using Easy = std::unique_ptr<CURL, EasyDeleter>;
using HeaderList = std::unique_ptr<curl_slist, ListDeleter>;

struct Transfer {
  std::string body;
  std::string headers;
  bool tooLarge = false;
  // curl has no bound on a single read or write; a transfer that moves no byte for longer
  // than this is ended, like a receive time-out of the platform's transports.
  Clock::duration idleBound{};
  Clock::time_point lastProgress = Clock::now();
  curl_off_t lastBytes = -1;
};

size_t onBody(char* data, size_t size, size_t count, void* user) noexcept {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  if (t->body.size() + n > kMaxResponseBytes) {
    t->tooLarge = true;
    return 0;  // ends the transfer with an error
  }
  try {
    t->body.append(data, n);
  } catch (...) {
    noteFailure("onBody", "body could not be kept: transfer ended");
    return 0;
  }
  return n;
}

size_t onHeader(char* data, size_t size, size_t count, void* user) noexcept {
  auto* t = static_cast<Transfer*>(user);
  const size_t n = size * count;
  try {
    std::string_view line(data, n);
    // Every response of a redirect chain, a proxy tunnel or an interim 100 starts with its
    // status line; only the last response's block is kept.
    if (line.substr(0, 5) == "HTTP/") t->headers.clear();
    if (t->headers.size() + n > kMaxResponseBytes) return 0;
    t->headers.append(line);
  } catch (...) {
    noteFailure("onHeader", "headers could not be kept: transfer ended");
    return 0;
  }
  return n;
}

int onProgress(void* user, curl_off_t dlTotal, curl_off_t dlNow, curl_off_t ulTotal,
               curl_off_t ulNow) noexcept {
  (void)dlTotal;
  (void)ulTotal;
  auto* t = static_cast<Transfer*>(user);
  const curl_off_t bytes = dlNow + ulNow;
  const auto now = Clock::now();
  if (bytes != t->lastBytes) {
    t->lastBytes = bytes;
    t->lastProgress = now;
    return 0;
  }
  return now - t->lastProgress > t->idleBound ? 1 : 0;
}

void ensureCurlInitialised() {
  // Must happen once before any thread uses curl; a function-local static is thread-safe.
  static const bool initialised = curl_global_init(CURL_GLOBAL_DEFAULT) == CURLE_OK;
  (void)initialised;
}

bool hasField(const HttpWireRequest& request, std::string_view lowerName) {
  for (const HttpHeaderField& field : request.headers) {
    if (field.name.size() != lowerName.size()) continue;
    bool same = true;
    for (size_t i = 0; i < lowerName.size() && same; ++i) {
      char c = field.name[i];
      if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
      same = c == lowerName[i];
    }
    if (same) return true;
  }
  return false;
}

HeaderList headerListOf(const HttpWireRequest& request) {
  curl_slist* list = nullptr;
  auto add = [&list](const std::string& line) {
    if (curl_slist* grown = curl_slist_append(list, line.c_str())) list = grown;
  };
  for (const HttpHeaderField& field : request.headers) add(field.name + ": " + field.value);
  // curl would add fields of its own that the platform's transports do not send; an empty
  // field keeps each of them out.
  if (!hasField(request, "accept")) add("Accept:");
  if (!hasField(request, "content-type")) add("Content-Type:");
  if (!hasField(request, "expect")) add("Expect:");
  return HeaderList(list);
}

class CurlTransport final : public HttpTransport {
 public:
  std::optional<HttpWireResponse> exchange(const HttpWireRequest& request) noexcept override {
    try {
      return perform(request);
    } catch (...) {
      noteFailure("CurlTransport::exchange", "transfer failed with an exception");
      return HttpWireResponse{};
    }
  }

 private:
  static std::optional<HttpWireResponse> perform(const HttpWireRequest& request) {
    ensureCurlInitialised();
    Easy easy(curl_easy_init());
    if (!easy) return std::nullopt;
    CURL* h = easy.get();

    Transfer transfer;
    const long phaseMs = request.timeoutMs < 0 ? -1 : request.timeoutMs;
    transfer.idleBound = std::chrono::milliseconds(phaseMs < 0 ? kDefaultIdleMs : phaseMs);

    curl_easy_setopt(h, CURLOPT_URL, request.url.c_str());
    curl_easy_setopt(h, CURLOPT_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_REDIR_PROTOCOLS_STR, "http,https");
    curl_easy_setopt(h, CURLOPT_HTTP_VERSION, static_cast<long>(CURL_HTTP_VERSION_1_1));
    curl_easy_setopt(h, CURLOPT_NOSIGNAL, 1L);
    // Server certificates are verified: a screening service that cannot prove who it is
    // gets no addresses.
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYPEER, 1L);
    curl_easy_setopt(h, CURLOPT_SSL_VERIFYHOST, 2L);

    curl_easy_setopt(h, CURLOPT_CONNECTTIMEOUT_MS, phaseMs < 0 ? kDefaultConnectMs : phaseMs);
    curl_easy_setopt(h, CURLOPT_NOPROGRESS, 0L);
    curl_easy_setopt(h, CURLOPT_XFERINFOFUNCTION, onProgress);
    curl_easy_setopt(h, CURLOPT_XFERINFODATA, &transfer);
    curl_easy_setopt(h, CURLOPT_WRITEFUNCTION, onBody);
    curl_easy_setopt(h, CURLOPT_WRITEDATA, &transfer);
    curl_easy_setopt(h, CURLOPT_HEADERFUNCTION, onHeader);
    curl_easy_setopt(h, CURLOPT_HEADERDATA, &transfer);

    // An empty proxy text also keeps the environment's proxy variables out.
    curl_easy_setopt(h, CURLOPT_PROXY, request.proxy.c_str());
    if (request.credentialsFor == CredentialTarget::Proxy) {
      curl_easy_setopt(h, CURLOPT_PROXYUSERNAME, request.user.c_str());
      curl_easy_setopt(h, CURLOPT_PROXYPASSWORD, request.password.c_str());
      curl_easy_setopt(h, CURLOPT_PROXYAUTH, CURLAUTH_ANY);
    } else if (request.credentialsFor == CredentialTarget::Server) {
      curl_easy_setopt(h, CURLOPT_USERNAME, request.user.c_str());
      curl_easy_setopt(h, CURLOPT_PASSWORD, request.password.c_str());
      curl_easy_setopt(h, CURLOPT_HTTPAUTH, CURLAUTH_ANY);
    }

    curl_easy_setopt(h, CURLOPT_FOLLOWLOCATION, request.followRedirects ? 1L : 0L);
    curl_easy_setopt(h, CURLOPT_MAXREDIRS, 10L);
    if (!request.agent.empty()) curl_easy_setopt(h, CURLOPT_USERAGENT, request.agent.c_str());
    HeaderList headers = headerListOf(request);
    curl_easy_setopt(h, CURLOPT_HTTPHEADER, headers.get());

    // GET and POST through their own options, so that a redirect after a POST turns into a
    // GET as with the platform's transports; other methods keep their name.
    const std::string& method = request.method;
    // Methods other than GET and HEAD always carry a body, if only of length 0.
    const bool withBody = method == "GET" ? !request.body.empty() : method != "HEAD";
    if (method == "HEAD") {
      curl_easy_setopt(h, CURLOPT_NOBODY, 1L);
    } else if (method == "POST") {
      curl_easy_setopt(h, CURLOPT_POST, 1L);
    } else if (method != "GET" || withBody) {
      curl_easy_setopt(h, CURLOPT_CUSTOMREQUEST, method.c_str());
    }
    if (withBody) {
      curl_easy_setopt(h, CURLOPT_POSTFIELDSIZE_LARGE, static_cast<curl_off_t>(request.body.size()));
      curl_easy_setopt(h, CURLOPT_POSTFIELDS, request.body.data());
    }

    const bool whole = curl_easy_perform(h) == CURLE_OK;
    long status = 0;
    curl_easy_getinfo(h, CURLINFO_RESPONSE_CODE, &status);
    // Broken before a response began, or refused for its size: nothing.
    if (transfer.tooLarge || (!whole && (status == 0 || transfer.headers.empty()))) return HttpWireResponse{};
    HttpWireResponse response;
    response.complete = whole;
    response.body = std::move(transfer.body);
    response.rawHeaders = std::move(transfer.headers);
    response.status = static_cast<int>(status);
    return response;
  }
};

}  // namespace

HttpTransport& platformHttpTransport() noexcept {
  static CurlTransport transport;
  return transport;
}

HttpTransport& platformWebTransport() noexcept { return platformHttpTransport(); }

}  // namespace pv
