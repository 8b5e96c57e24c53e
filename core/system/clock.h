#pragma once
// The Clock port: the wall-clock time. The wall clock may be set back by the operator; code
// comparing two readings must allow for that. Any thread may call.
#include <atomic>
#include <chrono>
#include <string>

namespace pv {

using ClockTime = std::chrono::system_clock::time_point;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual ClockTime now() const noexcept = 0;
};

class SystemClock final : public Clock {
 public:
  ClockTime now() const noexcept override;
};

// A clock that shows what the test set, and moves only when told.
class FakeClock final : public Clock {
 public:
  // 2023-03-15 00:00 UTC: any fixed, plausible day.
  explicit FakeClock(ClockTime time = ClockTime{std::chrono::seconds(1678838400)}) noexcept
      : ticks_(time.time_since_epoch().count()) {}
  ClockTime now() const noexcept override { return ClockTime{ClockTime::duration{ticks_.load()}}; }
  void set(ClockTime time) noexcept { ticks_.store(time.time_since_epoch().count()); }
  void advance(ClockTime::duration by) noexcept { ticks_.fetch_add(by.count()); }

 private:
  std::atomic<ClockTime::rep> ticks_;
};

// The time as the operator's own clock shows it, "yyyyMMdd-HHmmss" (file names carry it).
std::string localTimestamp(ClockTime time);

}  // namespace pv
