#pragma once
// Dialogs on Win32: MessageBoxW on the user-interface thread, owned by the named window of
// ours (none when it is not loaded). A worker's box goes through the Ui adapter's hand-off
// and waits there for the answer, modal to its owner like any other box.
#include "core/ui/dialogs.h"

namespace pv {

class Win32Ui;

class Win32Dialogs final : public Dialogs {
 public:
  explicit Win32Dialogs(Win32Ui& ui) : ui_(ui) {}
  DialogAnswer show(const DialogMessage& message) override;

 private:
  Win32Ui& ui_;
};

}  // namespace pv
