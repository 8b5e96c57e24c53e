#include "app/window_lifecycle.h"

#include "app/client_context.h"
#include "core/client/window_lifecycle.h"
#include "core/settings/ini_file.h"
#include "core/settings/settings.h"
#include "platform/win32/dpapi_protector.h"
#include "platform/win32/program_folders.h"
#include "platform/win32/settings_registry.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {

bool wireWindowLifecycle(Win32Ui& ui) {
  // Kept to the end of the process, like the windows whose events use them.
  static IniFileStore store(runningExecutablePath().parent_path(), windowsFolder());
  static DpapiProtector protector;
  static const SettingsPorts ports{ui, store, protector};
  return registerWindowLifecycleEvents(clientContext(ui), ports);
}

}  // namespace pv
