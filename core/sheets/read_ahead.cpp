#include "core/sheets/read_ahead.h"

#include <exception>
#include <utility>

#include "core/system/note_failure.h"

namespace pv {

ReadAhead::ReadAhead(std::function<bool(std::string&)> produce, size_t depth)
    : produce_(std::move(produce)), depth_(depth == 0 ? 1 : depth),
      worker_([this](const std::stop_token& stop) { run(stop); }) {}

ReadAhead::~ReadAhead() {
  worker_.request_stop();
  changed_.notify_all();
  if (worker_.joinable()) worker_.join();
}

void ReadAhead::run(const std::stop_token& stop) {
  try {
    for (;;) {
      std::string piece;
      {
        std::unique_lock lock(mutex_);
        if (!changed_.wait(lock, stop, [&] { return ready_.size() < depth_; })) break;
        if (!spare_.empty()) {
          piece = std::move(spare_.back());
          spare_.pop_back();
        }
      }
      piece.clear();
      if (!produce_(piece)) break;
      std::lock_guard lock(mutex_);
      ready_.push_back(std::move(piece));
      changed_.notify_all();
    }
  } catch (const std::exception& e) {
    // Out of memory, say: the consumer sees the data end early, and the producer's own
    // status tells that it did not finish.
    noteFailure("ReadAhead::run", e.what());
  } catch (...) {
    noteFailure("ReadAhead::run", "the producer failed");
  }
  std::lock_guard lock(mutex_);
  ended_ = true;
  changed_.notify_all();
}

bool ReadAhead::next(std::string& out) {
  std::string piece;
  {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [&] { return !ready_.empty() || ended_; });
    if (ready_.empty()) return false;
    piece = std::move(ready_.front());
    ready_.pop_front();
    changed_.notify_all();
  }
  out.append(piece);
  std::lock_guard lock(mutex_);
  spare_.push_back(std::move(piece));
  return true;
}

}  // namespace pv
