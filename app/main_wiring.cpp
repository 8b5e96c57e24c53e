#include "app/client_context.h"
#include "app/client_wiring.h"
#include "core/client/address_query.h"
#include "core/client/client_events.h"
#include "core/client/erp_run_ports.h"
#include "core/client/one_click.h"
#include "core/client/service_boxes.h"
#include "core/import/erp_profiles.h"
#include "core/import/import_flow.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/erp/win32_desktop.h"
#include "platform/win32/excel_automation.h"
#include "platform/win32/file_chooser.h"
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
  // The two import hooks are set below, once the import's context exists.
  static OneClickContext oneClick{ui, client.dialogs, client.windows, desktop, screening, output, summary,
                                  [](std::chrono::milliseconds pause) { (void)pauses.pause(pause); }, {}, {}};
  // The order-file imports of the one-click run: a client's profile, or the free import.
  static Win32FileChooser files{ui};
  Win32Ui* const u = &ui;
  ClientContext* const c = &client;
  static ImportContext imports{ui, client.dialogs, client.browser, files,
                               [] { return std::make_unique<ExcelAutomation>(); },
                               [u, c] {
                                 const auto chosen = [u](std::string_view box) {
                                   const int i = u->selectedIndex(Window::Main, box);
                                   return i >= 0 ? u->itemValue(Window::Main, box, i) : 0;
                                 };
                                 return batchQueryAddress(chosen(kProductBox), chosen(kServiceBox),
                                                          c->records.session.load()->token);
                               }};
  const auto runOf = [u, c](std::stop_token stop) {
    return ErpRunContext{*u, c->dialogs, desktop, screening, output,
                         [](std::chrono::milliseconds pause) { (void)pauses.pause(pause); }, stop};
  };
  oneClick.runErpImportProfile = [runOf](std::string_view name, ScreeningTotals& totals, std::stop_token stop) {
    const ErpImportProfile* profile = erpImportProfile(name);
    if (!profile) return 0;
    ErpRunContext run = runOf(stop);
    return runErpImportProfile(imports, run, *profile, totals);
  };
  oneClick.screenImportedOrders = [runOf](ScreeningTotals& totals, std::stop_token stop) {
    ErpRunContext run = runOf(stop);
    ImportProfile profile;
    ImportOptional optional;
    return screenImportedOrders(imports, run, totals, profile, optional);
  };
  static OneClickControl control{oneClick, client.workers};
  ok = registerResultWindowEvents(summary) && ok;
  return registerOneClickEvents(ui, control) && ok;
}

}  // namespace pv
