#pragma once
#include <cstdint>

// The waits of the package download (a minute between two attempts when the
// retry marker is present). Tests hand in a clock that records the waits
// instead of sleeping.
class WaitClock {
 public:
  virtual ~WaitClock() = default;
  virtual void Wait(uint32_t milliseconds) = 0;
};

// The real clock: blocks the calling thread.
WaitClock& SystemWaitClock();
