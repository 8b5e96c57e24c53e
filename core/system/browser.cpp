#include "core/system/browser.h"

namespace pv {

bool RecordingBrowser::open(std::string_view address) {
  if (address.empty()) return false;
  std::lock_guard lock(mutex_);
  opened_.emplace_back(address);
  return true;
}

std::vector<std::string> RecordingBrowser::opened() const {
  std::lock_guard lock(mutex_);
  return opened_;
}

}  // namespace pv
