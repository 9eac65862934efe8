#pragma once
#include <cstdint>

// The messages the workers send to their windows. Values are those of the
// Windows build (WM_APP + n); the Linux front end uses the same numbers.
constexpr uint32_t kWmApp = 0x8000;
constexpr uint32_t WM_INIT_DONE = kWmApp + 0xFA1;       // wParam outcome, lParam failure kind
constexpr uint32_t WM_INIT_STEP = kWmApp + 0xFA2;       // wParam step 1..10
constexpr uint32_t WM_INSTALL_DONE = kWmApp + 0x1389;   // wParam detail, lParam result code
constexpr uint32_t WM_INSTALL_STEP = kWmApp + 0x138A;   // wParam step 1..10
constexpr uint32_t WM_DOWNLOAD_PROGRESS = kWmApp + 0x138B;  // lParam the progress text "%luKB/%luKB"

// A window as a worker sees it: a synchronous send that returns only when the
// user-interface thread has handled the message (SendMessageW on Windows; on
// Linux a call handed to the user-interface thread's queue).
class MessageSink {
 public:
  virtual ~MessageSink() = default;
  virtual intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) = 0;
};
