#include "app/client_context.h"
#include "app/client_wiring.h"
#include "core/client/client_events.h"
#include "core/client/login_window.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {

bool wireLoginWindow(Win32Ui& ui) {
  ClientContext& client = clientContext(ui);
  static LoginWebPage page(client.browser);
  return registerLoginWindowEvents(client, page);
}

void startStartupWorkers(Win32Ui& ui) { startLoginWorkers(clientContext(ui)); }

}  // namespace pv
