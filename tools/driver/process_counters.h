#pragma once
// What a process holds of the system, as Task Manager's columns show it: for watching a
// long-running client for leaks from beside it.
//
// Wine (8.0) answers the documented calls for another process with zeros: PrivateUsage,
// GetProcessHandleCount and GetGuiResources. Where a call answers 0, the counter is taken
// the long way instead, and `how` says so:
//   private bytes  the committed private regions of its address space (VirtualQueryEx)
//   handles        its entries in the system's handle table (SystemHandleInformation)
//   GDI objects    the live entries of the GDI handle table its PEB points to
//   USER objects   its windows, top-level, child and message-only (menus, hooks and
//                  cursors are not counted this way)
#include <windows.h>

#include <cstdint>
#include <string>

namespace pv::driver {

struct ProcessCounters {
  uint64_t privateBytes = 0;
  uint64_t handles = 0;
  uint64_t gdiObjects = 0;
  uint64_t userObjects = 0;
  std::wstring how;  // "api" or "walk" for each counter, in the order above
};

// The counters of the process that owns `window`; false with `error` set when the process
// cannot be opened or a counter cannot be read either way.
bool readProcessCounters(HWND window, ProcessCounters& counters, std::wstring& error);

}  // namespace pv::driver
