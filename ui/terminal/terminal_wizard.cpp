#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "base/debug_log.h"
#include "app/launcher_context.h"
#include "base/ui_call_queue.h"
#include "platform/message_box.h"
#include "platform/utf.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"
#include "ui/terminal/terminal_front_end.h"
#include "ui/terminal/terminal_keys.h"
#include "ui/terminal/terminal_text.h"
#include "ui/ui_messages.h"

namespace terminal {

const char kScreenSeparator[] = "------------------------------------------------------------";

namespace {

// Texts of the pages that the page templates hold on Windows.
const wchar_t kNoticesTitle[] = L"重要なお知らせ";
const wchar_t kNoticesDescription[] =
    L"プログラムをご利用いただくための重要なお知らせがございます。\r\n"
    L"下記リストをクリックすると弊社ホームページが表示されます。";
const wchar_t kNoticesWarning[] = L"プログラムのご利用前に必ず内容をご確認ください。";
const wchar_t kNoticesInstruction[] = L"内容をご確認後、「確認」ボタンをクリックして、\r\nインストールにお進みください。";
const wchar_t kNoticesListName[] = L"お知らせ一覧";
const wchar_t kConfirmCaption[] = L"確認(&N)";
const wchar_t kStatusTitle[] = L"インストール";
const wchar_t kMinimizeCaption[] = L"最小化(&M)";
const wchar_t kCloseCaption[] = L"閉じる(&X)";
const wchar_t* const kStepNames[3] = {L"お知らせ", L"インストール", L"完了"};

// The result of a dialog ended by the close message.
constexpr int kDialogCancel = 2;

// A message box asked for by another thread, shown by the user-interface thread.
constexpr uint32_t kWmShowBox = kWmApp + 0x3F00;

// Screen refresh while something moves (the progress bar), and the longest
// wait for a message a worker is about to hand over.
constexpr int kTickMs = 100;
constexpr uint32_t kHandOverMs = 50;

constexpr int64_t kDefaultColour = -1;

struct Style {
  int64_t fg = kDefaultColour;
  int64_t bg = kDefaultColour;
  bool bold = false;
  bool underline = false;
  bool reverse = false;
};

struct Segment {
  std::wstring text;
  Style style;
};

struct Line {
  std::vector<Segment> segments;
  bool wrap = false;  // a long text that may be broken at the screen width
  int64_t fillBg = kDefaultColour;  // background painted to the end of the line
};

Line TextLine(const std::wstring& text, Style style = Style(), bool wrap = true) {
  Line line;
  line.segments.push_back({text, style});
  line.wrap = wrap;
  return line;
}

// The controls that can hold the keyboard focus.
enum class Control {
  None,
  NoticesList,
  Confirm,
  FrameMinimize,
  FrameClose,
  DownloadLink,
  ProcedureLink,
  HelpLink,
  Continue,
  Finish,
  PageMinimize,
  PageClose,
};

struct BoxRequest {
  std::wstring text;
  std::wstring caption;
  uint32_t type = 0;
};

bool IsQuestion(uint32_t type) { return (type & 0xF) == platform::kMbYesNo; }

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
  TerminalWizard(LauncherContext& context, WizardController::InstallStarter starter, const TerminalOptions& options)
      : ctx_(context), options_(options), starter_(std::move(starter)) {}

  int Run();

