#include "ui/win32/status_ppg.h"

#include <commctrl.h>

#include "base/debug_log.h"
#include "base/error_box.h"
#include "base/window_messages.h"
#include "ui/frame_texts.h"
#include "ui/font_rule.h"
#include "ui/resource_ids.h"
#include "ui/ui_messages.h"
#include "ui/wizard_controller.h"
#include "ui/win32/control_styling.h"
#include "ui/win32/info_ppg.h"
#include "ui/win32/win_util.h"

namespace {
const wchar_t kErrorCaption[] = L"エラー";
}  // namespace

CStatusPPG::CStatusPPG(CPageHost& host) : CPageBase(IDD_STATUS, host) {}

BOOL CStatusPPG::OnInitDialog() {
  LogPageSetup(WizardPage::Status);
  target_.store(Hwnd());
  title_.Attach(Hwnd(), IDC_STATUS_TITLE);
  statusLine_.Attach(Hwnd(), IDC_STATUS_LINE);
  if (!LoadBackground(IDB_PAGE_INNER)) {
    Log().Error(kBackgroundSetupFailed);
    ShowErrorBox(nullptr, kErrorCaption, kBackgroundSetupFailed);
    return FALSE;
  }
  if (!PrepareStatusControls()) {
    Log().Error(kControlSetupFailed);
    ShowErrorBox(nullptr, kErrorCaption, kControlSetupFailed);
    return FALSE;
  }
  ::SendMessageW(Item(IDC_STATUS_PROGRESS), PBM_SETMARQUEE, TRUE, 100);
  return FALSE;
}

bool CStatusPPG::PrepareStatusControls() {
  const FontSpec font = ChooseUiFont();
  HWND picture = Item(IDC_STATUS_PICTURE);
  if (!picture) return false;
  if (!icon_) {
    icon_.Reset(LoadResultIcon());
    ::SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
  }
  MoveControl(picture, 4, 10);
  if (!SetupPageTitleLabel(&title_, font, FramePageTexts().statusTitle)) return false;
  title_.SetBackgroundColour(TITLE_BACKGROUND_COLOUR);
  title_.SetBold(true);
  title_.Redraw();
  // The line keeps what the installation reported when the page is shown again.
  std::wstring line = host_.Controller().StatusLine();
  if (line.empty()) line = L"ダウンロードサーバーの確認を行っています...";
  if (!SetupBodyLabel(&statusLine_, font, line, 12, 50, 554, 20)) return false;
  HWND progress = Item(IDC_STATUS_PROGRESS);
  if (!progress) return false;
  MoveSizeControl(progress, 12, 94, 500, 30);
  ::SendMessageW(progress, PBM_SETRANGE32, 0, 100);
  ::SendMessageW(progress, PBM_SETSTEP, 1, 0);
  if (HWND minimize = host_.FrameMinimizeButton()) ::SetFocus(minimize);
  return true;
}

void CStatusPPG::SetStatusLine(const std::wstring& text) {
  if (statusLine_.Hwnd()) ::SetWindowTextW(statusLine_.Hwnd(), text.c_str());
}

std::wstring CStatusPPG::StatusLine() const { return statusLine_.Hwnd() ? WindowText(statusLine_.Hwnd()) : L""; }

intptr_t CStatusPPG::Send(uint32_t message, uintptr_t wParam, intptr_t lParam) {
  HWND target = target_.load();
  if (!target) return 0;
  return static_cast<intptr_t>(::SendMessageW(target, message, wParam, lParam));
}

void CStatusPPG::OnDestroyWindow() {
  target_.store(nullptr);
  icon_.Reset();
}

bool CStatusPPG::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_INSTALL_STEP || message == WM_INSTALL_DONE || message == WM_DOWNLOAD_PROGRESS) {
    const intptr_t value = host_.Controller().OnStatusMessage(message, wParam, lParam);
    *result = SetMessageResult(value);
    return true;
  }
  return CPageBase::HandleMessage(message, wParam, lParam, result);
}

bool CStatusPPG::PreTranslateMessage(MSG* message) {
  const UINT key = KeyDownCode(message);
  return key == VK_RETURN || key == VK_ESCAPE;
}
