#include "base/ui_call_queue.h"

#include <chrono>

void UiCallQueue::BindToCurrentThread() {
  std::lock_guard<std::mutex> hold(lock_);
  owner_ = std::this_thread::get_id();
}

UiCallQueue::~UiCallQueue() {
  std::unique_lock<std::mutex> hold(lock_);
  closed_ = true;
  for (Call* call : pending_) {
    call->result = 0;
    call->done = true;
  }
  pending_.clear();
  changed_.notify_all();
  changed_.wait(hold, [&] { return waiting_ == 0; });
}

intptr_t UiCallQueue::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  std::unique_lock<std::mutex> hold(lock_);
  if (closed_) return 0;
  if (owner_ == std::thread::id() || owner_ == std::this_thread::get_id()) {
    // The user-interface thread sending to itself: a direct call.
    hold.unlock();
    return handler_(message, wParam, lParam);
  }
  Call call{message, wParam, lParam};
  pending_.push_back(&call);
  ++waiting_;
  changed_.notify_all();
  changed_.wait(hold, [&] { return call.done; });
  --waiting_;
  if (waiting_ == 0) changed_.notify_all();
  return call.result;
}

int UiCallQueue::Pump(uint32_t timeoutMs) {
  std::unique_lock<std::mutex> hold(lock_);
  if (pending_.empty()) {
    changed_.wait_for(hold, std::chrono::milliseconds(timeoutMs), [&] { return !pending_.empty(); });
  }
  int handled = 0;
  while (!pending_.empty()) {
    Call* call = pending_.front();
    pending_.pop_front();
    hold.unlock();
    intptr_t result = handler_(call->message, call->wParam, call->lParam);
    hold.lock();
    call->result = result;
    call->done = true;
    changed_.notify_all();
    ++handled;
  }
  return handled;
}
