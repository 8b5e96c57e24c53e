// The process-wide service client: the Win32 adapters of its ports and its records, made
// once and kept until the process ends, since workers that are never joined may still use
// them while the last window goes.
#include "app/client_wiring.h"

#include "app/client_context.h"
#include "app/startup.h"
#include "platform/win32/shell_browser.h"
#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_window_extras.h"

namespace pv {

ClientContext& clientContext(Win32Ui& ui) {
  static ClientContext& context = [&ui]() -> ClientContext& {
    // Start-up made the records and set the API base URL and the built-in contact.
    ProcessRecords* records = &processState().records;
    return *new ClientContext{ui,
                              *new Win32Dialogs(ui),
                              *new ShellBrowser,
                              *new Win32WindowExtras(ui),
                              *new SystemClock,
                              *new ThreadWorkers,
                              platformHttpTransport(),
                              platformWebTransport(),
                              *records};
  }();
  return context;
}

bool wireServiceClient(Win32Ui& ui) {
  const bool login = wireLoginWindow(ui);
  return wireMainWindow(ui) && login;
}

}  // namespace pv