  // WizardView.
  void CreatePages() override;
  bool ApplyScreen(const ScreenState& screen) override;
  void SetStatusLine(const std::wstring& text) override;
  int ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) override;
  void CloseMainWindow() override;
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
    std::wstring caption;
    std::wstring text;
    uint32_t type = 0;
    bool dismissed = false;
    int result = 0;
  };

  bool Setup();
  void TearDown();
  intptr_t HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  bool StartInstall(LauncherContext& context, MessageSink* target);
  bool InstallRunning() const;

  // Input.
  bool WaitForKey(KeyEvent* key);
  bool InputExhausted() const { return eof_ && !decoder_.HasPending(); }
  void HandleKey(const KeyEvent& key);
  void Activate(Control control, bool bySpace);
  void Click(Control control);
  void MoveFocus(int direction);
  void SetFocus(Control control);
  void MoveSelection(int direction);

  // What is shown.
  bool NoticesShown() const { return hasScreen_ && screen_.mainMode == kModeFrame && screen_.shownStep == kStepNotices; }
  bool StatusShown() const { return hasScreen_ && screen_.mainMode == kModeFrame && screen_.shownStep == kStepInstall; }
  bool CompletionShown() const {
    return hasScreen_ && (screen_.mainMode == kModeError || screen_.shownStep == kStepCompletion);
  }
  std::vector<Control> FocusOrder() const;
  Control InitialFocus() const;
  std::wstring Caption(Control control) const;
  std::wstring Title() const;

  // Drawing.
  std::vector<Line> BuildScreen() const;
  std::vector<Line> BuildBox(const OpenBox& box) const;
  void AddButtons(std::vector<Line>* lines) const;
  Segment ControlSegment(Control control, const std::wstring& text, Style style) const;
  void Render();
  void RenderPlainBox(const OpenBox& box);
  void WriteLines(const std::vector<Line>& lines);
  std::string Encode(const Line& line) const;
  std::string StyleSequence(const Style& style) const;
  void Write(const std::string& bytes);
  void WriteText(const std::wstring& text) { Write(platform::WideToUtf8(text) + "\n"); }
  int Columns() const;
  int Rows() const;

  LauncherContext& ctx_;
  TerminalOptions options_;
  WizardController::InstallStarter starter_;
  std::unique_ptr<WizardController> controller_;
  std::unique_ptr<WorkerSink> sink_;

  bool plain_ = true;
  ColourDepth depth_ = ColourDepth::Colour256;
  bool rawInput_ = false;
  struct termios savedTermios_ {};
  struct sigaction savedSigpipe_ {};
  int wakeRead_ = -1;
  int wakeWrite_ = -1;
  std::thread::id uiThread_;

  KeyDecoder decoder_;
  bool eof_ = false;
  bool windowOpen_ = false;
  bool workerStarted_ = false;
  bool doneSeen_ = false;

  ScreenState screen_;
  bool hasScreen_ = false;
  bool dirty_ = false;
  Control focus_ = Control::None;
  int selected_ = -1;
  std::vector<OpenBox*> boxes_;
  std::wstring note_;
  unsigned tick_ = 0;
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
  int wake[2];
  if (::pipe(wake) != 0) return false;
  wakeRead_ = wake[0];
  wakeWrite_ = wake[1];
  for (int fd : wake) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
  }

  switch (options_.style) {
    case OutputStyle::Plain:
      plain_ = true;
      break;
    case OutputStyle::Screen:
      plain_ = false;
      break;
    case OutputStyle::Auto: {
      const char* term = std::getenv("TERM");
      plain_ = !::isatty(options_.outputFd) || term == nullptr || std::strcmp(term, "dumb") == 0;
      break;
    }
  }
  const char* colourTerm = std::getenv("COLORTERM");
  depth_ = colourTerm != nullptr && (std::strcmp(colourTerm, "truecolor") == 0 || std::strcmp(colourTerm, "24bit") == 0)
               ? ColourDepth::TrueColour
               : ColourDepth::Colour256;

  // Keys one by one, without echo; Ctrl+C arrives as a key (the close command).
  if (::isatty(options_.inputFd) && ::tcgetattr(options_.inputFd, &savedTermios_) == 0) {
    struct termios raw = savedTermios_;
    raw.c_lflag &= ~static_cast<tcflag_t>(ICANON | ECHO | ISIG | IEXTEN);
    raw.c_iflag &= ~static_cast<tcflag_t>(ICRNL | IXON);
    raw.c_cc[VMIN] = 1;
    raw.c_cc[VTIME] = 0;
    rawInput_ = ::tcsetattr(options_.inputFd, TCSANOW, &raw) == 0;
  }
  // A reader that goes away must not end the launcher before it has logged its end.
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  ::sigaction(SIGPIPE, &ignore, &savedSigpipe_);

  uiThread_ = std::this_thread::get_id();
  sink_ = std::make_unique<WorkerSink>(
      [this](uint32_t message, uintptr_t wParam, intptr_t lParam) { return HandleMessage(message, wParam, lParam); },
      wakeWrite_);
  sink_->Bind();
  controller_ = std::make_unique<WizardController>(
      ctx_, *this, [this](LauncherContext& context, MessageSink* target) { return StartInstall(context, target); });
  g_active.store(this);
  platform::SetMessageBoxHandler(&BoxHandler);
  if (!plain_) Write("\x1b[?25l\x1b[2J");
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
  platform::SetMessageBoxHandler(nullptr);
  g_active.store(nullptr);
  if (!plain_) Write("\x1b[0m\x1b[?25h\n");
  if (rawInput_) ::tcsetattr(options_.inputFd, TCSANOW, &savedTermios_);
  ::sigaction(SIGPIPE, &savedSigpipe_, nullptr);
  // A worker that has not reported its end may still send; its sends find the
  // window gone and return at once, so its target must outlive this run.
  if (workerStarted_ && !doneSeen_) (void)sink_.release();
  if (wakeRead_ >= 0) ::close(wakeRead_);
  if (wakeWrite_ >= 0) ::close(wakeWrite_);
}

