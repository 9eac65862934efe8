#pragma once
#include <functional>
#include <new>

#include "platform/error.h"

// Workers that run on a thread of their own and end by themselves, as the
// start-up and install workers do; the process waits for them before it ends,
// so that their last log lines are written. False when the thread cannot be created.
bool StartDetachedWorker(std::function<void()> work);
void WaitForDetachedWorkers();

// Runs one step of a worker. A step that runs out of memory (a hostile file
// can ask for more than a 32-bit process has) gives failure, with
// ERROR_NOT_ENOUGH_MEMORY as the last error, so that the worker goes on as
// after any failed step and reports its result, instead of the launcher ending.
template <class Step>
auto RunStep(Step&& step, decltype(step()) failure) -> decltype(step()) {
  try {
    return step();
  } catch (const std::bad_alloc&) {
    platform::SetLastError(platform::kErrorNotEnoughMemory);
    return failure;
  }
}
