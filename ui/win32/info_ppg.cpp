#include "ui/win32/info_ppg.h"

#include "base/debug_log.h"
#include "base/error_box.h"
#include "ui/frame_texts.h"
#include "ui/font_rule.h"
#include "ui/resource_ids.h"
#include "ui/ui_messages.h"
#include "ui/wizard_controller.h"
#include "ui/win32/control_styling.h"
#include "ui/win32/win_util.h"

namespace {
const wchar_t kErrorCaption[] = L"エラー";
// The result icon is drawn on the title band, left of the headline.
constexpr int kIconWidth = 20, kIconHeight = 32;
}  // namespace

HICON LoadResultIcon() {
  return static_cast<HICON>(
      ::LoadImageW(ResourceInstance(), MAKEINTRESOURCEW(IDB_RESULT_ICON), IMAGE_ICON, kIconWidth, kIconHeight, 0));
}

CInfoPPG::CInfoPPG(CPageHost& host) : CPageBase(IDD_NOTICES, host) {}

CInfoPPG::~CInfoPPG() {
  // The list lets go of its font before the font goes.
  if (list_.Hwnd()) ::SendMessageW(list_.Hwnd(), WM_SETFONT, 0, FALSE);
}

BOOL CInfoPPG::OnInitDialog() {
  LogPageSetup(WizardPage::Notices);
  title_.Attach(Hwnd(), IDC_NOTICES_TITLE);
  description_.Attach(Hwnd(), IDC_NOTICES_DESCRIPTION);
  warning_.Attach(Hwnd(), IDC_NOTICES_WARNING);
  instruction_.Attach(Hwnd(), IDC_NOTICES_INSTRUCTION);
  list_.Attach(Hwnd(), IDC_NOTICES_LIST);
  confirmButton_.SubclassDlgItem(Hwnd(), IDC_NOTICES_CONFIRM);
  if (!LoadBackground(IDB_PAGE_INNER)) {
    Log().Error(kBackgroundSetupFailed);
    ShowErrorBox(nullptr, kErrorCaption, kBackgroundSetupFailed);
  } else if (!PrepareControls()) {
    Log().Error(kControlSetupFailed);
    ShowErrorBox(nullptr, kErrorCaption, kControlSetupFailed);
  } else {
    WizardController& controller = host_.Controller();
    controller.LoadNotices();
    for (const NoticeRow& row : controller.NoticeRows()) {
      list_.AddItem(row.text, row.textColour, row.backgroundColour, host_.NoticeItem(row.item));
    }
  }
  if (confirmButton_.Hwnd()) ::SetFocus(confirmButton_.Hwnd());
  return FALSE;
}

