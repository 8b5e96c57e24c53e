#pragma once
// The pixel density of the displays the windows are on, through whichever of the system's
// DPI functions this Windows has. Windows 10 (1703 on) has per-monitor awareness v2, 8.1
// per-monitor awareness without it, 7 only the one system density; the newer functions are
// looked up at run time, so the same program runs on all of them and asks each for what it
// knows. User-interface thread.
#include <windows.h>

#include "platform/win32/unique.h"

namespace pv::win32ui {

class DisplayDensity {
 public:
  DisplayDensity();

  // Tells the system this process draws for each monitor's density itself (per-monitor
  // v2, else per-monitor, else system-wide). The manifest says the same; this covers a
  // process started without it. Before the first window.
  void declareAwareness() const noexcept;

  // Dots per inch of the monitor a window is on (the system's density where monitors
  // cannot differ); 96 when nothing answers.
  int ofWindow(HWND window) const noexcept;
  // ... of the monitor nearest to a screen point.
  int atPoint(POINT point) const noexcept;

  // AdjustWindowRectEx with the frame metrics of `dpi`.
  bool adjustWindowRect(RECT& rect, DWORD style, bool menu, DWORD exStyle, int dpi) const noexcept;

 private:
  int systemDpi() const noexcept;
  int monitorDpi(HMONITOR monitor) const noexcept;

  using DpiForWindow = UINT(WINAPI*)(HWND);
  using DpiForSystem = UINT(WINAPI*)();
  using SetAwarenessContext = BOOL(WINAPI*)(HANDLE);
  using AdjustForDpi = BOOL(WINAPI*)(RECT*, DWORD, BOOL, DWORD, UINT);
  using DpiForMonitor = HRESULT(WINAPI*)(HMONITOR, int, UINT*, UINT*);
  using SetAwareness = HRESULT(WINAPI*)(int);
  using SetDpiAware = BOOL(WINAPI*)();

  UniqueModule shcore_;
  DpiForWindow dpiForWindow_ = nullptr;
  DpiForSystem dpiForSystem_ = nullptr;
  SetAwarenessContext setAwarenessContext_ = nullptr;
  AdjustForDpi adjustForDpi_ = nullptr;
  DpiForMonitor dpiForMonitor_ = nullptr;
  SetAwareness setAwareness_ = nullptr;
  SetDpiAware setDpiAware_ = nullptr;
};

}  // namespace pv::win32ui
