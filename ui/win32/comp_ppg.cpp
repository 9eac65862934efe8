#include "ui/win32/comp_ppg.h"

#include "base/debug_log.h"
#include "ui/frame_texts.h"
#include "ui/font_rule.h"
#include "ui/resource_ids.h"
#include "ui/ui_messages.h"
#include "ui/wizard_controller.h"
#include "ui/win32/control_styling.h"
#include "ui/win32/info_ppg.h"
#include "ui/win32/win_util.h"

CCompPPG::CCompPPG(CPageHost& host, bool inFrame) : CPageBase(IDD_COMPLETION, host), inFrame_(inFrame) {}

CCompPPG::~CCompPPG() {
  if (icon_) ::DestroyIcon(icon_);
}

BOOL CCompPPG::OnInitDialog() {
  LogPageSetup(WizardPage::Completion);
  if (!LoadBackground(IDB_PAGE_BACKGROUND)) Log().Error(kBackgroundSetupFailed);
  headline_.Attach(Hwnd(), IDC_COMP_HEADLINE);
  body_.Attach(Hwnd(), IDC_COMP_BODY);
  helpLink_.Attach(Hwnd(), IDC_COMP_HELP_LINK);
  downloadLink_.Attach(Hwnd(), IDC_COMP_DOWNLOAD_LINK);
  procedureLink_.Attach(Hwnd(), IDC_COMP_PROCEDURE_LINK);
  finishButton_.SubclassDlgItem(Hwnd(), IDC_COMP_FINISH);
  continueButton_.SubclassDlgItem(Hwnd(), IDC_COMP_CONTINUE);
  minimizeButton_.SubclassDlgItem(Hwnd(), IDC_COMP_MINIMIZE);
  closeButton_.SubclassDlgItem(Hwnd(), IDC_COMP_CLOSE);
  if (!BuildPage(host_.CompletionLayoutFor(inFrame_))) {
    Log().Error(kControlSetupFailed);
  }
  initialised_ = true;
  return FALSE;
}

bool CCompPPG::SetupButton(CCstmBitmapButton* button, const ButtonLayout& layout, UINT msgSetFocus,
                           UINT msgKillFocus, UINT msgHover, UINT msgLeave) {
  const ButtonImages& i = layout.images;
  return SetupImageButton(button, layout.x, layout.y, layout.caption, i.normal, i.pressed, i.focus, i.hover,
                          i.hoverFocus, i.disabled, msgSetFocus, msgKillFocus, msgHover, msgLeave, false,
                          IDC_HAND_LINK);
}

