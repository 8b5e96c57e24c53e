#pragma once
// The service client's part of start-up: the login window's and the main window's event
// handlers, and the two start-up workers. Call both on the user-interface thread before
// the login window is loaded; the workers start when the login window has been created.
namespace pv {

class Win32Ui;

// Login button, Enter in the password box, the menu "操作" and its download item, the
// hidden label that opens the main window, the web page's links; then, once the login
// window exists, the global-information and version-check workers.
void wireLoginWindow(Win32Ui& ui);

// Both of the above, as start-up calls them.
void wireServiceClient(Win32Ui& ui);

// Main window set-up (greeting, contact page, project list), token refresh on
// activation, project choice and the refresh link.
void wireMainWindow(Win32Ui& ui);

}  // namespace pv
