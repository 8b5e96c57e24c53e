// parcelvane.exe: the program entry. Start-up, the event loop and the end are in startup.cpp.
#include <windows.h>

#include "app/startup.h"
#include "core/system/note_failure.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    pv::runProgram();
  } catch (...) {
    pv::noteFailure("wWinMain", "program ended by an exception");
    return 1;
  }
}
