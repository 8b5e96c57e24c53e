#include "app/client_context.h"
#include "app/client_wiring.h"
#include "core/client/address_query.h"
#include "core/client/client_events.h"
#include "core/client/erp_run_ports.h"
#include "core/client/one_click.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/erp/win32_desktop.h"
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
  bool ok = registerAddressQueryEvents(queries) && main;

  // The one-click run over the ERP clients on the desktop.
  static Win32Desktop desktop;
  static MainWindowBatchScreening screening{queries};
  static OutputBoxWriter output{ui, pauses};
  static SummaryContext summary{ui, client.dialogs, output, client.workers, client.records.matchingOrderNumbers,
                                clipboard};
  static OneClickContext oneClick{ui, client.dialogs, client.windows, desktop, screening, output, summary,
                                  [](std::chrono::milliseconds pause) { (void)pauses.pause(pause); }};
  static OneClickControl control{oneClick, client.workers};
  ok = registerResultWindowEvents(summary) && ok;
  return registerOneClickEvents(ui, control) && ok;
}

}  // namespace pv
