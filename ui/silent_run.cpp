#include "ui/silent_run.h"

#include "base/debug_log.h"
#include "base/run_result.h"
#include "base/ui_call_queue.h"
#include "platform/message_box.h"
#include "ui/setup_dialog_model.h"

namespace {

// How long the user-interface thread waits for a worker's message at a time.
constexpr uint32_t kPumpMs = 100;

int AnswerUnshown(void*, const std::wstring&, const std::wstring&, uint32_t type) {
  return (type & 0xF) == platform::kMbYesNo ? platform::kIdNo : platform::kIdOk;
}

// The wizard's view with no window: the install worker's messages come
// through a queue on this thread, and nothing is drawn.
class SilentWizard : public WizardView {
 public:
  SilentWizard(const WizardRun& run, WizardController::InstallStarter starter)
      : queue_([this](uint32_t message, uintptr_t wParam, intptr_t lParam) {
          return controller_.OnStatusMessage(message, wParam, lParam);
        }),
        controller_(run, *this, std::move(starter)) {}

  int Run() {
    queue_.BindToCurrentThread();
    controller_.OnInitDialog();
    while (open_) {
      if (controller_.MainMode() == kModeError || controller_.ShownStep() == kStepCompletion) break;
      if (controller_.ShownStep() == kStepNotices) {
        controller_.AcceptNoticesUnattended();
        continue;
      }
      queue_.Pump(kPumpMs);
    }
    return kDialogCancel;
  }

  // The notices page reads its notices as it is made; their titles reach the log.
  void CreatePages() override { controller_.LoadNotices(); }
  bool ApplyScreen(const ScreenState&) override { return true; }
  void SetStatusLine(const std::wstring&) override {}
  int ShowBox(BoxOwner, const std::wstring& text, const std::wstring& caption, uint32_t type) override {
    return AnswerUnshown(nullptr, text, caption, type);
  }
  void CloseMainWindow() override { open_ = false; }
  bool CloseWindowTitled(const std::wstring&) override { return false; }
  bool Minimize() override { return true; }
  void SetTopmost(bool) override {}
  MessageSink* StatusSink() override { return &queue_; }
  int32_t ScreenWidth() const override { return 1024; }
  int32_t ScreenHeight() const override { return 768; }

 private:
  UiCallQueue queue_;
  WizardController controller_;
  bool open_ = true;
};

}  // namespace

void SuppressMessageBoxes() { platform::SetMessageBoxHandler(&AnswerUnshown); }

int RunSilentStartup(RunResult& runResult, InitWorkerStarter starter) {
  int result = -1;
  UiCallQueue queue([&](uint32_t message, uintptr_t wParam, intptr_t lParam) -> intptr_t {
    if (message == WM_INIT_DONE) {
      result = SetupDialogModel::OnInitDone(static_cast<int32_t>(wParam), static_cast<int32_t>(lParam),
                                            &runResult.ResultCode);
    }
    return 0;
  });
  queue.BindToCurrentThread();
  // The error box the start-up shows on a failure is answered unshown.
  if (!SetupDialogModel::StartWorker(starter, &queue)) return kDialogCancel;
  while (result < 0) queue.Pump(kPumpMs);
  return result;
}

int RunSilentWizard(const WizardRun& run, WizardController::InstallStarter starter) {
  SilentWizard wizard(run, std::move(starter));
  return wizard.Run();
}
