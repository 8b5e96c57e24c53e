#pragma once
// The bearer session: the login from the login window, the account lookup and the token
// refresh. The session lives in ProcessRecords::session; every later call takes its base
// URL and header block from there.
#include <string>

#include "core/api/client.h"
#include "core/api/records.h"
#include "core/net/http_transport.h"

namespace pv {

// Service code of a login with an account the service does not know.
inline constexpr int kUnknownAccountCode = 20103;

// Starts runLogin on a worker (the login button, Enter in the password box). A second
// start while one attempt runs is not refused.
void startLoginThread(ClientContext& client);

// The login worker: sends the account and password of the login window; on success fills
// the session, opens the main window through the hidden label's event, destroys the login
// window and refreshes the token; otherwise shows the service's message.
void runLogin(ClientContext& client);

// GET /account with the session's header; stores the account's id and user name (0 and
// empty when the call failed) and returns the user name.
std::string fetchAccount(HttpTransport& transport, Published<ApiSession>& session);

// PUT /auth/token; a new token in the answer replaces the token and its header block
// together, anything else leaves the session as it was. Shows nothing.
void refreshToken(HttpTransport& transport, Published<ApiSession>& session);

// The main window became active: when the last refresh started on activation lies more
// than an hour back, or in the future (a clock set back), starts refreshToken on a worker
// and remembers now. User-interface thread.
void refreshOnActivation(ClientContext& client);

}  // namespace pv
