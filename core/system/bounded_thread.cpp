#include "core/system/bounded_thread.h"

#include <condition_variable>
#include <mutex>
#include <optional>

#include "core/system/note_failure.h"

namespace pv {

struct BoundedThread::Shared {
  std::mutex mutex;
  std::condition_variable changed;
  std::optional<Job> next;  // handed over, not yet taken
  bool busy = false;        // a job taken and not yet ended
  bool ending = false;
};

namespace {

void runGuarded(const BoundedThread::Job& job) {
  if (!job) return;
  try {
    job();
  } catch (const std::exception& e) {
    noteFailure("bounded thread", e.what());
  } catch (...) {
    noteFailure("bounded thread", "a job failed");
  }
}

}  // namespace

BoundedThread::BoundedThread(Job atStart, Job atEnd) : shared_(std::make_shared<Shared>()) {
  thread_ = std::thread([shared = shared_, atStart = std::move(atStart), atEnd = std::move(atEnd)] {
    runGuarded(atStart);
    for (;;) {
      Job job;
      {
        std::unique_lock lock(shared->mutex);
        shared->changed.wait(lock, [&] { return shared->next.has_value() || shared->ending; });
        if (!shared->next) break;
        job = std::move(*shared->next);
        shared->next.reset();
        shared->busy = true;
      }
      runGuarded(job);
      {
        const std::lock_guard lock(shared->mutex);
        shared->busy = false;
      }
      shared->changed.notify_all();
    }
    runGuarded(atEnd);
  });
}

BoundedThread::~BoundedThread() {
  {
    const std::lock_guard lock(shared_->mutex);
    shared_->ending = true;
  }
  shared_->changed.notify_all();
  if (abandoned_) {
    thread_.detach();  // it ends when the abandoned job returns, if ever
  } else {
    thread_.join();
  }
}

bool BoundedThread::run(Job job, std::chrono::milliseconds limit) {
  if (abandoned_) return false;
  std::unique_lock lock(shared_->mutex);
  shared_->next = std::move(job);
  shared_->changed.notify_all();
  const bool ended = shared_->changed.wait_for(lock, limit, [&] { return !shared_->next && !shared_->busy; });
  if (!ended) abandoned_ = true;
  return ended;
}

}  // namespace pv
