// Header and cookie shaping: any header block, url and cookie texts. The rules checked: a
// completed block starts with the caller's block, normalising is idempotent, and the engine's
// url read back names the same target.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "core/net/http_request.h"
#include "core/net/http_shaping.h"
#include "fuzz/fuzz_check.h"

namespace {

// Input: header block, url, field name, field value, old cookies, new cookies, split at
// zero bytes (missing pieces are empty).
std::vector<std::string_view> pieces(std::string_view text, std::size_t count) {
  std::vector<std::string_view> out;
  while (out.size() + 1 < count) {
    const std::size_t zero = text.find('\0');
    if (zero == std::string_view::npos) break;
    out.push_back(text.substr(0, zero));
    text.remove_prefix(zero + 1);
  }
  out.push_back(text);
  out.resize(count);
  return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto p = pieces(std::string_view(reinterpret_cast<const char*>(data), size), 6);
  const std::string_view headers = p[0], url = p[1], name = p[2], value = p[3];
  const int method = static_cast<int>(size % 9);

  const std::string completed = pv::completeHeaderBlock(headers, url, method, size % 2 == 0);
  FUZZ_CHECK(completed.compare(0, headers.size(), headers) == 0);

  const std::string normal = pv::normalizeHeaderNames(headers);
  FUZZ_CHECK(pv::normalizeHeaderNames(normal) == normal);

  std::vector<pv::HttpHeaderField> fields;
  pv::addHeaderFields(fields, headers, size % 3 == 0);
  pv::setHeaderField(fields, name, value);
  (void)pv::basicAuthorization(name, value);
  (void)pv::withoutStatusLine(headers);
  (void)pv::engineAgent(headers);
  (void)pv::methodText(method);
  (void)pv::phaseTimeoutMs(static_cast<int>(size) - 2);

  const std::string cookies = pv::cookiesFromHeaders(headers);
  (void)pv::mergeCookies(p[4], p[5]);
  (void)pv::mergeCookies(cookies, p[5]);

  const pv::EngineTarget target = pv::engineTarget(url);
  FUZZ_CHECK(target.port >= 1 && target.port <= 65535);
  FUZZ_CHECK(!target.path.empty() && target.path.front() == '/');
  const pv::EngineTarget again = pv::engineTarget(pv::engineUrl(target));
  FUZZ_CHECK(again.host == target.host && again.port == target.port && again.secure == target.secure &&
             again.path == target.path);
  return 0;
}
