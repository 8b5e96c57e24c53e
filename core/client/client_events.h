#pragma once
// Which window event starts which flow of the service client. The program registers these
// with its Win32 adapters, the tests with the in-memory ones, so both run the same wiring.
#include "core/client/client_context.h"
#include "core/client/login_window.h"

namespace pv {

// The login window: the login button and Enter in the password box, the hidden label
// that opens the main window, the menu with its appended download item, and the web
// page (its opening is in window_lifecycle.h). Register before the login window is loaded. False when the tables refused a
// registration (a misspelt name).
[[nodiscard]] bool registerLoginWindowEvents(ClientContext& client, LoginWebPage& page);

// The main window: the token refresh on activation, the project box and the refresh link.
// Its opening is in window_lifecycle.h.
[[nodiscard]] bool registerMainWindowEvents(ClientContext& client);

// The two start-up workers: global information, then the version check (not manual).
// Start them once the login window is loaded: the check enables its login button.
void startLoginWorkers(ClientContext& client);

}  // namespace pv