int TerminalWizard::Run() {
  if (!Setup()) {
    if (wakeRead_ >= 0) ::close(wakeRead_);
    if (wakeWrite_ >= 0) ::close(wakeWrite_);
    return kDialogAbort;
  }
  controller_->OnInitDialog();
  while (windowOpen_) {
    if (InputExhausted() && !InstallRunning()) {
      // The end of the input closes the window as the close message does.
      CloseMainWindow();
      break;
    }
    KeyEvent key;
    if (!WaitForKey(&key)) continue;
    HandleKey(key);
    // A script sees every state its keys lead to, however the keys arrive.
    if (plain_ && dirty_ && windowOpen_) Render();
  }
  TearDown();
  return kDialogCancel;
}

// The pages are created with the frame; each runs its own initialisation.
void TerminalWizard::CreatePages() {
  Log().Info(L"ダイアログの初期化処理を実行します。(お知らせ画面)");
  controller_->LoadNotices();
  Log().Info(L"ダイアログの初期化処理を実行します。（インストール画面）");
  for (int page = 0; page < 2; ++page) {  // inside the frame, and the error screen
    Log().Info(L"ダイアログの初期化処理を実行します。(完了画面)");
    Log().Info(L"コントロールの初期化処理を実行します。");
  }
}

intptr_t TerminalWizard::HandleMessage(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  if (!windowOpen_) return 0;
  if (message == kWmShowBox) {
    const auto* request = reinterpret_cast<const BoxRequest*>(lParam);
    return ShowBox(BoxOwner::None, request->text, request->caption, request->type);
  }
  if (message == WM_INSTALL_DONE) doneSeen_ = true;
  return controller_->OnStatusMessage(message, wParam, lParam);
}

bool TerminalWizard::StartInstall(LauncherContext& context, MessageSink* target) {
  doneSeen_ = false;
  workerStarted_ = starter_ && starter_(context, target);
  return workerStarted_;
}

// The installation runs until its worker has reported the end; a worker that
// could not be started runs nothing.
bool TerminalWizard::InstallRunning() const { return ctx_.InstallInProgress && workerStarted_ && !doneSeen_; }

bool TerminalWizard::ApplyScreen(const ScreenState& screen) {
  screen_ = screen;
  hasScreen_ = true;
  selected_ = -1;
  note_.clear();
  focus_ = Control::None;
  SetFocus(InitialFocus());
  Render();
  return true;
}

void TerminalWizard::SetStatusLine(const std::wstring& text) {
  if (!StatusShown()) return;
  if (plain_) {
    WriteText(L"状態: " + text);
  } else {
    dirty_ = true;
  }
}

void TerminalWizard::CloseMainWindow() { windowOpen_ = false; }

bool TerminalWizard::CloseWindowTitled(const std::wstring& title) {
  for (auto it = boxes_.rbegin(); it != boxes_.rend(); ++it) {
    OpenBox* box = *it;
    if (box->dismissed || box->caption != title) continue;
    box->dismissed = true;
    // Closed from outside: no button was chosen.
    box->result = IsQuestion(box->type) ? platform::kIdCancel : platform::kIdOk;
    return true;
  }
  return false;
}

bool TerminalWizard::Minimize() {
  note_ = L"（ウィンドウを最小化しました）";
  if (plain_) {
    WriteText(note_);
  } else {
    dirty_ = true;
  }
  return true;
}

// ---------------------------------------------------------------------------
// Message boxes.

int TerminalWizard::ShowBoxFromAnyThread(const std::wstring& text, const std::wstring& caption, uint32_t type) {
  if (std::this_thread::get_id() == uiThread_) return ShowBox(BoxOwner::None, text, caption, type);
  BoxRequest request{text, caption, type};
  const intptr_t result = sink_->Send(kWmShowBox, 0, reinterpret_cast<intptr_t>(&request));
  if (result == 0) return IsQuestion(type) ? platform::kIdNo : platform::kIdOk;
  return static_cast<int>(result);
}

