#pragma once
// The pieces httpRequest and webRequest are made of: the method table, time-outs, header
// completion and name normalisation, header fields, Set-Cookie extraction and the url
// pieces of the engine. Pure functions over GBK texts; header names are searched ignoring
// ASCII letter case, everything else is compared byte for byte.
#include <string>
#include <string_view>
#include <vector>

#include "core/net/http_transport.h"
#include "core/text/encoding.h"

namespace pv {

inline constexpr std::string_view kDefaultUserAgent =
    "Mozilla/4.0 (compatible; MSIE 9.0; Windows NT 6.1)";

// "GET" for 0 ... "CONNECT" for 7; GET for any other index.
std::string_view methodText(int method) noexcept;

// Milliseconds per phase for a caller's seconds: 1 or more as given (capped, never
// overflowing), -1 stays -1 (the transport's own bounds), anything else 15000.
int phaseTimeoutMs(int timeoutSeconds) noexcept;

// Appends, each only when its name with a colon is absent (letter case ignored), the lines
// "Accept: */*", "Referer: " + url, "Accept-Language: zh-cn", with `userAgent` the
// "User-Agent: " line, and for POST "Content-Type: application/x-www-form-urlencoded".
// Every appended line is preceded by CR LF, even into an empty block.
std::string completeHeaderBlock(std::string_view headers, std::string_view url, int method,
                                bool userAgent);

// Line by line (CR LF): a line without a colon is dropped; in the name before the first
// colon every piece between "-" starts with an upper-case letter; the rest is kept. Lines are
// joined by CR LF without a trailing one.
std::string normalizeHeaderNames(std::string_view headers);

// Sets a field the way a request object does: a field of the same name (letter case
// ignored) is replaced in place; an empty value removes it; an empty name is ignored.
void setHeaderField(std::vector<HttpHeaderField>& fields, std::string_view name,
                    std::string_view value);

// The fields of a header block: each non-empty line's trimmed name before the first colon
// and trimmed value after it (a line without a colon is all name). With
// `skipKeepAlive`, a line "Connection: keep-alive" is left out when the block has several
// lines: the transport manages its connections itself.
void addHeaderFields(std::vector<HttpHeaderField>& fields, std::string_view headers,
                     bool skipKeepAlive);

// "Basic " + Base64 of user + ":" + password (GBK bytes).
std::string basicAuthorization(std::string_view user, std::string_view password);

// The cookies that the Set-Cookie lines of a header block set: of each line named exactly
// "Set-Cookie", the name=value before the first ";", trimmed, joined by "; ".
std::string cookiesFromHeaders(std::string_view rawHeaders);

// A raw header block without its first (status) line.
std::string withoutStatusLine(std::string_view rawHeaders);

// Whether `received` body bytes fall short of the Content-Length of the raw header block
// of a response with `status` to `method`. Some clients take a connection closed early for
// the end of the body; this tells a cut transfer from a whole one.
bool bodyCutShort(std::string_view rawHeaders, std::string_view method, int status, size_t received);

// Where the engine connects: the lower-cased host without port, the port (the url's, else
// 443 for https and 80 otherwise), the path from the first "/" after the host with its query
// in its own letter case ("/" when there is none), and whether the url is https.
struct EngineTarget {
  std::string host;
  int port = 80;
  std::string path;
  bool secure = false;
};
EngineTarget engineTarget(std::string_view url);

// The url the engine's request goes to, rebuilt from the target.
std::string engineUrl(const EngineTarget& target);

// The agent the engine opens with: the value of the block's User-Agent line, else the
// default agent.
std::string engineAgent(std::string_view headers);

}  // namespace pv
