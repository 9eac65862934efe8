// The Win32 windows of the wizard under Wine: the windows open, clicks, keys and the worker's messages reach the right
// handlers, the timer ticks. Tests that open windows need a display (Xvfb); without one they are skipped, unless
// TAVO_REQUIRE_DISPLAY is set, as the test command sets it.
#include <windows.h>
#include <gtest/gtest.h>

#include <atomic>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>
#include <string>
#include <thread>
#include <utility>

#include "app/launcher_context.h"
#include "install/install_step.h"
#include "net/download_notify.h"
#include "tests/support/loopback_server.h"
#include "tests/support/temp_dir.h"
#include "ui/front_end.h"
#include "ui/resource_ids.h"
#include "ui/win32/comp_ppg.h"
#include "ui/win32/frame_ppg.h"
#include "ui/win32/info_ppg.h"
#include "ui/win32/main_dlg.h"
#include "ui/win32/resource.h"
#include "ui/win32/setup_dlg.h"
#include "ui/win32/status_ppg.h"
#include "ui/win32/win_util.h"

namespace {

// Setup.exe holds the resources; the test program borrows them.
HINSTANCE SetupResources() {
  static HINSTANCE module = static_cast<HINSTANCE>(::LoadLibraryExW(
      tavo_test::HostPathToNative(TAVO_SETUP_EXE).c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
  return module;
}

bool DisplayAvailable() {
  static const bool available = [] {
    HWND probe = ::CreateWindowExW(0, L"STATIC", L"probe", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr, nullptr, nullptr);
    if (probe) ::DestroyWindow(probe);
    return probe != nullptr;
  }();
  return available;
}

bool DisplayRequired() {
  const char* required = std::getenv("TAVO_REQUIRE_DISPLAY");
  return required && *required && std::strcmp(required, "0") != 0;
}
#define REQUIRE_DISPLAY()                                                                                   \
  if (!DisplayAvailable()) {                                                                                \
    if (DisplayRequired()) FAIL() << "no display";                                                          \
    GTEST_SKIP() << "no display for windows (run under Xvfb: xvfb-run -a)";                                 \
  }

// Handles the queued messages until `done` (at most `milliseconds`), as the modal loop does.
void Pump(HWND top, DWORD milliseconds = 50, const std::function<bool()>& done = nullptr) {
  const DWORD end = ::GetTickCount() + milliseconds;
  do {
    MSG msg;
    while (::PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
      if (top && (CDialogBase::PreTranslateFor(&msg, top) || ::IsDialogMessageW(top, &msg))) continue;
      ::TranslateMessage(&msg);
      ::DispatchMessageW(&msg);
    }
    if (done && done()) return;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, 5, QS_ALLINPUT);
  } while (static_cast<LONG>(::GetTickCount() - end) < 0);
}

// A key press as the message loop sees it, offered to the dialogs.
bool PressKey(HWND top, UINT key) {
  MSG msg{};
  msg.hwnd = ::GetFocus() ? ::GetFocus() : top;
  msg.message = WM_KEYDOWN;
  msg.wParam = key;
  return CDialogBase::PreTranslateFor(&msg, top);
}

// Runs an action on a timer of this thread, as when a modal box of the thread is open.
std::function<void()> g_timerAction;
void CALLBACK FireTimerAction(HWND, UINT, UINT_PTR id, DWORD) {
  ::KillTimer(nullptr, id);
  auto action = std::exchange(g_timerAction, nullptr);
  if (action) action();
}
void AfterTimer(UINT milliseconds, std::function<void()> action) {
  g_timerAction = std::move(action);
  ::SetTimer(nullptr, 0, milliseconds, FireTimerAction);
}

class WizardWindowsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NE(SetupResources(), nullptr) << "Setup.exe could not be loaded for its resources";
    SetResourceInstance(SetupResources());
  }
};

// The start-up dialog, ended by its worker's messages from another thread.
TEST_F(WizardWindowsTest, StartupDialogFollowsItsWorkerAndItsTimer) {
  REQUIRE_DISPLAY();
  const struct {
    int32_t step, outcome, kind;
    int result;
    int32_t resultCode;
  } rows[] = {{2, 1, 2, kDialogOk, 1},      {1, 0, 1, kDialogCancel, 3},    {5, 0, 2, kDialogCancel, 6},
              {9, 0, 3, kDialogCancel, 21}, {11, 2, 9, kDialogCancel, 77}};  // an unknown step keeps the line
  for (const auto& row : rows) {
    SCOPED_TRACE(row.step);
    LauncherContext ctx;
    ctx.ResultCode = 77;
    std::wstring before, afterStep, afterTick;
    std::thread worker;
    const int result = RunStartupDialog(ctx, [&](MessageSink* sink) {
      worker = std::thread([&, sink] {
        auto* dialog = static_cast<CSetupDlg*>(sink);
        before = dialog->StatusLine();
        sink->Send(WM_INIT_STEP, row.step, 0);
        afterStep = dialog->StatusLine();
        // Waits for the dot timer's first tick after the step, not for a time.
        const DWORD end = ::GetTickCount() + 15000;
        while (dialog->StatusLine() == afterStep && static_cast<LONG>(::GetTickCount() - end) < 0) ::Sleep(10);
        afterTick = dialog->StatusLine();
        sink->Send(WM_INIT_DONE, row.outcome, row.kind);
      });
      return true;
    });
    worker.join();
    EXPECT_EQ(row.result, result);
    EXPECT_EQ(row.resultCode, ctx.ResultCode);
    const std::wstring text = SetupDialogModel::StepText(row.step);
    EXPECT_EQ(text.empty() ? before : text, afterStep);
    EXPECT_FALSE(afterStep.empty());
    // One tick adds a dot to the step's text; before any known step only dots show.
    EXPECT_EQ(text + L".", afterTick);
  }
}

