#pragma once
// Names by which other programs (and a later copy of ours) recognise our windows.
#include "platform/win32/ui/control_name_property.h"

namespace pv {

// Window classes of the product's own windows. A later copy closes an earlier one's
// windows by these classes only, never by title alone.
inline constexpr wchar_t kTopLevelWindowClass[] = L"Parcelvane.Window";
inline constexpr wchar_t kTabPageWindowClass[] = L"Parcelvane.Page";
inline constexpr wchar_t kPictureBoxWindowClass[] = L"Parcelvane.Picture";
inline constexpr wchar_t kDispatcherWindowClass[] = L"Parcelvane.Dispatcher";

}  // namespace pv
