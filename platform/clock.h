#pragma once
#include <cstdint>

namespace platform {

struct LocalTime {
  int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0, millisecond = 0;
};

LocalTime GetLocalTime();
// Seconds since 1970-01-01 UTC (the time stamps of the event log).
int64_t UnixTimeNow();
// Monotonic milliseconds, for timeouts.
uint64_t TickCountMs();

}  // namespace platform
