#pragma once
// Browser on Win32: the shell opens the address with the operator's default browser.
#include "core/system/browser.h"

namespace pv {

class ShellBrowser final : public Browser {
 public:
  bool open(std::string_view address) override;
};

}  // namespace pv
