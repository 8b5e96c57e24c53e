// parcelvane.exe from its first step to its end. The steps run in a fixed order: each
// relies on the ones before it (the closing of an earlier copy must precede our own
// windows, the API base URL must be set before any worker reads it). What the login
// window does not need comes after its first paint, so the window shows as soon as a
// window can.
#include "app/startup.h"

#include <windows.h>

#include <commctrl.h>
#include <objbase.h>

#include "app/program.h"
#include "core/batch/journal.h"
#include "core/process/command_line.h"
#include "core/client/client_events.h"
#include "core/client/window_lifecycle.h"
#include "platform/win32/com_apartment.h"
#include "platform/win32/lifecycle/shell.h"

namespace pv {

namespace {

// The exit routine. The process then ends through ExitProcess, which stops every worker
// before anything they use goes away: a worker still waiting on the network must not
// wake up to a released window adapter or transport.
[[noreturn]] void endProcess(ProcessState& state, int exitCode) {
  releaseProcessState(state);
  ExitProcess(static_cast<UINT>(exitCode));
}

void initCommonControls() {
  INITCOMMONCONTROLSEX controls{sizeof(controls), ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES |
                                                      ICC_BAR_CLASSES | ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);
}

}  // namespace

void runProgram() {
  // Shell links need COM on their thread; the windows' picture decoder needs it too.
  const ComApartment com;

  // 1. An earlier copy's windows go before ours appear: they carry the same mark.
  closeEarlierInstances();

  // 2. The uninstall word. Splitting the command line takes the shell library, which the
  // login window does without: only a line that holds the word is split.
  if (mayAskForUninstall(programCommandLine()) && asksForUninstall(programArguments())) {
    uninstallProgram();
  }

  // 3. The program: records (with the service's address and the built-in contact), the
  // window adapter and every context. Made here once and never destroyed (program.h).
  initCommonControls();
  Program& program = *new Program;

  // 4. Every window's events, then the login window, not modal and without an owner;
  // painted by the time load returns.
  if (!program.wire() || !program.ui.load(Window::Login, true)) endProcess(program.state, 1);

  // 5. Global information, then the version check that enables the login button.
  startLoginWorkers(program.client);

  // 6. What the login window does not need in order to show, on a worker: its web page
  // (the rendering mode, the browser control, the navigation) and then the shortcuts and
  // Uninstall values. Nothing on the screen waits for either; the shortcuts are rewritten
  // at every start, so one cut short by an early end comes back at the next.
  program.workers.start([&program] {
    loadLoginWebPage(program.client);
    const ComApartment shellLinks;
    installShellEntries();
  });

  // Old journals go on a worker of their own, once the window is painted: nothing on the
  // screen waits for them, and a worker started sooner takes a share of the processor the
  // login window is made with.
  program.workers.start([&program] { pruneJournals(program.runFiles.journalFolder, program.clock.now()); });

  // 7. Window events until the last window is gone.
  endProcess(program.state, program.ui.runMessageLoop());
}

}  // namespace pv
