#pragma once
// The program put together: every adapter, record, store and context it runs on, as
// members in the order they are made, each context built whole from the members above it.
// This is the one place where parcelvane.exe is assembled; the flows themselves live in
// core/client and the adapters in platform/win32.
//
// runProgram makes one Program and never destroys it. Workers are never joined: one still
// waiting on the network when the last window goes must not wake to a destroyed adapter or
// record, so everything here stays until ExitProcess ends the process.
//
// User-interface thread: construct and wire there, before the login window is loaded.
#include <chrono>
#include <stop_token>
#include <string_view>

#include "core/process/process_state.h"
#include "core/batch/main_window.h"
#include "core/client/address_query.h"
#include "core/client/client_context.h"
#include "core/client/login_window.h"
#include "core/client/one_click.h"
#include "core/client/summary.h"
#include "core/import/import_flow.h"
#include "core/settings/ini_file.h"
#include "core/settings/settings.h"
#include "core/system/clock.h"
#include "core/system/pauses.h"
#include "core/system/workers.h"
#include "platform/win32/clipboard.h"
#include "platform/win32/dpapi_protector.h"
#include "platform/win32/erp/win32_desktop.h"
#include "platform/win32/file_chooser.h"
#include "platform/win32/lifecycle/shell.h"
#include "platform/win32/shell_browser.h"
#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/win32_dialogs.h"
#include "platform/win32/win32_window_extras.h"

namespace pv {

class Program {
 public:
  Program();
  Program(const Program&) = delete;
  Program& operator=(const Program&) = delete;

  // Registers every window's events. False when a registration was refused: a misspelt
  // name in the tables, so no window would work as it should.
  [[nodiscard]] bool wire();

  // The records; the constructor puts the service's address and the built-in contact in.
  ProcessState state;
  Win32Ui ui{Window::Login};

  // The service client.
  Win32Dialogs dialogs{ui};
  ShellBrowser browser;
  Win32WindowExtras windowExtras{ui};
  SystemClock clock;
  ThreadWorkers workers;
  ClientContext client{ui, dialogs, browser, windowExtras, clock, workers,
                       platformHttpTransport(), platformWebTransport(), state.records};
  LoginWebPage loginPage{browser};

  // Settings files and the sealed password.
  IniFileStore settingsStore;
  DpapiProtector protector;
  SettingsPorts settings{ui, settingsStore, protector};

  // The single-address queries.
  ThreadPauses pauses;
  Win32Clipboard clipboard;
  Win32RestartHost restart;
  QueryContext queries{client, pauses, clipboard, restart};

  // The one-click run: ERP lists, import profiles and the free import.
  Win32Desktop desktop;
  MainWindowBatchScreening screening{{ui, client.apiTransport, state.records.session, pauses},
                                     {dialogs, browser, restart}};
  OutputBoxWriter output{ui, pauses};
  SummaryContext summary{ui, dialogs, output, workers, state.records.matchingOrderNumbers, clipboard, &browser};
  // Where runs keep their journals (beside the settings) and their results (Documents).
  RunFiles runFiles;
  Win32FileChooser files{ui};
  ImportContext imports;
  OneClickContext oneClick;
  OneClickControl oneClickControl{oneClick, workers};

 private:
  void pause(std::chrono::milliseconds time);
  static std::string journalFolder();
  RunContext runContext(std::stop_token stop);
  std::string chosenBatchQueryAddress();
  int runErpImport(const ErpImportProfile& profile, ScreeningTotals& totals, std::stop_token stop);
  int runFreeImport(ScreeningTotals& totals, std::stop_token stop);
};

}  // namespace pv
