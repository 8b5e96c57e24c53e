#pragma once
// The one ClientContext of the process, shared by the login and main window wiring.
#include "core/client/client_context.h"

namespace pv {

class Win32Ui;

// Made on the first call (user-interface thread, before the login window is loaded) with
// the Win32 adapters; lives until the process ends.
ClientContext& clientContext(Win32Ui& ui);

}  // namespace pv
