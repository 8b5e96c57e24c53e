#pragma once
// The Workers port: starts a job on a worker thread that nobody waits for. Network calls
// and runs are started this way by window events, so the user-interface thread never
// blocks on them. ThreadWorkers is the program's; ManualWorkers lets a test decide when
// (and on which thread) queued jobs run.
//
// A job must not let an exception out; the starters note any that do (noteFailure) and
// carry on, since it must not end the process.
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>

namespace pv {

using WorkerJob = std::function<void()>;

class Workers {
 public:
  virtual ~Workers() = default;
  virtual void start(WorkerJob job) noexcept = 0;
};

// Each job on its own std::jthread, detached at once: never joined, so a job blocked in a
// request cannot hold up the thread that started it or the end of the process.
class ThreadWorkers final : public Workers {
 public:
  void start(WorkerJob job) noexcept override;
};

class ManualWorkers final : public Workers {
 public:
  void start(WorkerJob job) noexcept override;
  size_t pending() const;
  // Runs the oldest queued job on the calling thread; false when none was queued.
  bool runNext();
  // Runs the newest queued job instead: threads do not end in the order they started.
  bool runLast();
  // Runs queued jobs, including those they queue, until none is left or `limit` ran;
  // the number that ran.
  size_t runAll(size_t limit = 1000);

 private:
  bool runOne(bool newest);

  mutable std::mutex mutex_;
  std::deque<WorkerJob> queue_;
};

}  // namespace pv
