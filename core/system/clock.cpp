#include "core/system/clock.h"

namespace pv {

namespace {
// 1970-01-01 counted from 1899-12-30.
constexpr double kUnixEpochDays = 25569.0;
constexpr double kSecondsPerDay = 86400.0;
}  // namespace

double toClockDays(std::chrono::system_clock::time_point time) noexcept {
  const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(time.time_since_epoch());
  return kUnixEpochDays + static_cast<double>(ms.count()) / 1000.0 / kSecondsPerDay;
}

double SystemClock::now() const noexcept { return toClockDays(std::chrono::system_clock::now()); }

}  // namespace pv
