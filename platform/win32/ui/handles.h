#pragma once
// Owners of the user-interface handles unique.h does not cover.
#include <windows.h>

#include "platform/win32/unique.h"

namespace pv {

// A window we created and have not seen destroyed. When the operator or the system
// destroys it first, the owner must release() it on WM_NCDESTROY.
struct WindowTraits {
  using Raw = HWND;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { DestroyWindow(h); }
};
using UniqueWindow = Unique<WindowTraits>;

// Icons from LoadImageW without LR_SHARED.
struct IconTraits {
  using Raw = HICON;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { DestroyIcon(h); }
};
using UniqueIcon = Unique<IconTraits>;

// A menu not (yet) attached to a window; once SetMenu succeeds the window owns it.
struct MenuTraits {
  using Raw = HMENU;
  static Raw empty() noexcept { return nullptr; }
  static void close(Raw h) noexcept { DestroyMenu(h); }
};
using UniqueMenu = Unique<MenuTraits>;

// Regions not (yet) handed to SetWindowRgn, which takes them over.
using UniqueRegion = Unique<GdiObjectTraits<HRGN>>;

}  // namespace pv
