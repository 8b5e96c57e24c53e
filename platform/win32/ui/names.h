#pragma once
// Names by which other programs (and a later copy of ours) recognise our windows.
namespace pv {

// Window classes of the product's own windows. A later copy closes an earlier one's
// windows by these classes only, never by title alone.
inline constexpr wchar_t kTopLevelWindowClass[] = L"Parcelvane.Window";
inline constexpr wchar_t kTabPageWindowClass[] = L"Parcelvane.Page";
inline constexpr wchar_t kPictureBoxWindowClass[] = L"Parcelvane.Picture";
inline constexpr wchar_t kDispatcherWindowClass[] = L"Parcelvane.Dispatcher";

// Every control's child window carries this property; its value is a global atom of the
// control's name in UTF-16 (GlobalGetAtomNameW reads it back), so test drivers and
// accessibility tools find a control by the name the program uses.
inline constexpr wchar_t kControlNameProperty[] = L"Parcelvane.ControlName";

}  // namespace pv
