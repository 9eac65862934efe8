#pragma once
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "base/window_messages.h"
#include "config/notification_item.h"
#include "install/install_step.h"
#include "ui/completion_page.h"

struct LaunchSettings;
struct RunResult;
struct WorkingPaths;

// Screens of the main window.
constexpr int32_t kModeError = 2;
constexpr int32_t kModeFrame = 3;

// Steps of the wizard (StartPage); 3 shows no page. Before its first page the frame has shown no step at all.
constexpr int32_t kStepNotices = 0;
constexpr int32_t kStepInstall = 1;
constexpr int32_t kStepCompletion = 2;
constexpr int32_t kStepNone = 3;
constexpr int32_t kNoStepYet = 9;

struct PicturePlacement {
  int32_t image = 0;
  int32_t x = 0, y = 0;
  bool shown = true;
};

// The step column of the frame.
struct StepColumn {
  PicturePlacement notices, connector1, install, connector2, completion, separator;
};
StepColumn BuildStepColumn(int32_t step, bool skipNotices);

struct WindowPlacement {
  bool keepPosition = false;  // after the dialog is initialised the window stays where it is
  int32_t x = 0, y = 0;
  int32_t width = 774, height = 400;
};
WindowPlacement PlaceMainWindow(bool initialised, int32_t screenWidth, int32_t screenHeight);

// What the main window shows after a screen switch.
struct ScreenState {
  int32_t mainMode = kModeFrame;
  int32_t background = 0;
  PixelRect region{3, 3, 769, 395};  // (3, 3) to (772, 398): the dialog frame is cut off
  WindowPlacement placement;
  StepColumn column;                 // frame screen only
  int32_t shownStep = kStepNone;     // the page inside the frame
  CompletionLayout completion;       // step 2 inside the frame, or the error screen
};

// Owner of a message box, as the front ends place it.
enum class BoxOwner { None, MainWindow, Frame, ErrorPage, Page };

// What the wizard needs of its windows; the Win32 dialogs and the terminal
// front end implement it, and only draw and forward events.
class WizardView {
 public:
  virtual ~WizardView() = default;
  // Creates the frame's pages and the error page, whose own initialisation
  // (log lines, the notices list) runs here: after the main dialog's first
  // log line, before the first step change.
  virtual void CreatePages() {}
  // Shows the screen; false when the background image cannot be loaded.
  virtual bool ApplyScreen(const ScreenState& screen) = 0;
  virtual void SetStatusLine(const std::wstring& text) = 0;
  virtual int ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) = 0;
  // The close message to the main window, which ends the wizard.
  virtual void CloseMainWindow() = 0;
  // Closes the top-level window with that title (an open message box); false when there is none.
  virtual bool CloseWindowTitled(const std::wstring& title) = 0;
  // Posts the system minimize command; false when that fails.
  virtual bool Minimize() = 0;
  virtual void SetTopmost(bool topmost) = 0;
  // The status page as the install worker's message target; null when the
  // page could not be made.
  virtual MessageSink* StatusSink() = 0;
  virtual int32_t ScreenWidth() const = 0;
  virtual int32_t ScreenHeight() const = 0;
};

// One row of the notices list.
struct NoticeRow {
  std::wstring text;
  uint32_t textColour = 0;
  uint32_t backgroundColour = 0xFFFFFF;
  size_t item = 0;  // index into NoticeItems
};

// What the wizard is given of the run: the settings and paths it reads, the
// result it shows and writes (the install worker's outcome, the continue
// button), and where it starts. The run state outlives the wizard.
struct WizardRun {
  const LaunchSettings& Settings;
  const WorkingPaths& Paths;
  RunResult& Result;
  bool SkipNotices = false;
  int32_t StartPage = kStepNotices;
  // "/passive": the windows show the run, but nobody is asked: the notices
  // count as read, boxes are answered as in a silent run, and the completion
  // page or the error screen closes by itself.
  bool Unattended = false;
};

// The wizard's decisions: screens and steps, the close latch, the status,
// completion and notices pages. Runs on the user-interface thread only.
class WizardController {
 public:
  // Starts the install worker with the status page as its target; false when
  // it could not be started. Replaceable for tests.
  using InstallStarter = std::function<bool(MessageSink* target)>;

