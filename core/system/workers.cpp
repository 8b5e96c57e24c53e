#include "core/system/workers.h"

#include <exception>
#include <thread>
#include <utility>

#include "core/system/note_failure.h"

namespace pv {

namespace {
void runGuarded(const WorkerJob& job) noexcept {
  try {
    if (job) job();
  } catch (const std::exception& e) {
    noteFailure("runGuarded", e.what());
  } catch (...) {
    noteFailure("runGuarded", "worker job let an exception out");
  }
}
}  // namespace

void ThreadWorkers::start(WorkerJob job) noexcept {
  try {
    std::jthread thread([job = std::move(job)] { runGuarded(job); });
    thread.detach();
  } catch (...) {
    // No thread to be had: the job is dropped, as a failed start of any worker would be.
    noteFailure("ThreadWorkers::start", "no thread: job dropped");
  }
}

void ManualWorkers::start(WorkerJob job) noexcept {
  try {
    std::lock_guard lock(mutex_);
    queue_.push_back(std::move(job));
  } catch (...) {
    noteFailure("ManualWorkers::start", "job could not be queued");
  }
}

size_t ManualWorkers::pending() const {
  std::lock_guard lock(mutex_);
  return queue_.size();
}

bool ManualWorkers::runNext() { return runOne(false); }

bool ManualWorkers::runLast() { return runOne(true); }

bool ManualWorkers::runOne(bool newest) {
  WorkerJob job;
  {
    std::lock_guard lock(mutex_);
    if (queue_.empty()) return false;
    job = std::move(newest ? queue_.back() : queue_.front());
    if (newest) {
      queue_.pop_back();
    } else {
      queue_.pop_front();
    }
  }
  runGuarded(job);
  return true;
}

size_t ManualWorkers::runAll(size_t limit) {
  size_t ran = 0;
  while (ran < limit && runNext()) ++ran;
  return ran;
}

}  // namespace pv
