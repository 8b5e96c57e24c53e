#pragma once
// The service client's part of start-up: the login window's and the main window's event
// handlers, registered on the user-interface thread before the login window is loaded,
// and the two start-up workers, started after it.
namespace pv {

class Win32Ui;

// Login button, Enter in the password box, the menu "操作" and its download item, the
// hidden label that opens the main window, the web page's links.
[[nodiscard]] bool wireLoginWindow(Win32Ui& ui);

// The global-information and version-check workers. Start-up calls it once the login
// window is loaded: the check enables its login button.
void startStartupWorkers(Win32Ui& ui);

// The login and main windows' handlers, as start-up calls them; false when a registration
// was refused.
[[nodiscard]] bool wireServiceClient(Win32Ui& ui);

// Main window set-up (greeting, contact page, project list), token refresh on
// activation, project choice and the refresh link.
[[nodiscard]] bool wireMainWindow(Win32Ui& ui);

}  // namespace pv
