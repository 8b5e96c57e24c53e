#pragma once
// What the session brings to the main window when it opens: the title with the version,
// the greeting, the customer-service page, and the first load of the project list.
#include <string_view>

#include "core/client/client_context.h"

namespace pv {

// "欢迎您，" + the session's user name.
void greetUser(Ui& ui, const ApiSession& session);

// The contact page from the record as it stands; a main window opened before the global
// information arrived keeps the built-in contact.
void fillContactPage(Ui& ui, const ServiceContact& contact);

// The main window was created (user-interface thread): version in the title, greeting,
// contact page, and the project list loading on a worker.
void onMainWindowCreated(ClientContext& client);

// The main window became active: when the last refresh started on activation lies more
// than an hour back, or in the future (a clock set back), starts refreshToken on a worker
// and remembers now. User-interface thread.
void refreshOnActivation(ClientContext& client);

}  // namespace pv
