// parcelvane.exe: the program entry. Start-up, the event loop and the end are in startup.cpp.
#include <windows.h>

#include "app/startup.h"

int WINAPI wWinMain(HINSTANCE, HINSTANCE, PWSTR, int) {
  try {
    pv::runProgram();
  } catch (...) {
    return 1;  // nothing can be reported from here
  }
}