bool CCompPPG::BuildPage(const CompletionLayout& layout) {
  layout_ = layout;
  bool ok = true;
  const FontSpec font = ChooseUiFont();

  // 1. Background and icon.
  if (layout.inFrame && background_.ImageId() != layout.background) LoadBackground(layout.background);
  HWND icon = Item(IDC_COMP_PICTURE);
  if (icon) {
    if (!icon_) {
      icon_ = LoadResultIcon();
      ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(icon_), 0);
    }
    MoveControl(icon, layout.iconX, layout.iconY);
  }

  // 2. Headline on the title band.
  if (layout.headlineIsPageTitle) {
    ok = SetupPageTitleLabel(&headline_, font, layout.headline) && ok;
  } else {
    ok = SetupTitleLabel(&headline_, font, layout.headline, layout.headlineX, layout.headlineY) && ok;
  }
  headline_.SetBackgroundColour(TITLE_BACKGROUND_COLOUR);
  headline_.SetBold(true);

  // 3. Body.
  const PixelRect& b = layout.bodyRect;
  ok = SetupBodyLabel(&body_, font, layout.body, b.x, b.y, b.width, b.height) && ok;

  // 4. The download and procedure links.
  CCstmStatic* links[2] = {&downloadLink_, &procedureLink_};
  const PixelRect* linkRects[2] = {&layout.downloadLinkRect, &layout.procedureLinkRect};
  const wchar_t* linkCaptions[2] = {kDownloadLinkCaption, kProcedureLinkCaption};
  for (int i = 0; i < 2; ++i) {
    const PixelRect& r = *linkRects[i];
    ok = SetupBodyLabel(links[i], font, linkCaptions[i], r.x, r.y, r.width, r.height) && ok;
    if (!links[i]->Hwnd()) continue;
    if (layout.downloadLinksShown) {
      ::ShowWindow(links[i]->Hwnd(), SW_SHOW);
      links[i]->SetTextColour(LINK_COLOUR);
      links[i]->SetUnderline(true);
      links[i]->SetUseHandCursor(links[i]->LoadHandCursor());
    } else {
      ::ShowWindow(links[i]->Hwnd(), SW_HIDE);
    }
  }

  // 5. The help link, right-aligned at its edge, growing to the left.
  HWND linkFrame = Item(IDC_COMP_LINK_FRAME);
  if (helpLink_.Hwnd()) {
    if (!layout.helpLinkShown) {
      ::ShowWindow(helpLink_.Hwnd(), SW_HIDE);
      ::EnableWindow(helpLink_.Hwnd(), FALSE);
      if (linkFrame) ::ShowWindow(linkFrame, SW_HIDE);
    } else {
      helpLink_.SetBold(true);
      const PixelRect& a = layout.helpLinkArea;
      ok = SetupBodyLabel(&helpLink_, font, layout.helpLinkCaption, a.x, a.y, a.width, a.height, 10) && ok;
      SIZE text{};
      HDC dc = ::GetDC(helpLink_.Hwnd());
      HGDIOBJ old = ::SelectObject(dc, helpLink_.Font());
      ::GetTextExtentPoint32W(dc, layout.helpLinkCaption.c_str(), static_cast<int>(layout.helpLinkCaption.size()),
                              &text);
      ::SelectObject(dc, old);
      ::ReleaseDC(helpLink_.Hwnd(), dc);
      const int x = layout.helpLinkRightEdge - text.cx;
      MoveSizeControl(helpLink_.Hwnd(), x, a.y, text.cx, a.height);
      // The focus frame rings the link, one pixel outside it, so that the
      // link's own painting never covers it.
      if (linkFrame) MoveSizeControl(linkFrame, x - 1, a.y - 1, text.cx + 2, a.height + 2);
      helpLink_.SetBold(false);
      helpLink_.SetTextColour(LINK_COLOUR);
      helpLink_.SetUnderline(true);
      helpLink_.SetUseHandCursor(helpLink_.LoadHandCursor());
      helpLink_.MakeLink(linkFrame);
      if (linkFrame) ::ShowWindow(linkFrame, ::GetFocus() == helpLink_.Hwnd() ? SW_SHOW : SW_HIDE);
      ::ShowWindow(helpLink_.Hwnd(), SW_SHOW);
      ::EnableWindow(helpLink_.Hwnd(), TRUE);
    }
  }

  // 6. Finish or exit.
  ok = SetupButton(&finishButton_, layout.finish, WM_PAGEBTN_SETFOCUS, WM_PAGEBTN_KILLFOCUS, WM_PAGEBTN_HOVER,
                   WM_PAGEBTN_LEAVE) && ok;
  if (finishButton_.Hwnd()) {
    ::ShowWindow(finishButton_.Hwnd(), SW_SHOW);
    ::EnableWindow(finishButton_.Hwnd(), TRUE);
    focusTarget_ = finishButton_.Hwnd();
    ::SetFocus(focusTarget_);
  }

  // 7. Continue the installation (result 13 only).
  if (continueButton_.Hwnd()) {
    if (layout.resume.shown) {
      ok = SetupButton(&continueButton_, layout.resume, WM_PAGEBTN_SETFOCUS, WM_PAGEBTN_KILLFOCUS, WM_PAGEBTN_HOVER,
                       WM_PAGEBTN_LEAVE) && ok;
      ::ShowWindow(continueButton_.Hwnd(), SW_SHOW);
      ::EnableWindow(continueButton_.Hwnd(), TRUE);
      focusTarget_ = continueButton_.Hwnd();
      ::SetFocus(focusTarget_);
    } else {
      ::ShowWindow(continueButton_.Hwnd(), SW_HIDE);
      ::EnableWindow(continueButton_.Hwnd(), FALSE);
    }
  }

  // 8. Title-bar buttons; inside the frame the frame's own serve.
  ok = SetupButton(&minimizeButton_, layout.minimize, WM_TITLEBTN_SETFOCUS, WM_TITLEBTN_KILLFOCUS,
                   WM_TITLEBTN_HOVER, WM_TITLEBTN_LEAVE) && ok;
  ok = SetupButton(&closeButton_, layout.close, WM_TITLEBTN_SETFOCUS, WM_TITLEBTN_KILLFOCUS, WM_TITLEBTN_HOVER,
                   WM_TITLEBTN_LEAVE) && ok;
  CCstmBitmapButton* titleButtons[2] = {&minimizeButton_, &closeButton_};
  const bool titleShown[2] = {layout.minimize.shown, layout.close.shown};
  for (int i = 0; i < 2; ++i) {
    if (!titleButtons[i]->Hwnd()) continue;
    ::ShowWindow(titleButtons[i]->Hwnd(), titleShown[i] ? SW_SHOW : SW_HIDE);
    ::EnableWindow(titleButtons[i]->Hwnd(), titleShown[i] ? TRUE : FALSE);
  }
  ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return ok;
}

