// The wizard on the terminal: the window's life, the messages of the install
// worker, and modal message boxes. What is shown is the screen model's
// (terminal_screen), how it is written the renderer's, and what the keys do
// the input's.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/debug_log.h"
#include "base/ui_call_queue.h"
#include "platform/message_box.h"
#include "ui/frame_texts.h"
#include "ui/front_end.h"
#include "ui/terminal/terminal_front_end.h"
#include "ui/terminal/terminal_input.h"
#include "ui/terminal/terminal_renderer.h"
#include "ui/terminal/terminal_screen.h"

namespace terminal {

namespace {

// The result of a dialog ended by the close message.
constexpr int kDialogCancel = 2;

// A message box asked for by another thread, shown by the user-interface thread.
constexpr uint32_t kWmShowBox = kWmApp + 0x3F00;

// The longest wait for a message a worker is about to hand over.
constexpr uint32_t kHandOverMs = 50;

// The status page's target for the install worker: a send that blocks until
// the user-interface thread has handled the message. It wakes that thread's
// wait for keys, counts the sends under way so that the window is not torn
// down beneath a worker, and answers at once once the window is gone, as a
// send to a destroyed window does.
class WorkerSink : public MessageSink {
 public:
  WorkerSink(UiCallQueue::Handler handler, int wakeFd) : queue_(std::move(handler)), wakeFd_(wakeFd) {}

  intptr_t Send(uint32_t message, uintptr_t wParam, intptr_t lParam) override {
    inFlight_.fetch_add(1);
    intptr_t result = 0;
    if (!closed_.load()) {
      if (std::this_thread::get_id() != uiThread_) {
        const char byte = 1;
        ssize_t ignored = ::write(wakeFd_, &byte, 1);
        (void)ignored;
      }
      result = queue_.Send(message, wParam, lParam);
    }
    inFlight_.fetch_sub(1);
    return result;
  }

  void Bind() {
    uiThread_ = std::this_thread::get_id();
    queue_.BindToCurrentThread();
  }
  int Pump(uint32_t timeoutMs) { return queue_.Pump(timeoutMs); }
  void Close() { closed_.store(true); }
  int InFlight() const { return inFlight_.load(); }

 private:
  UiCallQueue queue_;
  int wakeFd_;
  std::thread::id uiThread_;
  std::atomic<int> inFlight_{0};
  std::atomic<bool> closed_{false};
};

class TerminalWizard;
std::atomic<TerminalWizard*> g_active{nullptr};

class TerminalWizard : public WizardView {
 public:
  TerminalWizard(const WizardRun& run, WizardController::InstallStarter starter, const TerminalOptions& options)
      : run_(run), options_(options), starter_(std::move(starter)), output_(options.outputFd, options.columns),
        input_(options.inputFd) {}

  int Run();

  // WizardView.
  void CreatePages() override;
  bool ApplyScreen(const ScreenState& screen) override;
  void SetStatusLine(const std::wstring& text) override;
  int ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) override;
  void CloseMainWindow() override { windowOpen_ = false; }
  bool CloseWindowTitled(const std::wstring& title) override;
  bool Minimize() override;
  void SetTopmost(bool topmost) override {}
  MessageSink* StatusSink() override { return sink_.get(); }
  int32_t ScreenWidth() const override { return 1024; }
  int32_t ScreenHeight() const override { return 768; }

  // Message boxes of the whole process while the wizard runs.
  int ShowBoxFromAnyThread(const std::wstring& text, const std::wstring& caption, uint32_t type);

 private:
  struct OpenBox {
    BoxText text;
    bool dismissed = false;
    int result = 0;
  };

  bool Setup();
  void TearDown();
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  bool StartInstall(MessageSink* target);
  bool InstallRunning() const;
  bool WaitForKey(KeyEvent* key);
  void Render();

