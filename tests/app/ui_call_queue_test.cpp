#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "base/ui_call_queue.h"

namespace {

using Queue = std::unique_ptr<UiCallQueue>;

// Pumps until `count` messages were handled, then joins the workers. The bound only keeps a broken queue from hanging
// the run (no timing requirement); a queue that missed it is closed first, which answers every waiting send.
void PumpAndJoin(Queue* queue, int count, std::vector<std::thread>* workers, bool close = false) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int handled = 0;
  while (handled < count && std::chrono::steady_clock::now() < deadline) handled += (*queue)->Pump(10);
  EXPECT_EQ(count, handled) << "messages still missing after a minute";
  if (close || handled < count) queue->reset();
  for (auto& worker : *workers) worker.join();
}

TEST(UiCallQueue, WorkerWaitsUntilTheUserInterfaceThreadHandledTheMessage) {
  std::atomic<bool> returned{false}, returnedBeforeHandled{false};
  std::thread::id handledOn;
  Queue queue = std::make_unique<UiCallQueue>([&](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    handledOn = std::this_thread::get_id();
    returnedBeforeHandled = returned.load();
    return message + static_cast<intptr_t>(wParam) + lParam;
  });
  queue->BindToCurrentThread();
  intptr_t result = 0;
  std::vector<std::thread> workers;
  workers.emplace_back([&, sink = queue.get()] {
    result = sink->Send(100, 2, 3);
    returned = true;
  });
  PumpAndJoin(&queue, 1, &workers);
  EXPECT_FALSE(returnedBeforeHandled) << "the send came back before the message was handled";
  EXPECT_EQ(105, result);
  EXPECT_EQ(std::this_thread::get_id(), handledOn);
  // From the user-interface thread itself a send is a direct call.
  EXPECT_EQ(106, queue->Send(101, 2, 3));
  EXPECT_EQ(0, queue->Pump(0));
}

TEST(UiCallQueue, ManyWorkersEachGetTheirOwnAnswer) {
  Queue queue = std::make_unique<UiCallQueue>([](uint32_t message, uintptr_t, intptr_t) -> intptr_t { return message * 2; });
  queue->BindToCurrentThread();
  std::vector<std::thread> workers;
  std::vector<intptr_t> results(8, 0);
  for (int i = 0; i < 8; ++i) {
    workers.emplace_back([&, i, sink = queue.get()] {
      for (int k = 0; k < 50; ++k) results[i] += sink->Send(static_cast<uint32_t>(i), 0, 0);
    });
  }
  PumpAndJoin(&queue, 8 * 50, &workers);
  for (int i = 0; i < 8; ++i) EXPECT_EQ(i * 2 * 50, results[i]);
}

// The start-up dialog ends, and its queue goes, as soon as it has handled the worker's last message; the
// worker, woken by the answer, must still be able to leave its send.
TEST(UiCallQueue, QueueGoneRightAfterTheLastAnswerLetsTheWorkerLeave) {
  for (int round = 0; round < 200; ++round) {
    Queue queue = std::make_unique<UiCallQueue>([](uint32_t, uintptr_t, intptr_t) -> intptr_t { return 7; });
    queue->BindToCurrentThread();
    intptr_t result = 0;
    std::vector<std::thread> workers;
    workers.emplace_back([&, sink = queue.get()] { result = sink->Send(1, 0, 0); });
    PumpAndJoin(&queue, 1, &workers, /*close=*/true);
    ASSERT_EQ(7, result) << "round " << round;
  }
}

}  // namespace
