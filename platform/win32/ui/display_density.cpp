#include "platform/win32/ui/display_density.h"

#include "core/ui/display_scale.h"

namespace pv::win32ui {
namespace {

// The awareness contexts are pseudo-handles; older headers do not name them.
const HANDLE kPerMonitorV2 = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-4));
const HANDLE kPerMonitor = reinterpret_cast<HANDLE>(static_cast<INT_PTR>(-3));
constexpr int kProcessPerMonitorAware = 2;  // PROCESS_DPI_AWARENESS
constexpr int kEffectiveDpi = 0;            // MONITOR_DPI_TYPE

template <class F>
F lookUp(HMODULE module, const char* name) {
  if (!module) return nullptr;
  // The cast from FARPROC is the documented way to call what GetProcAddress found.
  return reinterpret_cast<F>(reinterpret_cast<void*>(GetProcAddress(module, name)));
}

}  // namespace

DisplayDensity::DisplayDensity() {
  HMODULE user32 = GetModuleHandleW(L"user32.dll");
  dpiForWindow_ = lookUp<DpiForWindow>(user32, "GetDpiForWindow");
  dpiForSystem_ = lookUp<DpiForSystem>(user32, "GetDpiForSystem");
  setAwarenessContext_ = lookUp<SetAwarenessContext>(user32, "SetProcessDpiAwarenessContext");
  adjustForDpi_ = lookUp<AdjustForDpi>(user32, "AdjustWindowRectExForDpi");
  setDpiAware_ = lookUp<SetDpiAware>(user32, "SetProcessDPIAware");
  shcore_.reset(LoadLibraryW(L"shcore.dll"));  // Windows 8.1 on
  dpiForMonitor_ = lookUp<DpiForMonitor>(shcore_.get(), "GetDpiForMonitor");
  setAwareness_ = lookUp<SetAwareness>(shcore_.get(), "SetProcessDpiAwareness");
}

void DisplayDensity::declareAwareness() const noexcept {
  // Each call fails once the awareness is set (by the manifest, or the call before).
  if (setAwarenessContext_ &&
      (setAwarenessContext_(kPerMonitorV2) || setAwarenessContext_(kPerMonitor))) {
    return;
  }
  if (setAwareness_ && SUCCEEDED(setAwareness_(kProcessPerMonitorAware))) return;
  if (setDpiAware_) setDpiAware_();
}

int DisplayDensity::systemDpi() const noexcept {
  if (dpiForSystem_) {
    if (const UINT dpi = dpiForSystem_()) return static_cast<int>(dpi);
  }
  int dpi = 0;
  if (HDC screen = GetDC(nullptr)) {
    dpi = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  return dpi > 0 ? dpi : kDesignDpi;
}

int DisplayDensity::monitorDpi(HMONITOR monitor) const noexcept {
  UINT x = 0, y = 0;
  if (monitor && dpiForMonitor_ && SUCCEEDED(dpiForMonitor_(monitor, kEffectiveDpi, &x, &y)) &&
      y > 0) {
    return static_cast<int>(y);
  }
  return systemDpi();
}

int DisplayDensity::ofWindow(HWND window) const noexcept {
  if (dpiForWindow_) {
    if (const UINT dpi = dpiForWindow_(window)) return static_cast<int>(dpi);
  }
  return monitorDpi(MonitorFromWindow(window, MONITOR_DEFAULTTONEAREST));
}

int DisplayDensity::atPoint(POINT point) const noexcept {
  return monitorDpi(MonitorFromPoint(point, MONITOR_DEFAULTTONEAREST));
}

bool DisplayDensity::adjustWindowRect(RECT& rect, DWORD style, bool menu, DWORD exStyle,
                                      int dpi) const noexcept {
  if (adjustForDpi_) {
    return adjustForDpi_(&rect, style, menu ? TRUE : FALSE, exStyle, static_cast<UINT>(dpi)) != FALSE;
  }
  // Without per-monitor awareness the frame has the system's metrics, which this uses.
  return AdjustWindowRectEx(&rect, style, menu ? TRUE : FALSE, exStyle) != FALSE;
}

}  // namespace pv::win32ui