int TerminalWizard::ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) {
  OpenBox box;
  box.caption = caption;
  box.text = text;
  box.type = type;
  const bool question = IsQuestion(type);
  boxes_.push_back(&box);
  if (plain_) {
    RenderPlainBox(box);
  } else {
    Render();
  }
  // Modal: the keys answer the box, and the worker's messages keep flowing.
  while (!box.dismissed) {
    if (!windowOpen_ || InputExhausted()) {
      // Nobody can answer any more: the box ends as closed.
      box.result = question ? platform::kIdNo : platform::kIdOk;
      break;
    }
    KeyEvent key;
    if (!WaitForKey(&key)) continue;
    if (question) {
      if (key.key == Key::Char && (key.ch == 'y' || key.ch == 'Y')) {
        box.result = platform::kIdYes;
        box.dismissed = true;
      } else if (key.key == Key::Char && (key.ch == 'n' || key.ch == 'N')) {
        box.result = platform::kIdNo;
        box.dismissed = true;
      }
    } else if (key.key == Key::Enter || key.key == Key::Space) {
      box.result = platform::kIdOk;
      box.dismissed = true;
    }
  }
  boxes_.pop_back();
  if (plain_) {
    std::wstring answer = box.result == platform::kIdYes  ? L"はい(Y)"
                          : box.result == platform::kIdNo ? L"いいえ(N)"
                          : box.result == platform::kIdOk ? L"OK"
                                                          : L"閉じました";
    WriteText(L"応答: [" + caption + L"] " + answer);
  }
  if (windowOpen_ && hasScreen_) dirty_ = true;
  return box.result;
}

// ---------------------------------------------------------------------------
// Keys.

bool TerminalWizard::WaitForKey(KeyEvent* key) {
  if (decoder_.Next(key)) return true;
  if (dirty_) Render();
  struct pollfd fds[2];
  int count = 0;
  fds[count++] = {wakeRead_, POLLIN, 0};
  int inputIndex = -1;
  if (!eof_) {
    inputIndex = count;
    fds[count++] = {options_.inputFd, POLLIN, 0};
  }
  const int ready = ::poll(fds, static_cast<nfds_t>(count), kTickMs);
  bool woken = false;
  if (ready > 0 && (fds[0].revents & POLLIN)) {
    char drain[64];
    while (::read(wakeRead_, drain, sizeof drain) > 0) {
    }
    woken = true;
  }
  // The worker wakes us just before it hands its message over.
  sink_->Pump(woken ? kHandOverMs : 0);
  if (inputIndex >= 0 && ready > 0 && (fds[inputIndex].revents & (POLLIN | POLLHUP | POLLERR))) {
    char buffer[256];
    const ssize_t got = ::read(options_.inputFd, buffer, sizeof buffer);
    if (got > 0) {
      decoder_.Feed(buffer, static_cast<size_t>(got));
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
      eof_ = true;
      decoder_.Flush();
    }
  } else if (ready == 0) {
    // Nothing more came within a tick: a lone ESC was the Escape key.
    decoder_.Flush();
    ++tick_;
    if (!plain_ && StatusShown() && ctx_.InstallInProgress) dirty_ = true;  // the progress bar moves
  }
  return decoder_.Next(key);
}

void TerminalWizard::HandleKey(const KeyEvent& key) {
  if (!hasScreen_) return;
  if (!note_.empty()) {
    note_.clear();
    dirty_ = true;
  }
  switch (key.key) {
    case Key::Tab:
      MoveFocus(1);
      break;
    case Key::ShiftTab:
      MoveFocus(-1);
      break;
    case Key::Up:
      MoveSelection(-1);
      break;
    case Key::Down:
      MoveSelection(1);
      break;
    case Key::Enter:
      Activate(focus_, false);
      break;
    case Key::Space:
      Activate(focus_, true);
      break;
    case Key::Escape:
      break;  // never closes anything
    case Key::Interrupt:
      if (controller_->OnSystemClose()) CloseMainWindow();
      break;
    case Key::Char: {
      if (key.ch == 'j') {
        MoveSelection(1);
        break;
      }
      if (key.ch == 'k') {
        MoveSelection(-1);
        break;
      }
      wchar_t letter = static_cast<wchar_t>(key.ch);
      if (letter >= L'a' && letter <= L'z') letter = static_cast<wchar_t>(letter - L'a' + L'A');
      for (Control control : FocusOrder()) {
        wchar_t mnemonic = 0;
        StripMnemonic(Caption(control), &mnemonic);
        if (mnemonic != 0 && mnemonic == letter) {
          Click(control);
          break;
        }
      }
      break;
    }
  }
  // No mouse button is ever held down here, so the next key may open a notice again.
  controller_->ReleaseOpenLatch();
}

