#include "core/system/clock.h"

#include <cstdio>
#include <ctime>

namespace pv {

std::string localTimestamp(ClockTime time) {
  const std::time_t seconds = std::chrono::system_clock::to_time_t(time);
  std::tm local{};
#ifdef _WIN32
  if (localtime_s(&local, &seconds) != 0) return {};
#else
  if (localtime_r(&seconds, &local) == nullptr) return {};
#endif
  char text[32];
  std::snprintf(text, sizeof text, "%04d%02d%02d-%02d%02d%02d", local.tm_year + 1900, local.tm_mon + 1,
                local.tm_mday, local.tm_hour, local.tm_min, local.tm_sec);
  return text;
}


ClockTime SystemClock::now() const noexcept { return std::chrono::system_clock::now(); }

}  // namespace pv
