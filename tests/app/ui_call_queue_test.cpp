#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <thread>
#include <vector>

#include "app/ui_call_queue.h"

namespace {

TEST(UiCallQueue, WorkerWaitsUntilTheUserInterfaceThreadHandledTheMessage) {
  std::thread::id handledOn;
  std::vector<uint32_t> seen;
  UiCallQueue queue([&](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    handledOn = std::this_thread::get_id();
    seen.push_back(message);
    return static_cast<intptr_t>(wParam) + lParam;
  });
  queue.BindToCurrentThread();
  std::atomic<bool> returned{false};
  intptr_t result = 0;
  std::thread worker([&] {
    result = queue.Send(100, 2, 3);
    returned = true;
  });
  // Nothing is handled until the user-interface thread pumps.
  while (queue.Pump(10) == 0) {
  }
  worker.join();
  EXPECT_TRUE(returned);
  EXPECT_EQ(5, result);
  EXPECT_EQ(std::this_thread::get_id(), handledOn);
  EXPECT_EQ(std::vector<uint32_t>{100}, seen);
}

TEST(UiCallQueue, SendingFromTheUserInterfaceThreadIsADirectCall) {
  int calls = 0;
  UiCallQueue queue([&](uint32_t, uintptr_t, intptr_t) -> intptr_t { return ++calls; });
  queue.BindToCurrentThread();
  EXPECT_EQ(1, queue.Send(1, 0, 0));
  EXPECT_EQ(0, queue.Pump(0));
}

TEST(UiCallQueue, ManyWorkersEachGetTheirOwnAnswer) {
  UiCallQueue queue([](uint32_t message, uintptr_t, intptr_t) -> intptr_t { return message * 2; });
  queue.BindToCurrentThread();
  std::vector<std::thread> workers;
  std::vector<intptr_t> results(8, 0);
  for (int i = 0; i < 8; ++i) {
    workers.emplace_back([&, i] {
      for (int k = 0; k < 50; ++k) results[i] += queue.Send(static_cast<uint32_t>(i), 0, 0);
    });
  }
  int handled = 0;
  while (handled < 8 * 50) handled += queue.Pump(10);
  for (auto& w : workers) w.join();
  for (int i = 0; i < 8; ++i) EXPECT_EQ(i * 2 * 50, results[i]);
}

// The start-up dialog ends, and its queue goes, as soon as it has handled the
// worker's last message; the worker, woken by the answer, must still be able
// to leave its send.
TEST(UiCallQueue, QueueGoneRightAfterTheLastAnswerLetsTheWorkerLeave) {
  for (int round = 0; round < 200; ++round) {
    auto queue = std::make_unique<UiCallQueue>([](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 7; });
    queue->BindToCurrentThread();
    intptr_t result = 0;
    std::thread worker([&, sink = queue.get()] { result = sink->Send(1, 0, 0); });
    while (queue->Pump(10) == 0) {
    }
    queue.reset();
    worker.join();
    EXPECT_EQ(7, result);
  }
}

}  // namespace
