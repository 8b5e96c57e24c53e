#include "core/net/http_shaping.h"

#include <algorithm>
#include <climits>

#include "core/crypto/base64.h"
#include "core/net/http_request.h"
#include "core/text/codepage.h"
#include "core/text/text.h"

namespace pv {
namespace {

constexpr std::string_view kCrLf = "\r\n";

bool containsIgnoringCase(std::string_view text, std::string_view lowerPart) {
  return containsText(toLowerAscii(text), lowerPart);
}

bool equalsIgnoringCase(std::string_view a, std::string_view b) {
  return a.size() == b.size() && toLowerAscii(a) == toLowerAscii(b);
}

}  // namespace

std::string_view methodText(int method) noexcept {
  constexpr std::string_view kMethods[] = {"GET", "POST", "HEAD", "PUT",
                                           "OPTIONS", "DELETE", "TRACE", "CONNECT"};
  return method >= 0 && method < 8 ? kMethods[method] : kMethods[0];
}

int phaseTimeoutMs(int timeoutSeconds) noexcept {
  if (timeoutSeconds == -1) return -1;
  if (timeoutSeconds < 1) return 15000;
  return timeoutSeconds > INT_MAX / 1000 ? INT_MAX / 1000 * 1000 : timeoutSeconds * 1000;
}

std::string completeHeaderBlock(std::string_view headers, std::string_view url, int method,
                                bool userAgent) {
  std::string block(headers);
  auto addWhenAbsent = [&block](std::string_view lowerName, std::string_view line) {
    if (!containsIgnoringCase(block, lowerName)) block.append(kCrLf).append(line);
  };
  addWhenAbsent("accept:", "Accept: */*");
  addWhenAbsent("referer:", std::string("Referer: ").append(url));
  addWhenAbsent("accept-language:", "Accept-Language: zh-cn");
  if (userAgent) addWhenAbsent("user-agent:", std::string("User-Agent: ").append(kDefaultUserAgent));
  if (method == kMethodPost)
    addWhenAbsent("content-type:", "Content-Type: application/x-www-form-urlencoded");
  return block;
}

std::string normalizeHeaderNames(std::string_view headers) {
  std::vector<std::string> lines;
  for (const std::string& line : splitText(headers, kCrLf)) {
    const int colon = findText(line, ":");
    if (colon < 0) continue;
    std::vector<std::string> pieces = splitText(std::string_view(line).substr(0, colon - 1), "-");
    for (std::string& piece : pieces)
      if (!piece.empty() && piece[0] >= 'a' && piece[0] <= 'z') piece[0] = static_cast<char>(piece[0] - 'a' + 'A');
    lines.push_back(joinTexts(pieces, "-") + line.substr(colon - 1));
  }
  return joinTexts(lines, kCrLf);
}

void setHeaderField(std::vector<HttpHeaderField>& fields, std::string_view name,
                    std::string_view value) {
  const std::string trimmedName = trimText(name);
  const std::string trimmedValue = trimText(value);
  if (trimmedName.empty()) return;
  for (auto it = fields.begin(); it != fields.end(); ++it) {
    if (!equalsIgnoringCase(it->name, trimmedName)) continue;
    if (trimmedValue.empty()) {
      fields.erase(it);
    } else {
      *it = {trimmedName, trimmedValue};
    }
    return;
  }
  if (!trimmedValue.empty()) fields.push_back({trimmedName, trimmedValue});
}

void addHeaderFields(std::vector<HttpHeaderField>& fields, std::string_view headers,
                     bool skipKeepAlive) {
  const bool severalLines = containsText(headers, kCrLf);
  for (const std::string& line : splitText(headers, kCrLf)) {
    if (line.empty()) continue;
    const int colon = findText(line, ":");
    const std::string name = trimText(colon < 0 ? std::string_view(line) : std::string_view(line).substr(0, colon - 1));
    const std::string value = colon < 0 ? std::string() : trimText(std::string_view(line).substr(colon));
    if (skipKeepAlive && severalLines && name == "Connection" && value == "keep-alive") continue;
    setHeaderField(fields, name, value);
  }
}

std::string basicAuthorization(std::string_view user, std::string_view password) {
  std::string credentials(user);
  credentials.append(":").append(password);
  return "Basic " + base64Encode(credentials);
}

std::string cookiesFromHeaders(std::string_view rawHeaders) {
  constexpr std::string_view kMark = "Set-Cookie:";
  std::vector<std::string> cookies;
  for (const std::string& line : splitText(rawHeaders, kCrLf)) {
    const int nameEnd = findText(line, ": ");
    if (nameEnd < 0 || std::string_view(line).substr(0, nameEnd - 1) != "Set-Cookie") continue;
    std::string cookie;
    if (const int semicolon = findText(line, ";", nameEnd); semicolon > 0) {
      // The line starts with "Set-Cookie:": its name matched exactly.
      cookie = trimText(std::string_view(line).substr(kMark.size(), semicolon - 1 - kMark.size()));
    } else {
      cookie = trimText(replaceAll(line, kMark, ""));
    }
    if (!cookie.empty()) cookies.push_back(std::move(cookie));
  }
  return joinTexts(cookies, "; ");
}

std::string withoutStatusLine(std::string_view rawHeaders) {
  if (!startsWith(rawHeaders, "HTTP/")) return std::string(rawHeaders);
  const int end = findText(rawHeaders, kCrLf);
  return end < 0 ? std::string() : std::string(rawHeaders.substr(end + 1));
}

bool bodyCutShort(std::string_view rawHeaders, std::string_view method, int status, size_t received) {
  // These carry no body whatever their Content-Length says.
  if (method == "HEAD" || status < 200 || status == 204 || status == 304) return false;
  for (const std::string& line : splitText(rawHeaders, kCrLf)) {
    const int colon = findText(line, ":");
    if (colon < 1 || toLowerAscii(trimText(line.substr(0, static_cast<size_t>(colon) - 1))) != "content-length") {
      continue;
    }
    const std::string value = trimText(line.substr(static_cast<size_t>(colon)));
    if (value.empty() || value.size() > 18 ||
        !std::all_of(value.begin(), value.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    return received < std::stoull(value);
  }
  return false;
}

std::string mergeCookies(std::string_view oldCookies, std::string_view newCookies) {
  auto cookiesOf = [](std::string_view text) {
    std::string trimmed = trimText(text);
    if (endsWith(trimmed, ";")) trimmed.push_back(' ');
    std::vector<std::string> cookies;
    for (std::string& piece : splitText(trimmed, "; "))
      if (!trimText(piece).empty()) cookies.push_back(std::move(piece));
    return cookies;
  };
  auto nameOf = [](std::string_view cookie) {
    const int equals = findText(cookie, "=");
    return trimText(equals < 0 ? cookie : cookie.substr(0, equals - 1));
  };

  std::vector<std::string> merged = cookiesOf(newCookies);
  std::vector<std::string> newNames;
  for (const std::string& cookie : merged) newNames.push_back(nameOf(cookie));
  for (std::string& cookie : cookiesOf(oldCookies)) {
    const std::string name = nameOf(cookie);
    bool replaced = false;
    for (const std::string& newName : newNames) replaced = replaced || newName == name;
    if (!replaced) merged.push_back(std::move(cookie));
  }

  std::vector<std::string> kept;
  for (std::string& cookie : merged) {
    if (endsWith(cookie, "=deleted")) continue;
    bool repeated = false;
    for (const std::string& k : kept) repeated = repeated || k == cookie;
    if (!repeated) kept.push_back(std::move(cookie));
  }
  return joinTexts(kept, "; ");
}

EngineTarget engineTarget(std::string_view url) {
  EngineTarget target;
  std::string lower = toLowerAscii(url);
  target.secure = startsWith(lower, "https://");
  const std::string_view scheme = target.secure ? "https://" : "http://";
  if (!startsWith(lower, scheme)) lower.insert(0, scheme);
  // The host ends at the path, or at the query when the path is left out.
  const size_t hostStart = scheme.size();
  size_t hostEnd = lower.find_first_of("/?", hostStart);
  if (hostEnd == std::string::npos) hostEnd = lower.size();
  std::string hostWithPort = lower.substr(hostStart, hostEnd - hostStart);

  target.port = target.secure ? 443 : 80;
  if (const size_t colon = hostWithPort.rfind(':'); colon != std::string::npos) {
    const std::string digits = hostWithPort.substr(colon + 1);
    const bool numeric = !digits.empty() && digits.size() <= 5 &&
                         digits.find_first_not_of("0123456789") == std::string::npos;
    // A port out of range is no port, as one that is no number: it stays in the host, where
    // the connection fails on it, and rebuilding the url gives back the same target.
    if (numeric) {
      if (const int port = std::stoi(digits); port >= 1 && port <= 65535) {
        target.port = port;
        hostWithPort.resize(colon);
      }
    }
  }
  target.host = std::move(hostWithPort);

  // The path keeps the url's own letter case: look for the host in the url itself.
  // Past the scheme, so that a host like "h" is not found in "http".
  const std::string lowerUrl = toLowerAscii(url);
  const int searchFrom = startsWith(lowerUrl, scheme) ? static_cast<int>(scheme.size()) + 1 : 1;
  const int hostAt = target.host.empty() ? -1 : findText(lowerUrl, target.host, searchFrom);
  const size_t afterHost = hostAt < 0 ? 0 : static_cast<size_t>(hostAt - 1) + target.host.size();
  std::string_view rest;  // path and query, or the query alone
  if (hostAt > 0) {
    if (const size_t slash = url.find('/', afterHost); slash != std::string_view::npos) {
      rest = url.substr(slash);
    } else if (const size_t query = url.find('?', afterHost); query != std::string_view::npos) {
      rest = url.substr(query);
    }
  }
  if (!rest.starts_with('/')) target.path.push_back('/');
  target.path.append(rest);
  return target;
}

std::string engineUrl(const EngineTarget& target) {
  std::string url = target.secure ? "https://" : "http://";
  url += target.host;
  // A host that holds a colon itself ("a:8", kept whole because its port part was read first)
  // would lend its tail as the port when read back: write the port even when it is the default.
  const bool hostHasColon = target.host.find(':') != std::string::npos;
  if (hostHasColon || target.port != (target.secure ? 443 : 80))
    url.append(":").append(std::to_string(target.port));
  return url.append(target.path);
}

std::string engineAgent(std::string_view headers) {
  const std::string lower = toLowerAscii(headers);
  constexpr std::string_view kName = "user-agent:";
  if (const int at = findText(lower, kName); at > 0) {
    const size_t valueStart = static_cast<size_t>(at - 1) + kName.size();
    const size_t valueEnd = std::min(headers.find(kCrLf, valueStart), headers.size());
    // An empty User-Agent line leaves the default agent in place.
    if (std::string agent = trimText(headers.substr(valueStart, valueEnd - valueStart)); !agent.empty())
      return agent;
  }
  return std::string(kDefaultUserAgent);
}

}  // namespace pv