  WizardController(const WizardRun& run, WizardView& view, InstallStarter starter);

  int32_t MainMode() const { return mainMode_; }
  int32_t ShownStep() const { return shownStep_; }
  bool Initialised() const { return initialised_; }
  // From the start of the installation step until the worker's final message.
  bool InstallInProgress() const { return installInProgress_; }
  // The caption of the box a close request has open, if any.
  const std::wstring& MessageCaption() const { return messageCaption_; }

  // The frame's step switch; the one way pages move the wizard.
  bool ChangeStep(int32_t step);
  // Applies MainMode and StartPage to the windows.
  bool TransitionScreen();
  // The main dialog's initialisation: the first step change and screen switch.
  bool OnInitDialog();

  // Closing and minimizing.
  void OnFrameCloseButton();
  // The system close command (Alt+F4, task bar): true when the default close
  // processing may run.
  bool OnSystemClose();
  void OnCompletionCloseButton();
  void OnMinimizeButton();

  // Status page.
  // The status line of an install step; empty for a value that names none.
  static std::wstring StatusStepText(InstallStep step);
  void OnInstallStep(InstallStep step);
  void OnDownloadProgress(const std::wstring& text);
  void OnInstallDone(uintptr_t detail, intptr_t result);
  // Routes the install worker's messages (WM_INSTALL_STEP, WM_DOWNLOAD_PROGRESS
  // with lParam pointing at the null-terminated text, WM_INSTALL_DONE).
  intptr_t OnStatusMessage(uint32_t message, uintptr_t wParam, intptr_t lParam);
  const std::wstring& StatusLine() const { return statusLine_; }

  // Completion page.
  void OnFinishButton();
  void OnContinueButton();
  void OnHelpLink();
  void OnDownloadLink();
  void OnProcedureLink();
  CompletionLayout CurrentCompletion() const;

  // Notices page.
  void LoadNotices();
  const std::vector<NoticeRow>& NoticeRows() const { return noticeRows_; }
  const std::vector<NotificationItem>& NoticeItems() const { return noticeItems_; }
  void ConfirmNotices();
  // A run without windows: the notices, whose titles are in the log, count as
  // read, and the installation step follows as after the confirm button.
  void AcceptNoticesUnattended();
  // Opens the notice of the row (or of none: -1); one per mouse press.
  void OpenSelectedNotice(int32_t row);
  // The left button is up: the next press may open a notice again.
  void ReleaseOpenLatch() { openLatch_ = false; }

 private:
  bool StartInstallThread();
  void ShowStepPageEnter(int32_t step);
  ScreenState BuildScreen() const;
  int AskToClose(BoxOwner owner, uint32_t extraType);
  // A box of the wizard; in an unattended run answered unshown, as a silent run answers it.
  int Box(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type);
  // In an unattended run: confirms the notices page, closes the completion page.
  void ContinueUnattended();
  void RefuseCloseDuringInstall(BoxOwner owner);

  const LaunchSettings& settings_;
  const WorkingPaths& paths_;
  RunResult& result_;
  const bool skipNotices_;
  const bool unattended_;
  bool closedUnattended_ = false;
  int32_t startPage_;
  WizardView& view_;
  InstallStarter starter_;
  // A close request's box is open: a second request is ignored, and a
  // finished installation closes the box before the window.
  bool closeLatch_ = false;
  std::wstring messageCaption_;
  bool installInProgress_ = false;
  bool completionInFrame_ = false;  // the completion step was entered inside the frame
  std::vector<NotificationItem> noticeItems_;
  bool initialised_ = false;
  bool pagesCreated_ = false;  // the pages have run their own initialisation
  int32_t mainMode_ = kModeFrame;
  int32_t shownStep_ = kNoStepYet;
  bool checksDone_ = false;
  bool startFailed_ = false;
  std::wstring statusLine_;
  std::vector<NoticeRow> noticeRows_;
  bool openLatch_ = false;
};

// Opens a vendor page or a notice in the browser: the shell's "open", in the
// user's own context (platform::ShellOpen). On failure the
// address is logged and shown to the user so that it can be typed in. Only
// http:// and https:// addresses (the scheme in any case) go to the shell;
// anything else is refused with a log entry and the same box.
bool OpenInBrowser(const std::wstring& url, WizardView& view, BoxOwner owner);
