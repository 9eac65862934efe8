#pragma once
#include <windows.h>

#include <memory>
#include <string>

#include "ui/wizard_controller.h"
#include "ui/win32/dialog_base.h"
#include "ui/win32/page_base.h"
#include "ui/win32/page_host.h"

class CFramePPG;
class CCompPPG;

// The wizard's borderless main window: the frame screen or the error screen,
// painted from a bitmap and dragged by any point. It is the view of the
// wizard's decisions (WizardController) and forwards events to them, and the
// host its pages ask for what they need.
class CMainDlg : public CDialogBase, public WizardView, public CPageHost {
 public:
  CMainDlg(const WizardRun& run, WizardController::InstallStarter starter);
  ~CMainDlg() override;

  bool Initialised() const { return controller_.Initialised(); }
  int32_t MainMode() const { return mainMode_; }
  CFramePPG* Frame() { return frame_.get(); }
  CCompPPG* ErrorPage() { return errorPage_.get(); }
  const CBackground& Background() const { return background_; }

  // CPageHost; a press on the main window itself starts a drag too.
  WizardController& Controller() override { return controller_; }
  void BeginDrag(HWND from, POINT point) override;
  HWND FrameMinimizeButton() override;
  CompletionLayout CompletionLayoutFor(bool inFrame) const override;
  const NotificationItem* NoticeItem(size_t item) const override;

  // WizardView.
  void CreatePages() override;
  bool ApplyScreen(const ScreenState& screen) override;
  void SetStatusLine(const std::wstring& text) override;
  int ShowBox(BoxOwner owner, const std::wstring& text, const std::wstring& caption, uint32_t type) override;
  void CloseMainWindow() override;
  bool CloseWindowTitled(const std::wstring& title) override;
  bool Minimize() override;
  void SetTopmost(bool topmost) override;
  MessageSink* StatusSink() override;
  int32_t ScreenWidth() const override;
  int32_t ScreenHeight() const override;

  HWND OwnerWindow(BoxOwner owner);

 protected:
  BOOL OnInitDialog() override;
  bool HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) override;
  bool PreTranslateMessage(MSG* message) override;

 private:
  const WizardRun run_;
  CBackground background_;
  std::unique_ptr<CFramePPG> frame_;
  int32_t mainMode_ = kModeFrame;
  bool dragging_ = false;
  POINT dragOrigin_{0, 0};
  std::unique_ptr<CCompPPG> errorPage_;
  bool windowsCreated_ = false;
  WizardController controller_;
};

// Ends an open message box of this process: the close message first, then
// the answer of its most cautious button (No, else Cancel, else OK), since a
// Yes/No box ignores the close message. True when a window with that title
// was found.
bool CloseProcessWindowTitled(const std::wstring& title, HWND except);
