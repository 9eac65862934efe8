#include "platform/clock.h"

#include <sys/time.h>

#include <chrono>
#include <ctime>

namespace platform {

LocalTime GetLocalTime() {
  struct timeval tv {};
  gettimeofday(&tv, nullptr);
  struct tm parts {};
  time_t seconds = tv.tv_sec;
  localtime_r(&seconds, &parts);
  LocalTime t;
  t.year = parts.tm_year + 1900;
  t.month = parts.tm_mon + 1;
  t.day = parts.tm_mday;
  t.hour = parts.tm_hour;
  t.minute = parts.tm_min;
  t.second = parts.tm_sec;
  t.millisecond = static_cast<int>(tv.tv_usec / 1000);
  return t;
}

int64_t UnixTimeNow() { return static_cast<int64_t>(::time(nullptr)); }

uint64_t TickCountMs() {
  return static_cast<uint64_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

}  // namespace platform