void CCompPPG::OnFocusNotification() {
  if (focusDone_ || !host_.Controller().Initialised()) return;
  focusDone_ = true;
  focusTarget_ = layout_.resume.shown && continueButton_.Hwnd() ? continueButton_.Hwnd() : finishButton_.Hwnd();
  if (focusTarget_) ::SetFocus(focusTarget_);
}

void CCompPPG::Click(int id) {
  WizardController& controller = host_.Controller();
  switch (id) {
    case IDC_COMP_CLOSE:
      controller.OnCompletionCloseButton();
      break;
    case IDC_COMP_MINIMIZE:
      controller.OnMinimizeButton();
      break;
    case IDC_COMP_FINISH:
      controller.OnFinishButton();
      break;
    case IDC_COMP_CONTINUE:
      if (layout_.resume.shown) controller.OnContinueButton();
      break;
    case IDC_COMP_HELP_LINK:
      if (layout_.helpLinkShown) controller.OnHelpLink();
      break;
    case IDC_COMP_DOWNLOAD_LINK:
      if (layout_.downloadLinksShown) controller.OnDownloadLink();
      break;
    case IDC_COMP_PROCEDURE_LINK:
      if (layout_.downloadLinksShown) controller.OnProcedureLink();
      break;
    default:
      break;
  }
}

bool CCompPPG::HandleMessage(UINT message, WPARAM wParam, LPARAM lParam, INT_PTR* result) {
  if (message == WM_COMMAND && HIWORD(wParam) == BN_CLICKED) {  // also STN_CLICKED of the links
    const int id = LOWORD(wParam);
    switch (id) {
      case IDC_COMP_CLOSE:
      case IDC_COMP_MINIMIZE:
      case IDC_COMP_FINISH:
      case IDC_COMP_CONTINUE:
      case IDC_COMP_HELP_LINK:
      case IDC_COMP_DOWNLOAD_LINK:
      case IDC_COMP_PROCEDURE_LINK:
        Click(id);
        *result = TRUE;
        return true;
      default:
        break;
    }
  }
  if (message == WM_TITLEBTN_SETFOCUS || message == WM_PAGEBTN_SETFOCUS) {
    OnFocusNotification();
    *result = TRUE;
    return true;
  }
  if (message == WM_TITLEBTN_KILLFOCUS || message == WM_PAGEBTN_KILLFOCUS || message == WM_TITLEBTN_HOVER ||
      message == WM_TITLEBTN_LEAVE || message == WM_PAGEBTN_HOVER || message == WM_PAGEBTN_LEAVE) {
    *result = TRUE;
    return true;
  }
  return CPageBase::HandleMessage(message, wParam, lParam, result);
}

bool CCompPPG::PreTranslateMessage(MSG* message) {
  const UINT key = KeyDownCode(message);
  if (key == VK_ESCAPE) return true;
  if (key == VK_RETURN || key == VK_SPACE) {
    HWND focus = ::GetFocus();
    if (key == VK_SPACE) {
      if (focus && focus == helpLink_.Hwnd()) Click(IDC_COMP_HELP_LINK);
      return true;
    }
    const struct {
      HWND window;
      int id;
    } targets[] = {{closeButton_.Hwnd(), IDC_COMP_CLOSE},
                   {minimizeButton_.Hwnd(), IDC_COMP_MINIMIZE},
                   {helpLink_.Hwnd(), IDC_COMP_HELP_LINK},
                   {continueButton_.Hwnd(), IDC_COMP_CONTINUE},
                   {finishButton_.Hwnd(), IDC_COMP_FINISH}};
    for (const auto& target : targets) {
      if (focus && focus == target.window) {
        Click(target.id);
        break;
      }
    }
    return true;
  }
  return false;
}
