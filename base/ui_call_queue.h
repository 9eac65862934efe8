#pragma once
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <thread>

#include "base/window_messages.h"

// The Linux build's stand-in for SendMessageW across threads: a worker hands a
// message to the user-interface thread and blocks until that thread has
// handled it, so every notification runs on the user-interface thread while
// the worker waits, as it does on Windows.
class UiCallQueue : public MessageSink {
 public:
  using Handler = std::function<intptr_t(uint32_t message, uintptr_t wParam, intptr_t lParam)>;

  explicit UiCallQueue(Handler handler) : handler_(std::move(handler)) {}
  // A window that goes away answers the sends still waiting with 0, as a send
  // to a destroyed window does, and lets every waiting worker leave before
  // the queue is gone: a worker woken by its answer still touches the queue.
  ~UiCallQueue();

  // From a worker: blocks until the user-interface thread handled the message.
  // From the user-interface thread itself: handled at once.
  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override;

  // On the user-interface thread: handles every waiting message; waits up to
  // timeoutMs for the first one. Returns how many were handled.
  int Pump(uint32_t timeoutMs);

  // The thread that handles messages; set by the user-interface thread.
  void BindToCurrentThread();

 private:
  struct Call {
    uint32_t message;
    uintptr_t wParam;
    intptr_t lParam;
    intptr_t result = 0;
    bool done = false;
  };
  Handler handler_;
  std::mutex lock_;
  std::condition_variable changed_;
  std::deque<Call*> pending_;
  std::thread::id owner_;
  int waiting_ = 0;  // workers inside Send
  bool closed_ = false;
};
