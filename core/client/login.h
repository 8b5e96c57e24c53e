#pragma once
// The login from the login window: its worker, what the window shows while it runs and
// what follows its answer.
#include "core/client/client_context.h"

namespace pv {

// Starts runLogin on a worker (the login button, Enter in the password box). A second
// start while one attempt runs is not refused.
void startLoginThread(ClientContext& client);

// The login worker: sends the account and password of the login window; on success fills
// the session, opens the main window through the hidden label's event, destroys the login
// window and refreshes the token; otherwise shows the service's message.
void runLogin(ClientContext& client);

}  // namespace pv
