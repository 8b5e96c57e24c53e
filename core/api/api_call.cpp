#include "core/api/api_call.h"

#include "core/text/codepage.h"

namespace pv {

std::string authHeaderFor(std::string_view token) {
  std::string header(kJsonContentHeader);
  header += "\r\nAuthentication: Bearer ";
  header += token;
  return header;
}

std::string jsonStringObject(
    std::initializer_list<std::pair<std::string_view, std::string_view>> members) {
  JsonMutableDocument doc;
  JsonMutValue root = doc.createObjectRoot();
  for (const auto& [key, value] : members) root.setString(key, value, false);
  // The values are GBK: keep each double-byte character whole while escaping.
  return doc.serialize(kJsonDoubleByteText);
}

JsonDocument callApi(HttpTransport& transport, int method, std::string url,
                     std::string_view headers, std::string_view body) {
  HttpRequest request;
  request.url = std::move(url);
  request.method = method;
  request.extraHeaders = std::string(headers);
  request.bodyText = std::string(body);
  const HttpResponse response = httpRequest(transport, request);
  JsonDocument answer;
  answer.parse(response.body);
  return answer;
}

std::string answerMessage(const JsonDocument& answer) {
  return utf8ToGbk(answer.member("msg").text());
}

std::string urlOrigin(std::string_view url) {
  const size_t scheme = url.find("://");
  if (scheme == std::string_view::npos) return {};
  const size_t path = url.find_first_of("/?#", scheme + 3);
  return std::string(url.substr(0, path));
}

}  // namespace pv
