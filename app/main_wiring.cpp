#include "app/client_context.h"
#include "app/client_wiring.h"
#include "core/client/address_query.h"
#include "core/client/client_events.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/lifecycle/shell.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {

bool wireMainWindow(Win32Ui& ui) {
  ClientContext& client = clientContext(ui);
  const bool main = registerMainWindowEvents(client);
  // Made once with the client they serve; they live until the process ends.
  static ThreadPauses pauses;
  static Win32Clipboard clipboard;
  static Win32RestartHost restart;
  static QueryContext queries{client, pauses, clipboard, restart};
  return registerAddressQueryEvents(queries) && main;
}

}  // namespace pv
