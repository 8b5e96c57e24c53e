#include "core/system/pauses.h"

#include <condition_variable>
#include <thread>

namespace pv {

bool ThreadPauses::pause(milliseconds duration, std::stop_token stop) {
  if (stop.stop_requested()) return false;
  if (!stop.stop_possible()) {
    std::this_thread::sleep_for(duration);
    return true;
  }
  std::mutex mutex;
  std::condition_variable_any wake;
  std::unique_lock lock(mutex);
  // Nothing notifies: the wait ends at the time or at the stop, never on a spurious wake-up.
  wake.wait_for(lock, stop, duration, [] { return false; });
  return !stop.stop_requested();
}

bool RecordingPauses::pause(milliseconds duration, std::stop_token stop) {
  size_t index = 0;
  {
    std::lock_guard lock(mutex_);
    index = taken_.size();
    taken_.push_back(duration);
  }
  if (hook_) hook_(index);
  return !stop.stop_requested();
}

std::vector<milliseconds> RecordingPauses::taken() const {
  std::lock_guard lock(mutex_);
  return taken_;
}

milliseconds RecordingPauses::total() const {
  milliseconds sum{0};
  for (milliseconds m : taken()) sum += m;
  return sum;
}

void RecordingPauses::clear() {
  std::lock_guard lock(mutex_);
  taken_.clear();
}

}  // namespace pv