void TerminalWizard::Activate(Control control, bool bySpace) {
  switch (control) {
    case Control::NoticesList:
      controller_->OpenSelectedNotice(selected_);
      break;
    case Control::Confirm:        // Space confirms as Enter does
    case Control::FrameMinimize:  // the frame's buttons take Space as push buttons do
    case Control::FrameClose:
    case Control::HelpLink:       // Space opens the focused link
    case Control::DownloadLink:
    case Control::ProcedureLink:
      Click(control);
      break;
    case Control::Continue:
    case Control::Finish:
    case Control::PageMinimize:
    case Control::PageClose:
      if (!bySpace) Click(control);  // the completion page swallows Space on its buttons
      break;
    case Control::None:
      break;
  }
}

void TerminalWizard::Click(Control control) {
  switch (control) {
    case Control::NoticesList:
      controller_->OpenSelectedNotice(selected_);
      break;
    case Control::Confirm:
      controller_->ConfirmNotices();
      break;
    case Control::FrameMinimize:
    case Control::PageMinimize:
      controller_->OnMinimizeButton();
      break;
    case Control::FrameClose:
      controller_->OnFrameCloseButton();
      break;
    case Control::PageClose:
      controller_->OnCompletionCloseButton();
      break;
    case Control::Finish:
      controller_->OnFinishButton();
      break;
    case Control::Continue:
      controller_->OnContinueButton();
      break;
    case Control::HelpLink:
      controller_->OnHelpLink();
      break;
    case Control::DownloadLink:
      controller_->OnDownloadLink();
      break;
    case Control::ProcedureLink:
      controller_->OnProcedureLink();
      break;
    case Control::None:
      break;
  }
}

void TerminalWizard::SetFocus(Control control) {
  if (control == focus_) return;
  // The list selects its first row when it gains the focus and clears the
  // selection when it loses it.
  if (focus_ == Control::NoticesList) selected_ = -1;
  focus_ = control;
  if (focus_ == Control::NoticesList && selected_ < 0 && !controller_->NoticeRows().empty()) selected_ = 0;
  dirty_ = true;
}

void TerminalWizard::MoveFocus(int direction) {
  const std::vector<Control> order = FocusOrder();
  if (order.empty()) return;
  size_t index = 0;
  bool found = false;
  for (size_t i = 0; i < order.size(); ++i) {
    if (order[i] == focus_) {
      index = i;
      found = true;
    }
  }
  if (!found) {
    SetFocus(order[direction > 0 ? 0 : order.size() - 1]);
    return;
  }
  const size_t next = direction > 0 ? (index + 1) % order.size() : (index + order.size() - 1) % order.size();
  SetFocus(order[next]);
}

void TerminalWizard::MoveSelection(int direction) {
  if (!NoticesShown()) return;
  const int rows = static_cast<int>(controller_->NoticeRows().size());
  if (rows == 0) return;
  const bool hadFocus = focus_ == Control::NoticesList;
  SetFocus(Control::NoticesList);
  if (!hadFocus) return;  // gaining the focus selected the first row
  int next = selected_ + direction;
  if (next < 0) next = 0;
  if (next >= rows) next = rows - 1;
  if (next != selected_) {
    selected_ = next;
    dirty_ = true;
  }
}

std::vector<Control> TerminalWizard::FocusOrder() const {
  std::vector<Control> order;
  if (!hasScreen_) return order;
  auto addCompletion = [&](const CompletionLayout& c) {
    if (c.downloadLinksShown) {
      order.push_back(Control::DownloadLink);
      order.push_back(Control::ProcedureLink);
    }
    if (c.helpLinkShown) order.push_back(Control::HelpLink);
    if (c.resume.shown) order.push_back(Control::Continue);
    if (c.finish.shown) order.push_back(Control::Finish);
  };
  if (screen_.mainMode == kModeError) {
    addCompletion(screen_.completion);
    if (screen_.completion.minimize.shown) order.push_back(Control::PageMinimize);
    if (screen_.completion.close.shown) order.push_back(Control::PageClose);
    return order;
  }
  if (screen_.shownStep == kStepNotices) {
    order.push_back(Control::NoticesList);
    order.push_back(Control::Confirm);
  } else if (screen_.shownStep == kStepCompletion) {
    addCompletion(screen_.completion);
  }
  order.push_back(Control::FrameMinimize);
  order.push_back(Control::FrameClose);
  return order;
}

