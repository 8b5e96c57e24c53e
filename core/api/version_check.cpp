#include "core/api/version_check.h"

#include "core/api/api_call.h"
#include "core/product/product.h"
#include "core/text/codepage.h"

namespace pv {

VersionAnswer checkClientVersion(HttpTransport& transport, const std::string& baseUrl) {
  const std::string body =
      jsonStringObject({{"name", kClientName}, {"version", kClientVersion}});
  const JsonDocument answer =
      callApi(transport, kMethodPost, baseUrl + "/pub/versions/check", kJsonContentHeader, body);

  VersionAnswer out;
  // No answer at all, or one without a message, is a failed check.
  if (answer.member("msg").text().empty()) return out;
  out.answered = true;
  out.forbidden = answer.at("/data/current/forbidden").toBool();
  out.currentId = answer.at("/data/current/id").toInt();
  out.current = answer.at("/data/current/version").text();
  out.latest = answer.at("/data/latest/version").text();
  out.downloadUrl = utf8ToGbk(answer.at("/data/latest/download").text());
  if (out.downloadUrl.empty()) out.downloadUrl = std::string(kWebSite);
  return out;
}

}  // namespace pv
