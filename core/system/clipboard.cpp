#include "core/system/clipboard.h"

namespace pv {

std::string MemoryClipboard::text() {
  std::lock_guard lock(mutex_);
  return text_;
}

bool MemoryClipboard::setText(std::string_view text) {
  std::lock_guard lock(mutex_);
  text_ = text;
  ++writes_;
  return true;
}

int MemoryClipboard::writes() const {
  std::lock_guard lock(mutex_);
  return writes_;
}

}  // namespace pv