Control TerminalWizard::InitialFocus() const {
  if (CompletionShown()) {
    const CompletionLayout& c = screen_.completion;
    if (c.focusOnContinue && c.resume.shown) return Control::Continue;
    if (c.finish.shown) return Control::Finish;
    return Control::None;
  }
  if (NoticesShown()) return Control::Confirm;
  // The status page hands the focus to the frame's minimize button.
  return Control::FrameMinimize;
}

std::wstring TerminalWizard::Caption(Control control) const {
  const CompletionLayout& c = screen_.completion;
  switch (control) {
    case Control::NoticesList:
      return kNoticesListName;
    case Control::Confirm:
      return kConfirmCaption;
    case Control::FrameMinimize:
      return kMinimizeCaption;
    case Control::FrameClose:
      return kCloseCaption;
    case Control::PageMinimize:
      return c.minimize.caption.empty() ? std::wstring(kMinimizeCaption) : c.minimize.caption;
    case Control::PageClose:
      return c.close.caption.empty() ? std::wstring(kCloseCaption) : c.close.caption;
    case Control::Finish:
      return c.finish.caption;
    case Control::Continue:
      return c.resume.caption;
    case Control::HelpLink:
      return c.helpLinkCaption;
    case Control::DownloadLink:
      return kDownloadLinkCaption;
    case Control::ProcedureLink:
      return kProcedureLinkCaption;
    case Control::None:
      break;
  }
  return std::wstring();
}

// ---------------------------------------------------------------------------
// Drawing.

std::wstring TerminalWizard::Title() const {
  if (CompletionShown()) return screen_.completion.headline;
  if (NoticesShown()) return kNoticesTitle;
  if (StatusShown()) return kStatusTitle;
  return std::wstring();
}

Segment TerminalWizard::ControlSegment(Control control, const std::wstring& text, Style style) const {
  if (control == focus_) style.reverse = true;
  return {text, style};
}

void TerminalWizard::AddButtons(std::vector<Line>* lines) const {
  Line line;
  line.segments.push_back({L"ボタン:", Style()});
  for (Control control : FocusOrder()) {
    if (control == Control::NoticesList || control == Control::HelpLink || control == Control::DownloadLink ||
        control == Control::ProcedureLink) {
      continue;
    }
    line.segments.push_back({L" ", Style()});
    Style style;
    style.bold = true;
    line.segments.push_back(ControlSegment(control, L"[" + StripMnemonic(Caption(control)) + L"]", style));
  }
  lines->push_back(line);
}

