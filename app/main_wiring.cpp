#include "app/client_context.h"
#include "app/client_wiring.h"
#include "core/client/client_events.h"
#include "platform/win32/ui/win32_ui.h"

namespace pv {

bool wireMainWindow(Win32Ui& ui) { return registerMainWindowEvents(clientContext(ui)); }

}  // namespace pv
