// parcelvane.exe: brings up the login window and runs the user-interface thread until the
// last window is gone.
#include <windows.h>

#include <commctrl.h>

#include <string>

#include "app/client_wiring.h"
#include "core/product/product.h"
#include "platform/win32/ui/win32_ui.h"

namespace {

int run() {
  INITCOMMONCONTROLSEX controls{sizeof(controls),
                                ICC_STANDARD_CLASSES | ICC_WIN95_CLASSES | ICC_BAR_CLASSES |
                                    ICC_TAB_CLASSES};
  InitCommonControlsEx(&controls);

  pv::Win32Ui ui;
  // The shown title carries the version the operator runs.
  ui.events().on(pv::Window::Login, "", pv::Event::Created, [&ui](pv::EventArgs&) {
    ui.setTitle(pv::Window::Login,
                ui.title(pv::Window::Login) + std::string(pv::kProductVersion));
  });
  pv::wireServiceClient(ui);
  if (!ui.load(pv::Window::Login, true)) return 1;
  return ui.runMessageLoop();
}

}  // namespace

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    return run();
  } catch (...) {
    return 1;
  }
}
