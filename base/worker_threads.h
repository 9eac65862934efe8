#pragma once
#include <functional>

// Workers that run on a thread of their own and end by themselves, as the
// start-up and install workers do; the process waits for them before it ends,
// so that their last log lines are written. False when the thread cannot be created.
bool StartDetachedWorker(std::function<void()> work);
void WaitForDetachedWorkers();
