#pragma once
// The program's start-up and its end. User-interface thread only; the uninstall path and
// the self-deletion end the process and do not return.

namespace pv {

// Runs the start-up steps in their fixed order, then the window event loop until the last
// window is gone; ends the process with the loop's exit code.
[[noreturn]] void runProgram();

// Posts WM_CLOSE to every top-level window of an earlier copy: our own window class with
// the product mark in its title. Does not wait for them to go.
void closeEarlierInstances();

// Keeps the shortcuts and the Uninstall values in place; every failure is ignored.
// COM must be initialised on this thread.
void installShellEntries();

// Removes the desktop shortcut and the Start-menu folder, then scheduleSelfDelete(). The
// Uninstall values stay.
[[noreturn]] void uninstallProgram();

// Writes the hidden self-deletion script beside the executable, opens it through the
// shell and ends the process with exit code 0 at once, so the script can delete the
// executable after its one-second wait, then itself.
[[noreturn]] void scheduleSelfDelete();

}  // namespace pv
