// What screen readers are told beyond what the controls say of themselves.
#include <windows.h>

#include <oleacc.h>

#include "platform/win32/ui/ui_impl.h"

namespace pv::win32ui {
namespace {

// From oleacc.h, spelt out: its DEFINE_GUIDs would need the import library, and the
// service is reached through COM, where it exists, at run time.
constexpr GUID kAccPropServicesClass{0xb5f8350b, 0x0548, 0x48b1, {0xa6, 0xee, 0x88, 0xbd, 0x00, 0xb4, 0xa5, 0xe7}};
constexpr GUID kAccPropServicesInterface{0x6e26e776, 0x04f0, 0x495d, {0x80, 0xe4, 0x33, 0x30, 0x35, 0x2e, 0x31, 0x69}};
constexpr GUID kNameProperty{0x608d3df8, 0x8128, 0x4aa7, {0xa4, 0x28, 0xf5, 0x5e, 0x49, 0x26, 0x72, 0x91}};

}  // namespace

void Impl::nameForScreenReaders(WindowState& w) {
  if (!accessibleProperties_ && !accessiblePropertiesTried_) {
    accessiblePropertiesTried_ = true;
    CoCreateInstance(kAccPropServicesClass, nullptr, CLSCTX_INPROC_SERVER, kAccPropServicesInterface,
                     reinterpret_cast<void**>(accessibleProperties_.GetAddressOf()));
  }
  if (!accessibleProperties_) return;
  // Buttons, check boxes and labels are named by their own text already. A box's text is
  // its content, so it is named after its label (the reader's own guess, the static before
  // it in z-order, misses the boxes that have none and the boxes raised over another).
  for (const ControlState& c : w.controls) {
    const ControlKind kind = c.def->kind;
    if (!c.hwnd || (kind != ControlKind::Edit && kind != ControlKind::RichEdit &&
                    kind != ControlKind::ComboBox)) {
      continue;
    }
    const std::wstring name = toWide(accessibleName(*w.def, *c.def));
    accessibleProperties_->SetHwndPropStr(c.hwnd, static_cast<DWORD>(OBJID_CLIENT), CHILDID_SELF,
                                          kNameProperty, name.c_str());
  }
}

void Impl::announce(WindowState& w) {
  // The quick tip appears without the focus: a reader learns of it only as an alert, read
  // from its verdict box.
  for (const ControlState& c : w.controls) {
    if (c.hwnd && c.def->kind == ControlKind::RichEdit) {
      NotifyWinEvent(EVENT_SYSTEM_ALERT, c.hwnd, OBJID_CLIENT, CHILDID_SELF);
      return;
    }
  }
}

}  // namespace pv::win32ui
