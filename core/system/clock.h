#pragma once
// The Clock port: the wall-clock time as the program stores date-times, days since
// 1899-12-30 00:00 as a real number (so one hour is 1/24). The wall clock may be set back
// by the operator; code comparing two readings must allow for that. Any thread may call.
#include <atomic>
#include <chrono>

namespace pv {

inline constexpr double kHoursPerDay = 24.0;

// Days since 1899-12-30 of a system-clock time (UTC).
double toClockDays(std::chrono::system_clock::time_point time) noexcept;

class Clock {
 public:
  virtual ~Clock() = default;
  virtual double now() const noexcept = 0;
};

class SystemClock final : public Clock {
 public:
  double now() const noexcept override;
};

// A clock that shows what the test set, and moves only when told.
class FakeClock final : public Clock {
 public:
  explicit FakeClock(double days = 45000.0) noexcept : days_(days) {}
  double now() const noexcept override { return days_.load(); }
  void set(double days) noexcept { days_.store(days); }
  void advanceMinutes(double minutes) noexcept {
    days_.store(days_.load() + minutes / (kHoursPerDay * 60.0));
  }

 private:
  std::atomic<double> days_;
};

}  // namespace pv