bool CInfoPPG::PrepareControls() {
  const FontSpec font = ChooseUiFont();
  const FrameTexts& texts = FramePageTexts();
  bool ok = true;
  HWND picture = Item(IDC_NOTICES_PICTURE);
  if (picture) {
    if (!icon_) {
      icon_.Reset(LoadResultIcon());
      ::SendMessageW(picture, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
    }
    MoveControl(picture, 4, 10);
  } else {
    ok = false;
  }
  if (SetupPageTitleLabel(&title_, font, texts.noticesTitle)) {
    title_.SetBackgroundColour(TITLE_BACKGROUND_COLOUR);
    title_.SetBold(true);
    title_.Redraw();
  } else {
    ok = false;
  }
  ok = SetupBodyLabel(&description_, font, texts.noticesDescription, 12, 50, 566, 44) && ok;
  if (SetupBodyLabel(&warning_, font, texts.noticesWarning, 12, 94, 566, 22)) {
    warning_.SetTextColour(WARNING_COLOUR);
    warning_.Redraw();
  } else {
    ok = false;
  }
  ok = SetupBodyLabel(&instruction_, font, texts.noticesInstruction, 12, 116, 566, 44) && ok;
  if (list_.Hwnd()) {
    MoveSizeControl(list_.Hwnd(), 12, 162, 570, 120);
    if (!listFont_) {
      LOGFONTW lf{};
      lf.lfHeight = NoticeListFontHeight(GetOsCode());
      lf.lfWeight = FW_NORMAL;
      lf.lfCharSet = SHIFTJIS_CHARSET;
      lf.lfQuality = DRAFT_QUALITY;
      const std::wstring face = ChooseUiFaceName();
      wcsncpy(lf.lfFaceName, face.c_str(), LF_FACESIZE - 1);
      listFont_.Reset(::CreateFontIndirectW(&lf));
    }
    ::SendMessageW(list_.Hwnd(), WM_SETFONT, reinterpret_cast<WPARAM>(listFont_.get()), TRUE);
    list_.SetUseHandCursor(list_.LoadHandCursor());
  } else {
    ok = false;
  }
  ok = SetupImageButton(&confirmButton_, 375, 290, texts.confirmCaption, IDB_CONFIRM_NORMAL, IDB_CONFIRM_PRESSED,
                        IDB_CONFIRM_FOCUS, IDB_CONFIRM_HOVER, IDB_CONFIRM_HOVER_FOCUS, IDB_CONFIRM_PRESSED,
                        WM_PAGEBTN_SETFOCUS, WM_PAGEBTN_KILLFOCUS, WM_PAGEBTN_HOVER, WM_PAGEBTN_LEAVE, false,
                        IDC_HAND_LINK) && ok;
  if (confirmButton_.Hwnd()) ::SetFocus(confirmButton_.Hwnd());
  return ok;
}

void CInfoPPG::OpenSelectedNotice() {
  host_.Controller().OpenSelectedNotice(list_.Selection());
}

bool CInfoPPG::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  switch (message) {
    case WM_COMMAND:
      if (LOWORD(wParam) == IDC_NOTICES_CONFIRM && HIWORD(wParam) == BN_CLICKED) {
        host_.Controller().ConfirmNotices();
        *result = TRUE;
        return true;
      }
      break;
    case WM_CTLCOLORLISTBOX:
      if (reinterpret_cast<HWND>(lParam) == list_.Hwnd()) {
        HDC dc = reinterpret_cast<HDC>(wParam);
        ::SetTextColor(dc, LABEL_COLOUR);
        ::SetBkColor(dc, WHITE_COLOUR);
        *result = reinterpret_cast<INT_PTR>(::GetStockObject(WHITE_BRUSH));
        return true;
      }
      break;
    default:
      if (message == WM_TITLEBTN_SETFOCUS || message == WM_TITLEBTN_KILLFOCUS || message == WM_PAGEBTN_SETFOCUS ||
          message == WM_PAGEBTN_KILLFOCUS || message == WM_PAGEBTN_HOVER || message == WM_PAGEBTN_LEAVE) {
        *result = TRUE;
        return true;
      }
      break;
  }
  return CPageBase::HandleMessage(message, wParam, lParam, result);
}

bool CInfoPPG::PreTranslateMessage(MSG* message) {
  const UINT key = KeyDownCode(message);
  if (key == VK_RETURN || key == VK_ESCAPE || key == VK_SPACE) {
    HWND focus = ::GetFocus();
    const bool onList = focus && focus == list_.Hwnd();
    const bool onConfirm = focus && focus == confirmButton_.Hwnd();
    if (key == VK_ESCAPE) return true;
    if (onList) {
      OpenSelectedNotice();
    } else if (onConfirm) {
      host_.Controller().ConfirmNotices();
    }
    return true;
  }
  const bool leftHeld = message->message == WM_LBUTTONDOWN ||
                        (message->message == WM_MOUSEMOVE && (message->wParam & MK_LBUTTON));
  if (leftHeld && list_.Hwnd()) {
    RECT r{};
    ::GetWindowRect(list_.Hwnd(), &r);
    const POINT& p = message->pt;
    if (p.x > r.left && p.x < r.right && p.y > r.top && p.y < r.bottom) OpenSelectedNotice();
  }
  if (!(::GetKeyState(VK_LBUTTON) & 0x8000)) host_.Controller().ReleaseOpenLatch();
  return false;
}
