#pragma once
// The bearer session's service calls: the login, the account lookup and the token
// refresh. The session lives in ProcessRecords::session; every later call takes its base
// URL and header block from there.
#include <string>

#include "core/api/records.h"
#include "core/net/http_transport.h"

namespace pv {

// Service code of a login with an account the service does not know.
inline constexpr int kUnknownAccountCode = 20103;

struct LoginAnswer {
  std::string token{};    // empty unless the service accepted the account and password
  int code = 0;           // the envelope's code (0 also when nothing readable came back)
  std::string message{};  // the envelope's message, GBK
};

// POST /pub/auth with the account and password (GBK).
LoginAnswer requestLogin(HttpTransport& transport, const std::string& baseUrl,
                         const std::string& account, const std::string& password);

// A token the service sent becomes the session's token and header block, together.
void storeToken(Published<ApiSession>& session, const std::string& token);

// GET /account with the session's header; stores the account's id and user name (0 and
// empty when the call failed) and returns the user name.
std::string fetchAccount(HttpTransport& transport, Published<ApiSession>& session);

// PUT /auth/token; a new token in the answer replaces the token and its header block
// together, anything else leaves the session as it was. Shows nothing.
void refreshToken(HttpTransport& transport, Published<ApiSession>& session);

}  // namespace pv