std::vector<Line> TerminalWizard::BuildScreen() const {
  std::vector<Line> lines;
  if (!hasScreen_) return lines;
  Style titleStyle;
  titleStyle.bold = true;
  titleStyle.fg = LABEL_COLOUR;
  titleStyle.bg = TITLE_BACKGROUND_COLOUR;
  Line title = TextLine(L"=== " + Title() + L" ===", titleStyle, false);
  title.fillBg = TITLE_BACKGROUND_COLOUR;
  lines.push_back(title);

  if (screen_.mainMode == kModeFrame) {
    // The step column, lit as the frame lights it; a hidden indicator is left out.
    const StepColumn& column = screen_.column;
    const PicturePlacement* indicators[3] = {&column.notices, &column.install, &column.completion};
    const int32_t litImages[3] = {IDB_STEP_NOTICES_ON, IDB_STEP_INSTALL_ON, IDB_STEP_DONE_ON};
    Line steps;
    steps.segments.push_back({L"ステップ: ", Style()});
    bool first = true;
    for (int i = 0; i < 3; ++i) {
      if (!indicators[i]->shown) continue;
      if (!first) steps.segments.push_back({L" → ", Style()});
      first = false;
      const bool lit = indicators[i]->image == litImages[i];
      Style style;
      style.bold = lit;
      steps.segments.push_back({std::wstring(lit ? L"■" : L"□") + kStepNames[i], style});
    }
    lines.push_back(steps);
  }
  lines.push_back(TextLine(L""));

  if (NoticesShown()) {
    for (const auto& text : SplitLines(kNoticesDescription)) lines.push_back(TextLine(text));
    Style warning;
    warning.fg = WARNING_COLOUR;
    lines.push_back(TextLine(kNoticesWarning, warning));
    for (const auto& text : SplitLines(kNoticesInstruction)) lines.push_back(TextLine(text));
    lines.push_back(TextLine(L""));
    Style listTitle;
    listTitle.reverse = focus_ == Control::NoticesList;
    lines.push_back(TextLine(std::wstring(kNoticesListName) + L":", listTitle, false));
    const auto& rows = controller_->NoticeRows();
    if (rows.empty()) lines.push_back(TextLine(L"   （なし）"));
    for (size_t i = 0; i < rows.size(); ++i) {
      const bool selected = static_cast<int>(i) == selected_;
      // A selected row is drawn inverted, as the list draws it.
      Style style;
      style.fg = selected ? rows[i].backgroundColour : rows[i].textColour;
      style.bg = selected ? rows[i].textColour : rows[i].backgroundColour;
      const std::vector<std::wstring> rowLines = SplitLines(rows[i].text);
      for (size_t k = 0; k < rowLines.size(); ++k) {
        Line line;
        line.segments.push_back({k == 0 && selected ? L" > " : L"   ", Style()});
        line.segments.push_back({L" " + rowLines[k], style});
        line.fillBg = style.bg;
        lines.push_back(line);
      }
    }
  } else if (StatusShown()) {
    lines.push_back(TextLine(L"状態: " + controller_->StatusLine()));
    if (!plain_ && ctx_.InstallInProgress) {
      // The marquee bar: a block that runs across and starts again.
      const int width = 30, block = 6;
      const int position = static_cast<int>(tick_ % static_cast<unsigned>(width + block)) - block;
      std::wstring bar = L"[";
      for (int i = 0; i < width; ++i) bar += (i >= position && i < position + block) ? L'#' : L' ';
      bar += L"]";
      lines.push_back(TextLine(bar, Style(), false));
    }
  } else if (CompletionShown()) {
    const CompletionLayout& c = screen_.completion;
    if (!c.body.empty()) {
      for (const auto& text : SplitLines(c.body)) lines.push_back(TextLine(text));
    }
    Style link;
    link.fg = LINK_COLOUR;
    link.underline = true;
    if (c.downloadLinksShown || c.helpLinkShown) {
      lines.push_back(TextLine(L""));
      Line links;
      links.segments.push_back({L"リンク:", Style()});
      for (Control control : {Control::DownloadLink, Control::ProcedureLink, Control::HelpLink}) {
        if (control == Control::HelpLink ? !c.helpLinkShown : !c.downloadLinksShown) continue;
        links.segments.push_back({L" ", Style()});
        links.segments.push_back(ControlSegment(control, L"<" + Caption(control) + L">", link));
      }
      lines.push_back(links);
    }
  }
  lines.push_back(TextLine(L""));
  AddButtons(&lines);
  if (plain_) {
    const std::wstring focused = focus_ == Control::None ? std::wstring(L"なし") : StripMnemonic(Caption(focus_));
    lines.push_back(TextLine(L"フォーカス: " + focused, Style(), false));
  } else {
    if (!note_.empty()) lines.push_back(TextLine(note_));
    Style help;
    help.fg = 0x808080;
    lines.push_back(TextLine(L""));
    lines.push_back(TextLine(
        L"Tab/Shift+Tab: 移動  Enter: 実行  N/C/M/X: ボタン  ↑↓/j/k: お知らせの選択  Ctrl+C: 閉じる", help));
  }
  return lines;
}

std::vector<Line> TerminalWizard::BuildBox(const OpenBox& box) const {
  std::vector<Line> lines;
  Style frame;
  frame.bold = true;
  lines.push_back(TextLine(L"┌─ " + box.caption + L" ─────────────", frame, false));
  for (const auto& text : SplitLines(box.text)) lines.push_back(TextLine(L"│ " + text));
  Style button;
  button.bold = true;
  button.reverse = true;
  Line buttons;
  buttons.segments.push_back({L"│ ", Style()});
  if (IsQuestion(box.type)) {
    buttons.segments.push_back({L"[はい(Y)]", button});
    buttons.segments.push_back({L" ", Style()});
    buttons.segments.push_back({L"[いいえ(N)]", button});
  } else {
    buttons.segments.push_back({L"[OK]", button});
  }
  lines.push_back(buttons);
  lines.push_back(TextLine(L"└───────────────", frame, false));
  return lines;
}

void TerminalWizard::RenderPlainBox(const OpenBox& box) {
  std::vector<Line> lines;
  lines.push_back(TextLine(L"=== [" + box.caption + L"] ==="));
  for (const auto& text : SplitLines(box.text)) lines.push_back(TextLine(text));
  lines.push_back(TextLine(IsQuestion(box.type) ? L"ボタン: [はい(Y)] [いいえ(N)]" : L"ボタン: [OK]"));
  WriteLines(lines);
}

