#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "app/ui_call_queue.h"

namespace {

// Pumps on this thread until `count` messages were handled. The bound only
// keeps a broken queue from hanging the test run; it is no timing requirement.
bool PumpUntil(UiCallQueue* queue, int count) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  int handled = 0;
  while (handled < count) {
    if (std::chrono::steady_clock::now() > deadline) {
      ADD_FAILURE() << "only " << handled << " of " << count << " messages arrived within a minute";
      return false;
    }
    handled += queue->Pump(10);
  }
  return true;
}

// Joins the workers; a queue that failed is closed first, which answers every
// send still waiting, so that no worker is left blocked.
void Finish(std::unique_ptr<UiCallQueue>* queue, bool ok, std::vector<std::thread>* workers) {
  if (!ok) queue->reset();
  for (auto& worker : *workers) worker.join();
}

TEST(UiCallQueue, WorkerWaitsUntilTheUserInterfaceThreadHandledTheMessage) {
  std::atomic<bool> returned{false};
  std::atomic<bool> returnedBeforeHandled{false};
  std::thread::id handledOn;
  auto queue = std::make_unique<UiCallQueue>([&](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
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
  Finish(&queue, PumpUntil(queue.get(), 1), &workers);
  EXPECT_FALSE(returnedBeforeHandled) << "the send came back before the message was handled";
  EXPECT_EQ(105, result);
  EXPECT_EQ(std::this_thread::get_id(), handledOn);
}

TEST(UiCallQueue, SendingFromTheUserInterfaceThreadIsADirectCall) {
  int calls = 0;
  UiCallQueue queue([&](uint32_t, uintptr_t, intptr_t) -> intptr_t { return ++calls; });
  queue.BindToCurrentThread();
  EXPECT_EQ(1, queue.Send(1, 0, 0));
  EXPECT_EQ(0, queue.Pump(0));
}

TEST(UiCallQueue, ManyWorkersEachGetTheirOwnAnswer) {
  auto queue = std::make_unique<UiCallQueue>([](uint32_t message, uintptr_t, intptr_t) -> intptr_t { return message * 2; });
  queue->BindToCurrentThread();
  std::vector<std::thread> workers;
  std::vector<intptr_t> results(8, 0);
  for (int i = 0; i < 8; ++i) {
    workers.emplace_back([&, i, sink = queue.get()] {
      for (int k = 0; k < 50; ++k) results[i] += sink->Send(static_cast<uint32_t>(i), 0, 0);
    });
  }
  Finish(&queue, PumpUntil(queue.get(), 8 * 50), &workers);
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
    std::vector<std::thread> workers;
    workers.emplace_back([&, sink = queue.get()] { result = sink->Send(1, 0, 0); });
    const bool ok = PumpUntil(queue.get(), 1);
    queue.reset();
    Finish(&queue, ok, &workers);
    ASSERT_EQ(7, result) << "round " << round;
  }
}

}  // namespace
