#include "platform/win32/win32_dialogs.h"

#include <windows.h>

#include <string>

#include "core/system/note_failure.h"
#include "platform/win32/ui/win32_ui.h"
#include "platform/win32/wide_text.h"

namespace pv {

namespace {

UINT styleOf(const DialogMessage& m) {
  UINT style = 0;
  switch (m.buttons) {
    case DialogButtons::Ok: style = MB_OK; break;
    case DialogButtons::OkCancel: style = MB_OKCANCEL; break;
    case DialogButtons::YesNo: style = MB_YESNO; break;
  }
  switch (m.icon) {
    case DialogIcon::None: break;
    case DialogIcon::Information: style |= MB_ICONINFORMATION; break;
    case DialogIcon::Warning: style |= MB_ICONWARNING; break;
    case DialogIcon::Error: style |= MB_ICONERROR; break;
    case DialogIcon::Question: style |= MB_ICONQUESTION; break;
  }
  return style;
}

}  // namespace

DialogAnswer Win32Dialogs::show(const DialogMessage& message) {
  try {
    const std::wstring text = toWide(message.text);
    const std::wstring title = toWide(message.title);
    int answer = 0;
    ui_.onUiThread([&] {
      HWND owner = message.owner ? ui_.windowHandle(*message.owner) : nullptr;
      // Without an owner the box would open behind the operator's window.
      const UINT style = styleOf(message) | (owner ? 0u : static_cast<UINT>(MB_SETFOREGROUND));
      answer = MessageBoxW(owner, text.c_str(), title.c_str(), style);
    });
    switch (answer) {
      case IDOK: return DialogAnswer::Ok;
      case IDCANCEL: return DialogAnswer::Cancel;
      case IDYES: return DialogAnswer::Yes;
      case IDNO: return DialogAnswer::No;
      default: return DialogAnswer::None;
    }
  } catch (...) {
    noteFailure("Win32Dialogs::show", "message box failed");
    return DialogAnswer::None;
  }
}

}  // namespace pv