  const WizardRun run_;
  TerminalOptions options_;
  WizardController::InstallStarter starter_;
  TerminalOutput output_;
  KeyInput input_;
  std::unique_ptr<Renderer> renderer_;
  std::unique_ptr<WizardController> controller_;
  std::unique_ptr<WizardScreen> screen_;
  std::unique_ptr<WorkerSink> sink_;
  std::thread::id uiThread_;

  bool windowOpen_ = false;
  bool workerStarted_ = false;
  bool doneSeen_ = false;
  std::vector<OpenBox*> boxes_;
};

int BoxHandler(void* owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  TerminalWizard* wizard = g_active.load();
  if (wizard == nullptr) return IsQuestion(type) ? platform::kIdNo : platform::kIdOk;
  return wizard->ShowBoxFromAnyThread(text, caption, type);
}

// ---------------------------------------------------------------------------
// Life of the window.

bool TerminalWizard::Setup() {
  if (::fcntl(options_.inputFd, F_GETFD) < 0 || ::fcntl(options_.outputFd, F_GETFD) < 0) return false;
  if (!input_.Open()) return false;
  renderer_ = MakeRenderer(options_, output_);
  output_.Hold();

  uiThread_ = std::this_thread::get_id();
  sink_ = std::make_unique<WorkerSink>(
      [this](uint32_t message, uintptr_t wParam, intptr_t lParam) { return HandleMessage(message, wParam, lParam); },
      input_.WakeFd());
  sink_->Bind();
  controller_ = std::make_unique<WizardController>(
      run_, *this, [this](MessageSink* target) { return StartInstall(target); });
  screen_ = std::make_unique<WizardScreen>(*controller_);
  g_active.store(this);
  // An unattended run keeps the handler that answers every box unshown.
  if (!run_.Unattended) platform::SetMessageBoxHandler(&BoxHandler);
  renderer_->WindowOpened();
  windowOpen_ = true;
  return true;
}

void TerminalWizard::TearDown() {
  windowOpen_ = false;
  if (sink_) {
    sink_->Close();
    // A worker caught in the middle of a send is let go before the window goes.
    while (sink_->InFlight() > 0) sink_->Pump(10);
  }
  if (!run_.Unattended) platform::SetMessageBoxHandler(nullptr);
  g_active.store(nullptr);
  renderer_->WindowClosed();
  output_.Release();
  // A worker that has not reported its end may still send; its sends find the
  // window gone and return at once, so its target must outlive this run.
  if (workerStarted_ && !doneSeen_) (void)sink_.release();
  input_.Close();
}

int TerminalWizard::Run() {
  if (!Setup()) {
    input_.Close();
    return kDialogAbort;
  }
  controller_->OnInitDialog();
  while (windowOpen_) {
    if (input_.Exhausted() && !InstallRunning()) {
      // The end of the input closes the window as the close message does.
      CloseMainWindow();
      break;
    }
    KeyEvent key;
    if (!WaitForKey(&key)) continue;
    if (HandleWizardKey(key, *screen_, *controller_)) CloseMainWindow();
    if (renderer_->DrawsEveryKey() && screen_->Changed() && windowOpen_) Render();
  }
  TearDown();
  return kDialogCancel;
}

// The pages are created with the frame; each runs its own initialisation.
void TerminalWizard::CreatePages() {
  LogPageSetup(WizardPage::Notices);
  controller_->LoadNotices();
  LogPageSetup(WizardPage::Status);
  LogPageSetup(WizardPage::Completion);  // inside the frame
  LogPageSetup(WizardPage::Completion);  // the error screen
}

intptr_t TerminalWizard::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!windowOpen_) return 0;
  if (message == kWmShowBox) {
    const auto* request = reinterpret_cast<const BoxText*>(lParam);
    return ShowBox(BoxOwner::None, request->text, request->caption, request->type);
  }
  if (message == WM_INSTALL_DONE) doneSeen_ = true;
  return controller_->OnStatusMessage(message, wParam, lParam);
}

