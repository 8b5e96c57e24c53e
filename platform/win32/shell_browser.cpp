#include "platform/win32/shell_browser.h"

#include <windows.h>

#include <objbase.h>
#include <shellapi.h>

#include <string>

#include "core/system/note_failure.h"
#include "platform/win32/wide_text.h"

namespace pv {

bool ShellBrowser::open(std::string_view address) {
  if (address.empty()) return false;
  try {
    const std::wstring target = toWide(address);
    // The shell may hand the address to COM objects: give a worker thread an apartment
    // for the call, and leave one the thread already has as it is.
    const HRESULT com = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED | COINIT_DISABLE_OLE1DDE);
    const auto result = reinterpret_cast<INT_PTR>(
        ShellExecuteW(nullptr, L"open", target.c_str(), nullptr, nullptr, SW_SHOWNORMAL));
    if (SUCCEEDED(com)) CoUninitialize();
    return result > 32;
  } catch (...) {
    noteFailure("ShellBrowser::open", "address could not be opened");
    return false;
  }
}

}  // namespace pv
