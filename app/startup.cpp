// parcelvane.exe from its first step to its end. The steps run in a fixed order: each
// relies on the ones before it (the closing of an earlier copy must precede our own
// windows, the API base URL must be set before any worker reads it).
#include "app/startup.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include <string>

#include "app/client_wiring.h"
#include "app/window_lifecycle.h"
#include "core/api/global_info.h"
#include "core/app/command_line.h"
#include "core/product/product.h"
#include "platform/win32/lifecycle/shell.h"
#include "platform/win32/ui/picture_bitmap.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {

namespace {

// Shell links need COM on this thread; the windows' picture decoder needs it too.
class ComApartment {
 public:
  ComApartment() : initialised_(SUCCEEDED(CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED))) {}
  ~ComApartment() {
    if (initialised_) CoUninitialize();
  }
  ComApartment(const ComApartment&) = delete;
  ComApartment& operator=(const ComApartment&) = delete;

 private:
  bool initialised_;
};

// The exit routine. The process then ends through ExitProcess, which stops every worker
// before anything they use goes away: a worker still waiting on the network must not
// wake up to a released window adapter or transport.
[[noreturn]] void endProcess(int exitCode) {
  releaseProcessState(processState());
  ExitProcess(static_cast<UINT>(exitCode));
}

void initCommonControls() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                                      ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
}

}  // namespace

ProcessState& processState() {
  static ProcessState& state = *new ProcessState;
  return state;
}

void runProgram() {
  // 1. Process-wide records, all empty.
  processState();
  const ComApartment com;

  // 2. The JSON library is compiled into the program: nothing to unpack or map.

  // 3. An earlier copy's windows go; ours do not exist yet.
  closeEarlierInstances();

  // 4. The uninstall word.
  if (asksForUninstall(programArguments())) uninstallProgram();

  // 5. Shortcuts and Uninstall values.
  installShellEntries();

  // 6. Where the service is.
  ProcessRecords& records = processState().records;
  records.session.update([](ApiSession& s) { s.baseUrl = std::string(kApiBaseUrl); });

  // 7. The built-in customer-service contact, until the global information replaces it.
  records.contact.store(defaultServiceContact(std::string(assetBytes(Asset::QqContactCard)),
                                              std::string(assetBytes(Asset::WechatContactCard))));

  // 8. The login window, not modal and without an owner.
  initCommonControls();
  Win32Ui& ui = *new Win32Ui;  // kept to the end of the process, as the workers use it
  // A refused registration is a misspelt name in the tables: no window would work as it
  // should, so the program does not start half-wired.
  const bool lifecycle = wireWindowLifecycle(ui);
  if (!wireServiceClient(ui) || !lifecycle) endProcess(1);
  if (!ui.load(Window::Login, true)) endProcess(1);

  // 9. Global information, then the version check that enables the login button.
  startStartupWorkers(ui);

  // 10. Window events until the last window is gone.
  endProcess(ui.runMessageLoop());
}

}  // namespace pv
