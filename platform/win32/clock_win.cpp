#include "platform/clock.h"

#include <windows.h>

namespace platform {

LocalTime GetLocalTime() {
  SYSTEMTIME st;
  ::GetLocalTime(&st);
  LocalTime t;
  t.year = st.wYear;
  t.month = st.wMonth;
  t.day = st.wDay;
  t.hour = st.wHour;
  t.minute = st.wMinute;
  t.second = st.wSecond;
  t.millisecond = st.wMilliseconds;
  return t;
}

int64_t UnixTimeNow() {
  FILETIME ft;
  ::GetSystemTimeAsFileTime(&ft);
  // 100-nanosecond intervals since 1601-01-01; the Unix epoch is 11644473600 s later.
  const uint64_t ticks = (static_cast<uint64_t>(ft.dwHighDateTime) << 32) | ft.dwLowDateTime;
  return static_cast<int64_t>(ticks / 10000000ULL) - 11644473600LL;
}

uint64_t TickCountMs() { return ::GetTickCount64(); }

}  // namespace platform
