#pragma once
// The Clipboard port on the system clipboard, as Unicode text (CF_UNICODETEXT), converted
// with code page 936. Any thread may call: each call opens the clipboard for itself.
#include "core/system/clipboard.h"

namespace pv {

class Win32Clipboard final : public Clipboard {
 public:
  std::string text() override;
  bool setText(std::string_view text) override;
  bool appendText(std::string_view expected, std::string_view suffix) override;
};

}  // namespace pv
