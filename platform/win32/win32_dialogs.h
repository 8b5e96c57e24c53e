#pragma once
// Dialogs on Win32: MessageBoxW owned by the named window of ours (none when it is not
// loaded). A worker's box is modal to its owner like one from the user-interface thread.
#include "core/ui/dialogs.h"

namespace pv {

class Win32Dialogs final : public Dialogs {
 public:
  DialogAnswer show(const DialogMessage& message) override;
};

}  // namespace pv
