#include "net/wait_clock.h"

#include <chrono>
#include <thread>

namespace {

class SleepingClock : public WaitClock {
 public:
  void Wait(uint32_t milliseconds) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(milliseconds));
  }
};

}  // namespace

WaitClock& SystemWaitClock() {
  static SleepingClock clock;
  return clock;
}
