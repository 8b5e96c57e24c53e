#pragma once
// What happens to the windows as they come and go, apart from the service client's
// flows: saved settings restored and saved, and the two windows the main window carries
// with it (the quick-tip and the result window), loaded hidden when it opens and destroyed
// when it goes. Register on the user-interface thread before the login window is loaded
// and before the service client's handlers, so saved values are in the controls before
// anything reads them.
namespace pv {

class Win32Ui;

void wireWindowLifecycle(Win32Ui& ui);

}  // namespace pv
