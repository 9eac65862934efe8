#include "ui/win32/frame_ppg.h"

#include <utility>

#include "base/debug_log.h"
#include "base/error_box.h"
#include "ui/frame_texts.h"
#include "ui/resource_ids.h"
#include "ui/ui_messages.h"
#include "ui/win32/comp_ppg.h"
#include "ui/win32/control_styling.h"
#include "ui/win32/info_ppg.h"
#include "ui/win32/resource.h"
#include "ui/win32/status_ppg.h"
#include "ui/win32/win_util.h"

namespace {
const wchar_t kErrorCaption[] = L"エラー";
// The step pages stand right of the step column.
constexpr int kPageX = 150, kPageY = 40, kPageWidth = 590, kPageHeight = 330;
}  // namespace

CFramePPG::CFramePPG(CPageHost& host)
    : CPageBase(IDD_FRAME, host),
      pictures_{{IDC_FRAME_STEP_NOTICES, {}, 0}, {IDC_FRAME_CONNECTOR1, {}, 0}, {IDC_FRAME_STEP_INSTALL, {}, 0},
                {IDC_FRAME_CONNECTOR2, {}, 0},    {IDC_FRAME_STEP_DONE, {}, 0},   {IDC_FRAME_SEPARATOR, {}, 0}} {}

CFramePPG::~CFramePPG() {
  completionPage_.reset();
  statusPage_.reset();
  noticesPage_.reset();
}

BOOL CFramePPG::OnInitDialog() {
  if (!LoadBackground(IDB_PAGE_BACKGROUND)) {
    Log().Error(kBackgroundSetupFailed);
    ShowErrorBox(nullptr, kErrorCaption, kBackgroundSetupFailed);
  }
  // The pages are made even without the background, so that the wizard stays usable.
  if (!InitControls()) {
    Log().Error(kControlSetupFailed);
    ShowErrorBox(nullptr, kErrorCaption, kControlSetupFailed);
  }
  return FALSE;
}

bool CFramePPG::InitControls() {
  bool ok = minimizeButton_.SubclassDlgItem(Hwnd(), IDC_FRAME_MINIMIZE) &&
            closeButton_.SubclassDlgItem(Hwnd(), IDC_FRAME_CLOSE);
  ok = ok && SetupImageButton(&minimizeButton_, 685, 10, FramePageTexts().minimizeCaption, IDB_MIN_NORMAL, IDB_MIN_PRESSED,
                              IDB_MIN_FOCUS, IDB_MIN_HOVER, IDB_MIN_HOVER_FOCUS, IDB_MIN_DISABLED,
                              WM_TITLEBTN_SETFOCUS, WM_TITLEBTN_KILLFOCUS, WM_TITLEBTN_HOVER, WM_TITLEBTN_LEAVE,
                              false, IDC_HAND_LINK);
  ok = ok && SetupImageButton(&closeButton_, 715, 10, FramePageTexts().closeCaption, IDB_CLOSE_NORMAL, IDB_CLOSE_PRESSED,
                              IDB_CLOSE_FOCUS, IDB_CLOSE_HOVER, IDB_CLOSE_HOVER_FOCUS, IDB_CLOSE_DISABLED,
                              WM_TITLEBTN_SETFOCUS, WM_TITLEBTN_KILLFOCUS, WM_TITLEBTN_HOVER, WM_TITLEBTN_LEAVE,
                              false, IDC_HAND_LINK);
  // The column as it stands before the first step is known.
  const StepColumn column = BuildStepColumn(kStepNotices, false);
  const PicturePlacement* placements[6] = {&column.notices,    &column.connector1, &column.install,
                                           &column.connector2, &column.completion, &column.separator};
  for (int i = 0; i < 6; ++i) {
    if (!Item(pictures_[i].control)) ok = false;
    PlacePicture(pictures_[i].control, *placements[i]);
    if (!pictures_[i].bitmap) ok = false;
  }
  noticesPage_ = std::make_unique<CInfoPPG>(host_);
  statusPage_ = std::make_unique<CStatusPPG>(host_);
  completionPage_ = std::make_unique<CCompPPG>(host_, true);
  ok = noticesPage_->CreatePage(Hwnd(), kPageX, kPageY, kPageWidth, kPageHeight) && ok;
  ok = statusPage_->CreatePage(Hwnd(), kPageX, kPageY, kPageWidth, kPageHeight) && ok;
  ok = completionPage_->CreatePage(Hwnd(), kPageX, kPageY, kPageWidth, kPageHeight) && ok;
  return ok;
}

