#include "core/api/session.h"

#include "core/api/api_call.h"
#include "core/text/codepage.h"

namespace pv {

LoginAnswer requestLogin(HttpTransport& transport, const std::string& baseUrl,
                         const std::string& account, const std::string& password) {
  const std::string body = jsonStringObject({{"username", account}, {"password", password}});
  const JsonDocument answer =
      callApi(transport, kMethodPost, baseUrl + "/pub/auth", kJsonContentHeader, body);
  return {.token = answer.at("/data/token").text(),
          .code = answer.member("code").toInt(),
          .message = answerMessage(answer)};
}

void storeToken(Published<ApiSession>& session, const std::string& token) {
  session.update([&](ApiSession& s) {
    s.token = token;
    s.authHeader = authHeaderFor(token);
  });
}

std::string fetchAccount(HttpTransport& transport, Published<ApiSession>& session) {
  const std::shared_ptr<const ApiSession> now = session.load();
  const JsonDocument answer =
      callApi(transport, kMethodGet, now->baseUrl + "/account", now->authHeader);
  const std::int32_t id = answer.at("/data/id").toInt();
  std::string name = utf8ToGbk(answer.at("/data/username").text());
  session.update([&](ApiSession& s) {
    s.userId = id;
    s.userName = name;
  });
  return name;
}

void refreshToken(HttpTransport& transport, Published<ApiSession>& session) {
  const std::shared_ptr<const ApiSession> now = session.load();
  const JsonDocument answer =
      callApi(transport, kMethodPut, now->baseUrl + "/auth/token", now->authHeader);
  const std::string token = answer.at("/data/token").text();
  if (token.empty()) return;
  storeToken(session, token);
}

}  // namespace pv
