#include "core/ui/dialogs.h"

namespace pv {

DialogAnswer RecordingDialogs::show(const DialogMessage& message) {
  std::lock_guard lock(mutex_);
  shown_.push_back(message);
  if (!script_.empty()) {
    const DialogAnswer answer = script_.front();
    script_.pop_front();
    return answer;
  }
  switch (message.buttons) {
    case DialogButtons::Ok: return DialogAnswer::Ok;
    case DialogButtons::OkCancel: return DialogAnswer::Cancel;
    case DialogButtons::YesNo: return DialogAnswer::No;
  }
  return DialogAnswer::None;
}

void RecordingDialogs::script(DialogAnswer answer) {
  std::lock_guard lock(mutex_);
  script_.push_back(answer);
}

std::vector<DialogMessage> RecordingDialogs::shown() const {
  std::lock_guard lock(mutex_);
  return shown_;
}

size_t RecordingDialogs::count() const {
  std::lock_guard lock(mutex_);
  return shown_.size();
}

void RecordingDialogs::clear() {
  std::lock_guard lock(mutex_);
  shown_.clear();
  script_.clear();
}

}  // namespace pv
