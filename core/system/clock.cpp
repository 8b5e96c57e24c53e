#include "core/system/clock.h"

namespace pv {

ClockTime SystemClock::now() const noexcept { return std::chrono::system_clock::now(); }

}  // namespace pv