class MainDialogTest : public WizardWindowsTest {
 protected:
  void TearDown() override { dialog_.reset(); }
  void Open() {
    const WizardRun run{ctx_.Settings, ctx_, ctx_, ctx_.SkipNotices, ctx_.StartPage};
    dialog_ = std::make_unique<CMainDlg>(run, [this](MessageSink* sink) {
      return ++installStarts_, sink_ = sink, true;
    });
    ASSERT_TRUE(dialog_->Create(nullptr));
    ::ShowWindow(dialog_->Hwnd(), SW_SHOW);
    Pump(dialog_->Hwnd());
  }
  HWND Main() { return dialog_->Hwnd(); }
  CFramePPG& Frame() { return *dialog_->Frame(); }
  HWND ErrorPage() { return dialog_->ErrorPage()->Hwnd(); }
  // Sends a worker message from another thread, as the install worker does,
  // while this thread goes on handling messages until it is handled.
  void SendFromWorker(UINT message, WPARAM wParam, LPARAM lParam) {
    auto done = std::make_shared<std::atomic<bool>>(false);
    std::thread worker([done, sink = sink_, message, wParam, lParam] { sink->Send(message, wParam, lParam), *done = true; });
    Pump(Main(), 10000, [&] { return done->load(); });
    if (done->load()) return worker.join();
    worker.detach();  // it returns when the window goes
    ADD_FAILURE() << "the window did not take the worker's message";
  }
  enum Box { kNoBox, kInformed, kAsked };
  // Does `action`, then answers the box it opened from inside the box's message loop: with `button` when the box has
  // it, else as the wizard closes its boxes. Tells which box there was.
  Box AnswerBoxOf(const std::function<void()>& action, int button) {
    Box shown = kNoBox;
    AfterTimer(300, [&] {
      const std::wstring caption = dialog_->Controller().MessageCaption();
      HWND box = ::FindWindowW(L"#32770", caption.c_str());
      if (!box || box == Main()) return;
      shown = ::GetDlgItem(box, IDNO) ? kAsked : kInformed;
      if (!::GetDlgItem(box, button)) return static_cast<void>(CloseProcessWindowTitled(caption, Main()));
      ::SendMessageW(box, WM_COMMAND, MAKEWPARAM(button, BN_CLICKED), reinterpret_cast<LPARAM>(::GetDlgItem(box, button)));
    });
    action();
    g_timerAction = nullptr;
    return shown;
  }
  void SystemClose() { ::SendMessageW(Main(), WM_SYSCOMMAND, SC_CLOSE, 0); }  // Alt+F4
  void CloseButton() {
    ::SendMessageW(Frame().Hwnd(), WM_COMMAND, MAKEWPARAM(IDC_FRAME_CLOSE, BN_CLICKED),
                   reinterpret_cast<LPARAM>(Frame().CloseButton()));
  }
  LauncherContext ctx_;
  std::unique_ptr<CMainDlg> dialog_;
  MessageSink* sink_ = nullptr;
  int installStarts_ = 0;
  tavo_test::TempDir dir_;
};