void TerminalWizard::Render() {
  dirty_ = false;
  if (!windowOpen_ && !plain_) return;
  std::vector<Line> lines = BuildScreen();
  if (!plain_ && !boxes_.empty()) {
    lines.push_back(TextLine(L""));
    for (const Line& line : BuildBox(*boxes_.back())) lines.push_back(line);
  }
  if (!lines.empty()) WriteLines(lines);
  // A box still open stays in front of a screen that changed beneath it.
  if (plain_ && !boxes_.empty() && hasScreen_) RenderPlainBox(*boxes_.back());
}

void TerminalWizard::WriteLines(const std::vector<Line>& lines) {
  std::string out;
  if (plain_) {
    out = std::string(kScreenSeparator) + "\n";
    for (const Line& line : lines) {
      std::wstring text;
      for (const Segment& s : line.segments) text += s.text;
      out += platform::WideToUtf8(text) + "\n";
    }
    Write(out);
    return;
  }
  const int columns = Columns();
  const int rows = Rows();
  out = "\x1b[H";
  int written = 0;
  for (const Line& line : lines) {
    std::vector<Line> pieces;
    if (line.wrap && line.segments.size() == 1) {
      for (const auto& piece : WrapLine(line.segments[0].text, columns - 1)) {
        Line wrapped = line;
        wrapped.segments[0].text = piece;
        pieces.push_back(wrapped);
      }
    } else {
      pieces.push_back(line);
    }
    for (const Line& piece : pieces) {
      if (written >= rows - 1) break;  // more than fits would scroll the screen away
      out += Encode(piece) + "\x1b[0m\x1b[K\n";
      ++written;
    }
  }
  out += "\x1b[J";
  Write(out);
}

std::string TerminalWizard::StyleSequence(const Style& style) const {
  std::string out = "\x1b[0m";
  if (style.bold) out += "\x1b[1m";
  if (style.underline) out += "\x1b[4m";
  if (style.reverse) out += "\x1b[7m";
  if (style.fg != kDefaultColour) out += ColourSequence(static_cast<uint32_t>(style.fg), false, depth_);
  if (style.bg != kDefaultColour) out += ColourSequence(static_cast<uint32_t>(style.bg), true, depth_);
  return out;
}

std::string TerminalWizard::Encode(const Line& line) const {
  std::string out;
  int width = 0;
  for (const Segment& segment : line.segments) {
    out += StyleSequence(segment.style) + platform::WideToUtf8(segment.text);
    width += TextWidth(segment.text);
  }
  if (line.fillBg != kDefaultColour) {
    // Rows of the list and the headline are painted across their width, as their controls are.
    const int fill = std::min(Columns() - 1, 72) - width;
    if (fill > 0) {
      Style style;
      style.bg = line.fillBg;
      out += StyleSequence(style) + std::string(static_cast<size_t>(fill), ' ');
    }
  }
  return out;
}

void TerminalWizard::Write(const std::string& bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(options_.outputFd, bytes.data() + done, bytes.size() - done);
    if (n > 0) {
      done += static_cast<size_t>(n);
    } else if (n < 0 && errno == EINTR) {
      continue;
    } else if (n < 0 && errno == EAGAIN) {
      struct pollfd p = {options_.outputFd, POLLOUT, 0};
      ::poll(&p, 1, kTickMs);
    } else {
      return;  // nobody reads the screen any more; the wizard goes on regardless
    }
  }
}

int TerminalWizard::Columns() const {
  if (options_.columns > 0) return options_.columns;
  struct winsize size {};
  if (::ioctl(options_.outputFd, TIOCGWINSZ, &size) == 0 && size.ws_col > 0) return size.ws_col;
  return 80;
}

int TerminalWizard::Rows() const {
  struct winsize size {};
  if (::ioctl(options_.outputFd, TIOCGWINSZ, &size) == 0 && size.ws_row > 0) return size.ws_row;
  return 40;
}

}  // namespace

int RunTerminalWizard(LauncherContext& context, WizardController::InstallStarter starter,
                      const TerminalOptions& options) {
  TerminalWizard wizard(context, std::move(starter), options);
  return wizard.Run();
}

}  // namespace terminal

int RunMainDialog(LauncherContext& context, WizardController::InstallStarter starter) {
  return terminal::RunTerminalWizard(context, std::move(starter), terminal::TerminalOptions());
}
