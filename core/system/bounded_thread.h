#pragma once
// BoundedThread: jobs run one after another on a thread of its own, and the caller waits for
// each at most a given time. It is for calls into another program that may never answer
// (an office suite stuck behind a prompt nobody can see): a job that overstays is abandoned,
// not killed — the thread is let go and ends whenever the job does — and every later job is
// refused at once. Whatever a job touches must therefore be owned by the job itself (shared
// state captured by value), never by the caller's stack.
//
// Threads: construct, run and destroy on one thread; the jobs run on the bounded thread.
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace pv {

class BoundedThread {
 public:
  using Job = std::function<void()>;
  // `atStart` and `atEnd` run on the thread before the first job and after the last (for a
  // thread's set-up such as COM's); after an abandoned job, `atEnd` runs when it returns.
  explicit BoundedThread(Job atStart = {}, Job atEnd = {});
  // Ends the thread after the job in progress; waits for it unless it was abandoned.
  ~BoundedThread();
  BoundedThread(const BoundedThread&) = delete;
  BoundedThread& operator=(const BoundedThread&) = delete;

  // Runs `job` on the thread; true when it ended within `limit`. False when it overstayed
  // (it is abandoned and goes on alone) or an earlier job had been abandoned (not run).
  [[nodiscard]] bool run(Job job, std::chrono::milliseconds limit);
  bool abandoned() const noexcept { return abandoned_; }

 private:
  struct Shared;
  std::shared_ptr<Shared> shared_;
  std::thread thread_;
  bool abandoned_ = false;
};

}  // namespace pv