TEST_F(MainDialogTest, OnTheErrorScreenOnlyTheExitButtonEndsTheWizard) {
  REQUIRE_DISPLAY();
  ctx_.StartPage = 2;
  ctx_.ResultCode = 12;
  ctx_.SkipNotices = true;
  ctx_.DetectedConflictNames = {L"Example Antivirus"};
  Open();
  EXPECT_EQ(dialog_->MainMode(), kModeError);
  EXPECT_FALSE(::IsWindowVisible(Frame().Hwnd()));
  EXPECT_TRUE(::IsWindowVisible(ErrorPage()));
  HWND finish = ::GetDlgItem(ErrorPage(), IDC_COMP_FINISH);
  EXPECT_EQ(::GetFocus(), finish);
  EXPECT_TRUE(PressKey(Main(), VK_ESCAPE));
  ::SendMessageW(Main(), WM_COMMAND, IDCANCEL, 0);
  ::SendMessageW(Main(), WM_COMMAND, IDOK, 0);
  ::SetFocus(::GetDlgItem(ErrorPage(), IDC_COMP_BODY));
  EXPECT_TRUE(PressKey(Main(), VK_RETURN));
  EXPECT_EQ(kAsked, AnswerBoxOf([&] { SystemClose(); }, IDNO)) << "Alt+F4 asks, and No keeps the wizard";
  ::SetFocus(finish);
  EXPECT_TRUE(PressKey(Main(), VK_SPACE));
  EXPECT_FALSE(dialog_->EndRequested());
  EXPECT_TRUE(PressKey(Main(), VK_RETURN));
  EXPECT_TRUE(dialog_->EndRequested());
}

TEST_F(MainDialogTest, NoticesInstallationAndFailureWalkThroughThePages) {
  REQUIRE_DISPLAY();
  ctx_.NotificationPath = dir_.File(L"SetupNotification.xml");
  tavo_test::WriteBytes(ctx_.NotificationPath,
      "<?xml version=\"1.0\" encoding=\"UTF-8\"?><NotificationDataSet><NotificationVersion>1</NotificationVersion>"
      "<NotificationDataValueCount>2</NotificationDataValueCount><NotificationDataValue00><NFDTitle>A_BR_B</NFDTitle>"
      "<STRCOLOR>255,0,0</STRCOLOR><NFDConditionType>2</NFDConditionType><NFDConditionValue>99</NFDConditionValue>"
      "</NotificationDataValue00><NotificationDataValue01><NFDTitle>C</NFDTitle><NFDConditionType>2"
      "</NFDConditionType><NFDConditionValue>97</NFDConditionValue></NotificationDataValue01></NotificationDataSet>");
  Open();
  CInfoPPG* notices = Frame().NoticesPage();
  ASSERT_NE(notices, nullptr);
  EXPECT_TRUE(::IsWindowVisible(notices->Hwnd()));
  EXPECT_EQ(::SendMessageW(notices->List().Hwnd(), LB_GETCOUNT, 0, 0), 2);
  EXPECT_EQ(notices->List().Payload(0), &dialog_->Controller().NoticeItems()[0]);
  EXPECT_EQ(::GetFocus(), notices->ConfirmButton());
  EXPECT_EQ(kAsked, AnswerBoxOf([&] { CloseButton(); }, IDNO));
  EXPECT_FALSE(dialog_->EndRequested());
  EXPECT_TRUE(::IsWindowVisible(notices->Hwnd()));
  EXPECT_TRUE(PressKey(Main(), VK_ESCAPE));
  EXPECT_EQ(installStarts_, 0) << "Escape does nothing";
  EXPECT_TRUE(PressKey(Main(), VK_SPACE));  // Space on the confirm button confirms
  Pump(Main());
  ASSERT_EQ(installStarts_, 1);
  EXPECT_TRUE(dialog_->Controller().InstallInProgress());
  EXPECT_FALSE(::IsWindowVisible(notices->Hwnd()));
  CStatusPPG* status = Frame().StatusPage();
  EXPECT_TRUE(::IsWindowVisible(status->Hwnd()));
  EXPECT_EQ(::GetFocus(), Frame().MinimizeButton());
  // The worker's messages, sent from its own thread, reach the status page.
  const std::wstring first = status->StatusLine();
  SendFromWorker(WM_INSTALL_STEP, static_cast<WPARAM>(InstallStep::kFetchingConfig), 0);
  EXPECT_NE(first, status->StatusLine());
  const wchar_t progress[] = L"100KB/2000KB";
  SendFromWorker(WM_DOWNLOAD_PROGRESS, 0, reinterpret_cast<LPARAM>(progress));
  EXPECT_NE(std::wstring::npos, status->StatusLine().find(progress));
  // A close during the installation only informs, by the close button as by Alt+F4.
  EXPECT_EQ(kInformed, AnswerBoxOf([&] { CloseButton(); }, IDYES));
  EXPECT_EQ(kInformed, AnswerBoxOf([&] { SystemClose(); }, IDYES));
  EXPECT_FALSE(dialog_->EndRequested());
  SendFromWorker(WM_INSTALL_DONE, 0, 3);
  EXPECT_FALSE(dialog_->Controller().InstallInProgress());
  EXPECT_EQ(ctx_.ResultCode, 3);
  EXPECT_EQ(dialog_->MainMode(), kModeError);
  EXPECT_TRUE(::IsWindowVisible(ErrorPage()));
  EXPECT_EQ(kAsked, AnswerBoxOf([&] { SystemClose(); }, IDYES));
  EXPECT_TRUE(dialog_->EndRequested()) << "Alt+F4 answered Yes ends the wizard";
}

}  // namespace
