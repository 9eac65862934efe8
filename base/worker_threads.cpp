#include "base/worker_threads.h"

#include <condition_variable>
#include <mutex>
#include <system_error>
#include <thread>

namespace {
std::mutex g_lock;
std::condition_variable g_changed;
int g_running = 0;

void Finished() {
  std::lock_guard<std::mutex> hold(g_lock);
  --g_running;
  g_changed.notify_all();
}
}  // namespace

bool StartDetachedWorker(std::function<void()> work) {
  {
    std::lock_guard<std::mutex> hold(g_lock);
    ++g_running;
  }
  try {
    std::thread([work = std::move(work)]() mutable {
      {
        // What the work holds is gone before it counts as finished: the
        // process may end as soon as the last worker has.
        auto job = std::move(work);
        job();
      }
      Finished();
    }).detach();
  } catch (const std::system_error&) {
    Finished();
    return false;
  }
  return true;
}

void WaitForDetachedWorkers() {
  std::unique_lock<std::mutex> hold(g_lock);
  g_changed.wait(hold, [] { return g_running == 0; });
}
