#include "app/window_lifecycle.h"

#include "core/settings/ini_file.h"
#include "core/settings/settings.h"
#include "platform/win32/settings_registry.h"
#include "platform/win32/settings_store.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {

void wireWindowLifecycle(Win32Ui& ui) {
  // Kept to the end of the process, like the windows whose events use them.
  static IniFileStore store(runningExecutablePath().parent_path(), windowsFolder());
  static DpapiProtector protector;
  static const SettingsPorts ports{ui, store, protector};
  EventHub& events = ui.events();

  events.on(Window::Login, "", Event::Created, [](EventArgs&) {
    writeBrowserEmulationValue();
    loadLoginSettings(ports);
  });
  events.on(Window::Login, "", Event::Destroying, [](EventArgs&) { saveLoginSettings(ports); });

  events.on(Window::Main, "", Event::Created, [&ui](EventArgs&) {
    ui.load(Window::QuickTip, false);
    ui.load(Window::Result, false);
    loadMainSettings(ports);
  });
  events.on(Window::Main, "", Event::Destroying, [&ui](EventArgs&) {
    saveMainSettings(ports);
    ui.destroy(Window::QuickTip);
    ui.destroy(Window::Result);
  });
}

}  // namespace pv