bool TerminalWizard::StartInstall(MessageSink* target) {
  doneSeen_ = false;
  workerStarted_ = starter_ && starter_(target);
  return workerStarted_;
}

// The installation runs until its worker has reported the end; a worker that
// could not be started runs nothing.
bool TerminalWizard::InstallRunning() const { return controller_->InstallInProgress() && workerStarted_ && !doneSeen_; }

bool TerminalWizard::ApplyScreen(const ScreenState& screen) {
  screen_->Show(screen);
  Render();
  return true;
}

void TerminalWizard::SetStatusLine(const std::wstring& text) {
  if (screen_->StatusShown() && renderer_->StatusLineChanged(text)) screen_->MarkChanged();
}

bool TerminalWizard::CloseWindowTitled(const std::wstring& title) {
  for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it) {
    OpenBox* box = *it;
    if (box->dismissed || box->text.caption != title) continue;
    box->dismissed = true;
    // Closed from outside: no button was chosen.
    box->result = IsQuestion(box->text.type) ? platform::kIdCancel : platform::kIdOk;
    return true;
  }
  return false;
}

bool TerminalWizard::Minimize() {
  screen_->SetNote(L"（ウィンドウを最小化しました）");
  if (renderer_->NoteShown(screen_->Note())) screen_->MarkChanged();
  return true;
}

void TerminalWizard::Render() {
  screen_->MarkDrawn();
  renderer_->Draw(*screen_, boxes_.empty() ? nullptr : &boxes_.back()->text, windowOpen_);
}

// ---------------------------------------------------------------------------
// Message boxes.

int TerminalWizard::ShowBoxFromAnyThread(const std::wstring& text, const std::wstring& caption, uint32_t type) {
  if (std::this_thread::get_id() == uiThread_) return ShowBox(BoxOwner::None, text, caption, type);
  BoxText request{caption, text, type};
  const intptr_t result = sink_->Send(kWmShowBox, 0, reinterpret_cast<intptr_t>(&request));
  if (result == 0) return IsQuestion(type) ? platform::kIdNo : platform::kIdOk;
  return static_cast<int>(result);
}

int TerminalWizard::ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  OpenBox box;
  box.text = {caption, text, type};
  boxes_.push_back(&box);
  if (renderer_->BoxOpened(box.text)) Render();
  // Modal: the keys answer the box, and the worker's messages keep flowing.
  while (!box.dismissed) {
    if (!windowOpen_ || input_.Exhausted()) {
      // Nobody can answer any more: the box ends as closed.
      box.result = IsQuestion(type) ? platform::kIdNo : platform::kIdOk;
      break;
    }
    KeyEvent key;
    if (!WaitForKey(&key)) continue;
    const int answer = BoxAnswer(key, type);
    if (answer != 0) {
      box.result = answer;
      box.dismissed = true;
    }
  }
  boxes_.pop_back();
  renderer_->BoxAnswered(box.text, box.result);
  if (windowOpen_ && screen_->HasScreen()) screen_->MarkChanged();
  return box.result;
}

// ---------------------------------------------------------------------------
// Keys.

bool TerminalWizard::WaitForKey(KeyEvent* key) {
  if (input_.Next(key)) return true;
  if (screen_->Changed()) Render();
  // The worker wakes us just before it hands its message over.
  const bool idle = input_.Wait(kTickMs, [this](bool woken) { sink_->Pump(woken ? kHandOverMs : 0); });
  if (idle && renderer_->TickPassed(*screen_)) screen_->MarkChanged();
  return input_.Next(key);
}

}  // namespace

int RunTerminalWizard(const WizardRun& run, WizardController::InstallStarter starter,
                      const TerminalOptions& options) {
  TerminalWizard wizard(run, std::move(starter), options);
  return wizard.Run();
}

}  // namespace terminal

int RunMainDialog(const WizardRun& run, WizardController::InstallStarter starter) {
  return terminal::RunTerminalWizard(run, std::move(starter), terminal::TerminalOptions());
}
