#pragma once
// The Pauses port: a worker waits a while (between retries of a failing call, after each
// append to a rich edit box, each second of a countdown). ThreadPauses is the program's;
// RecordingPauses returns at once and remembers what was asked, so tests take no real time
// and can still check the pacing. Any thread may call.
#include <chrono>
#include <functional>
#include <mutex>
#include <stop_token>
#include <vector>

namespace pv {

using std::chrono::milliseconds;

class Pauses {
 public:
  virtual ~Pauses() = default;
  // Waits `duration` on the calling thread. A stop requested on `stop` ends the wait at
  // once; the result says whether the whole pause was taken (false: stopped).
  virtual bool pause(milliseconds duration, std::stop_token stop = {}) = 0;
};

class ThreadPauses final : public Pauses {
 public:
  bool pause(milliseconds duration, std::stop_token stop = {}) override;
};

class RecordingPauses final : public Pauses {
 public:
  // Runs before each pause returns, with the pause's index (from 0): a test can act
  // "during" a pause, e.g. request the stop of the worker that is waiting.
  using Hook = std::function<void(size_t index)>;
  explicit RecordingPauses(Hook hook = {}) : hook_(std::move(hook)) {}

  bool pause(milliseconds duration, std::stop_token stop = {}) override;
  std::vector<milliseconds> taken() const;  // oldest first, stopped ones included
  milliseconds total() const;
  void clear();

 private:
  Hook hook_;
  mutable std::mutex mutex_;
  std::vector<milliseconds> taken_;
};

}  // namespace pv