void CFramePPG::PlacePicture(int control, const PicturePlacement& placement) {
  HWND window = Item(control);
  if (!window) return;
  for (Picture& picture : pictures_) {
    if (picture.control != control) continue;
    if (picture.image != placement.image || !picture.bitmap) {
      UniqueBitmap bitmap(LoadResourceBitmap(placement.image));
      if (bitmap) {
        HBITMAP previous = reinterpret_cast<HBITMAP>(
            ::SendMessageW(window, STM_SETIMAGE, IMAGE_BITMAP, reinterpret_cast<LPARAM>(bitmap.get())));
        // A picture that was not the one we gave it is the control's own copy, ours to free.
        if (previous && previous != picture.bitmap.get()) UniqueBitmap(previous).Reset();
        picture.bitmap = std::move(bitmap);
        picture.image = placement.image;
      }
    }
    if (picture.bitmap) {
      BITMAP info{};
      ::GetObjectW(picture.bitmap.get(), sizeof(info), &info);
      MoveSizeControl(window, placement.x, placement.y, info.bmWidth, info.bmHeight);
    } else {
      MoveControl(window, placement.x, placement.y);
    }
    ::ShowWindow(window, placement.shown ? SW_SHOW : SW_HIDE);
  }
}

int CFramePPG::IndicatorImage(int control) const {
  for (const Picture& picture : pictures_) {
    if (picture.control != control) continue;
    HWND window = ::GetDlgItem(Hwnd(), control);
    if (!window || !::IsWindowVisible(window)) return 0;
    return picture.image;
  }
  return 0;
}

HWND CFramePPG::StepPageWindow(int32_t step) const {
  switch (step) {
    case kStepNotices:
      return noticesPage_ ? noticesPage_->Hwnd() : nullptr;
    case kStepInstall:
      return statusPage_ ? statusPage_->Hwnd() : nullptr;
    case kStepCompletion:
      return completionPage_ ? completionPage_->Hwnd() : nullptr;
    default:
      return nullptr;
  }
}

void CFramePPG::ShowStepPage(int32_t step, int showCommand, const ScreenState& screen) {
  switch (step) {
    case kStepNotices:
      if (!noticesPage_) return;
      noticesPage_->PrepareControls();
      ::ShowWindow(noticesPage_->Hwnd(), showCommand);
      break;
    case kStepInstall:
      if (!statusPage_) return;
      ::ShowWindow(statusPage_->Hwnd(), showCommand);
      statusPage_->PrepareStatusControls();
      break;
    case kStepCompletion:
      if (!completionPage_) return;
      if (showCommand != SW_HIDE) completionPage_->BuildPage(screen.completion);
      ::ShowWindow(completionPage_->Hwnd(), showCommand);
      break;
    default:
      break;
  }
}

void CFramePPG::ShowStep(const ScreenState& screen) {
  if (shownStep_ >= kStepNotices && shownStep_ <= kStepCompletion) ShowStepPage(shownStep_, SW_HIDE, screen);
  shownStep_ = screen.shownStep;
  const StepColumn& c = screen.column;
  PlacePicture(IDC_FRAME_STEP_NOTICES, c.notices);
  PlacePicture(IDC_FRAME_CONNECTOR1, c.connector1);
  PlacePicture(IDC_FRAME_STEP_INSTALL, c.install);
  PlacePicture(IDC_FRAME_CONNECTOR2, c.connector2);
  PlacePicture(IDC_FRAME_STEP_DONE, c.completion);
  PlacePicture(IDC_FRAME_SEPARATOR, c.separator);
  if (shownStep_ >= kStepNotices && shownStep_ <= kStepCompletion) ShowStepPage(shownStep_, SW_SHOW, screen);
  ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
}

bool CFramePPG::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_COMMAND:
      if (HIWORD(wParam) == BN_CLICKED) {
        if (LOWORD(wParam) == IDC_FRAME_CLOSE) {
          host_.Controller().OnFrameCloseButton();
          *result = TRUE;
          return true;
        }
        if (LOWORD(wParam) == IDC_FRAME_MINIMIZE) {
          host_.Controller().OnMinimizeButton();
          *result = TRUE;
          return true;
        }
      }
      break;
    default:
      if (message == WM_TITLEBTN_SETFOCUS || message == WM_TITLEBTN_KILLFOCUS) {
        if (shownStep_ == kStepNotices && noticesPage_ && noticesPage_->Hwnd()) {
          ::SendMessageW(noticesPage_->Hwnd(), message, wParam, lParam);
          // Once, after the wizard opened: the focus goes to the notices' confirm button.
          if (!firstFocusDone_ && host_.Controller().Initialised()) {
            firstFocusDone_ = true;
            if (HWND confirm = noticesPage_->ConfirmButton()) ::SetFocus(confirm);
          }
        }
        *result = TRUE;
        return true;
      }
      break;
  }
  return CPageBase::HandleMessage(message, wParam, lParam, result);
}

bool CFramePPG::PreTranslateMessage(MSG* message) {
  const UINT key = KeyDownCode(message);
  if (key == VK_ESCAPE) return true;
  if (key == VK_RETURN) {
    HWND focus = ::GetFocus();
    if (focus && focus == closeButton_.Hwnd()) {
      host_.Controller().OnFrameCloseButton();
    } else if (focus && focus == minimizeButton_.Hwnd()) {
      host_.Controller().OnMinimizeButton();
    }
    return true;
  }
  return false;
}
