#pragma once
// The clipboard's text, read and written from the driver's own process, as another program
// the operator copies from would.
#include <string>

namespace pv::driver {

// Replaces the clipboard's content with `text` as CF_UNICODETEXT; the text stays there after
// the driver ends. False with the reason in `error` when the clipboard stayed busy.
bool setClipboardText(const std::wstring& text, std::wstring& error);

// The clipboard's CF_UNICODETEXT, empty when it holds no text. False when it stayed busy.
bool clipboardText(std::wstring& text, std::wstring& error);

}  // namespace pv::driver
