#pragma once
// How the login and main windows open and go: one Created and one Destroying handler per
// window, each doing its steps in a fixed order.
//
//   login Created      the version in the title, the menu's appended commands attached,
//                      the saved texts restored
//   (login shown)      loadLoginWebPage: web views prepared, then the product page
//   login Destroying   the texts saved
//   main Created       the quick-tip and result windows loaded hidden, the saved values
//                      restored (before anything reads the controls), then the session's
//                      part: title, greeting, contact page, project list
//   main Destroying    the values saved, the quick-tip and result windows destroyed
#include "core/client/client_context.h"
#include "core/settings/settings.h"

namespace pv {

// Register on the user-interface thread before the login window is loaded. `settings` must
// outlive the windows. False when the tables refused a registration.
[[nodiscard]] bool registerWindowLifecycleEvents(ClientContext& client,
                                                 const SettingsPorts& settings);

// The login window is on the screen: the web views' rendering mode, then the product page
// in its web view. Any thread (the page goes to the window through the window extras);
// once per login window, after its first paint, so that neither the embedded browser nor
// the registry holds up the window.
void loadLoginWebPage(ClientContext& client);

}  // namespace pv
