#pragma once
// The windows' opening and closing (core/client/window_lifecycle.h) with the Win32 settings
// store and password sealing. Register on the user-interface thread before the login
// window is loaded; false when a registration was refused.
namespace pv {

class Win32Ui;

[[nodiscard]] bool wireWindowLifecycle(Win32Ui& ui);

}  // namespace pv
