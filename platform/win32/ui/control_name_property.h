#pragma once
// The window property by which a control of ours is found from outside: the product sets it
// on every control it creates; driver.exe and the e2e fixture read (or set) it. Its value is
// a global atom of the control's name in UTF-16 (GlobalGetAtomNameW reads it back).
//
// Included by programs that link nothing of the product: keep this header free of any
// include.
namespace pv {

inline constexpr wchar_t kControlNameProperty[] = L"Parcelvane.ControlName";

}  // namespace pv
