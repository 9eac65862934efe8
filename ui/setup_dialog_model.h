#pragma once
#include <cstdint>
#include <functional>
#include <string>

#include "base/window_messages.h"

// Dialog results of the start-up dialog.
constexpr int kDialogOk = 1;
constexpr int kDialogCancel = 2;

// The start-up dialog's decisions: the status line that follows the start-up
// worker's steps with a dot animation, and how WM_INIT_DONE ends the dialog.
class SetupDialogModel {
 public:
  static std::wstring StepText(int32_t step);

  // WM_INIT_STEP: true when the status line changes to the step's text at once.
  bool OnInitStep(int32_t step);
  // The 1-second timer: the status line with 0 to 6 dots.
  std::wstring OnTimer();
  // WM_INIT_DONE: the dialog result, and ResultCode as the outcome sets it.
  static int OnInitDone(int32_t outcome, int32_t kind, int32_t* resultCode);
  // Starts the start-up worker with the dialog as its target, as every front
  // end logs it; false, logged and shown in an error box, when it could not be
  // started.
  static bool StartWorker(const std::function<bool(MessageSink* target)>& starter, MessageSink* target);

  const std::wstring& StepTextNow() const { return stepText_; }

 private:
  std::wstring stepText_;
  uint32_t dots_ = 0;
};
