#pragma once
// Screen captures saved as PNG (WIC encoder), for artefacts of tests and runs.
#include <windows.h>

#include <string>

namespace pv::driver {

// The screen area of `window`, or the whole virtual screen when window is null.
// Returns false, with a reason in *error, when nothing was written.
bool saveScreenshot(const std::wstring& path, HWND window, std::wstring* error);

// The number of distinct colours inside the control's screen rectangle.
bool countColours(HWND control, size_t* colours, std::wstring* error);

}  // namespace pv::driver
