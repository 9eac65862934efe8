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
  const FontSpec font = ChooseUiFont();
  PlaceBackgroundAndIcon();
  // Every part is set up even when one before it failed.
  bool ok = SetupHeadline(font);
  ok = SetupBody(font) && ok;
  ok = SetupDownloadLinks(font) && ok;
  ok = SetupHelpLink(font) && ok;
  ok = SetupFinishButton() && ok;
  ok = SetupContinueButton() && ok;
  ok = SetupTitleButtons() && ok;
  ::RedrawWindow(Hwnd(), nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN);
  return ok;
}

void CCompPPG::PlaceBackgroundAndIcon() {
  if (layout_.inFrame && background_.ImageId() != layout_.background) LoadBackground(layout_.background);
  HWND icon = Item(IDC_COMP_PICTURE);
  if (!icon) return;
  if (!icon_) {
    icon_.Reset(LoadResultIcon());
    ::SendMessageW(icon, STM_SETICON, reinterpret_cast<WPARAM>(icon_.get()), 0);
  }
  MoveControl(icon, layout_.iconX, layout_.iconY);
}

// On the title band: the page's own title, or the error screen's headline.
bool CCompPPG::SetupHeadline(const FontSpec& font) {
  const bool ok = layout_.headlineIsPageTitle
                      ? SetupPageTitleLabel(&headline_, font, layout_.headline)
                      : SetupTitleLabel(&headline_, font, layout_.headline, layout_.headlineX, layout_.headlineY);
  headline_.SetBackgroundColour(TITLE_BACKGROUND_COLOUR);
  headline_.SetBold(true);
  return ok;
}

bool CCompPPG::SetupBody(const FontSpec& font) {
  const PixelRect& b = layout_.bodyRect;
  return SetupBodyLabel(&body_, font, layout_.body, b.x, b.y, b.width, b.height);
}

bool CCompPPG::SetupDownloadLinks(const FontSpec& font) {
  bool ok = true;
  CCstmStatic* links[2] = {&downloadLink_, &procedureLink_};
  const PixelRect* linkRects[2] = {&layout_.downloadLinkRect, &layout_.procedureLinkRect};
  const wchar_t* linkCaptions[2] = {kDownloadLinkCaption, kProcedureLinkCaption};
  for (int i = 0; i < 2; ++i) {
    const PixelRect& r = *linkRects[i];
    ok = SetupBodyLabel(links[i], font, linkCaptions[i], r.x, r.y, r.width, r.height) && ok;
    if (!links[i]->Hwnd()) continue;
    if (layout_.downloadLinksShown) {
      ::ShowWindow(links[i]->Hwnd(), SW_SHOW);
      links[i]->SetTextColour(LINK_COLOUR);
      links[i]->SetUnderline(true);
      links[i]->SetUseHandCursor(links[i]->LoadHandCursor());
    } else {
      ::ShowWindow(links[i]->Hwnd(), SW_HIDE);
    }
  }
  return ok;
}

// Right-aligned at its edge, growing to the left as its caption is wide.
bool CCompPPG::SetupHelpLink(const FontSpec& font) {
  HWND linkFrame = Item(IDC_COMP_LINK_FRAME);
  if (!helpLink_.Hwnd()) return true;
  if (!layout_.helpLinkShown) {
    ::ShowWindow(helpLink_.Hwnd(), SW_HIDE);
    ::EnableWindow(helpLink_.Hwnd(), FALSE);
    if (linkFrame) ::ShowWindow(linkFrame, SW_HIDE);
    return true;
  }
  helpLink_.SetBold(true);
  const PixelRect& a = layout_.helpLinkArea;
  const bool ok = SetupBodyLabel(&helpLink_, font, layout_.helpLinkCaption, a.x, a.y, a.width, a.height, 10);
  const int width = HelpLinkTextWidth();
  const int x = layout_.helpLinkRightEdge - width;
  MoveSizeControl(helpLink_.Hwnd(), x, a.y, width, a.height);
  // The focus frame rings the link, one pixel outside it, so that the
  // link's own painting never covers it.
  if (linkFrame) MoveSizeControl(linkFrame, x - 1, a.y - 1, width + 2, a.height + 2);
  helpLink_.SetBold(false);
  helpLink_.SetTextColour(LINK_COLOUR);
  helpLink_.SetUnderline(true);
  helpLink_.SetUseHandCursor(helpLink_.LoadHandCursor());
  helpLink_.MakeLink(linkFrame);
  if (linkFrame) ::ShowWindow(linkFrame, ::GetFocus() == helpLink_.Hwnd() ? SW_SHOW : SW_HIDE);
  ::ShowWindow(helpLink_.Hwnd(), SW_SHOW);
  ::EnableWindow(helpLink_.Hwnd(), TRUE);
  return ok;
}

// The width of the help link's caption in the font it was given, while still bold.
int CCompPPG::HelpLinkTextWidth() {
  SIZE text{};
  const WindowDc dc(helpLink_.Hwnd());
  HGDIOBJ old = ::SelectObject(dc.get(), helpLink_.Font());
  ::GetTextExtentPoint32W(dc.get(), layout_.helpLinkCaption.c_str(),
                          static_cast<int>(layout_.helpLinkCaption.size()), &text);
  ::SelectObject(dc.get(), old);
  return text.cx;
}

// "Finish" or "exit": shown always, and focused unless "continue" is.
bool CCompPPG::SetupFinishButton() {
  const bool ok = SetupButton(&finishButton_, layout_.finish, WM_PAGEBTN_SETFOCUS, WM_PAGEBTN_KILLFOCUS,
                              WM_PAGEBTN_HOVER, WM_PAGEBTN_LEAVE);
  if (finishButton_.Hwnd()) ShowAndFocus(finishButton_.Hwnd());
  return ok;
}

// Continue the installation: result 13 only.
bool CCompPPG::SetupContinueButton() {
  if (!continueButton_.Hwnd()) return true;
  if (!layout_.resume.shown) {
    ::ShowWindow(continueButton_.Hwnd(), SW_HIDE);
    ::EnableWindow(continueButton_.Hwnd(), FALSE);
    return true;
  }
  const bool ok = SetupButton(&continueButton_, layout_.resume, WM_PAGEBTN_SETFOCUS, WM_PAGEBTN_KILLFOCUS,
                              WM_PAGEBTN_HOVER, WM_PAGEBTN_LEAVE);
  ShowAndFocus(continueButton_.Hwnd());
  return ok;
}

// The button set up last is the one that keeps the focus.
void CCompPPG::ShowAndFocus(HWND button) {
  ::ShowWindow(button, SW_SHOW);
  ::EnableWindow(button, TRUE);
  focusTarget_ = button;
  ::SetFocus(button);
}

// Minimize and close; inside the frame the frame's own serve.
bool CCompPPG::SetupTitleButtons() {
  bool ok = SetupButton(&minimizeButton_, layout_.minimize, WM_TITLEBTN_SETFOCUS, WM_TITLEBTN_KILLFOCUS,
                        WM_TITLEBTN_HOVER, WM_TITLEBTN_LEAVE);
  ok = SetupButton(&closeButton_, layout_.close, WM_TITLEBTN_SETFOCUS, WM_TITLEBTN_KILLFOCUS, WM_TITLEBTN_HOVER,
                   WM_TITLEBTN_LEAVE) && ok;
  CCstmBitmapButton* titleButtons[2] = {&minimizeButton_, &closeButton_};
  const bool titleShown[2] = {layout_.minimize.shown, layout_.close.shown};
  for (int i = 0; i < 2; ++i) {
    if (!titleButtons[i]->Hwnd()) continue;
    ::ShowWindow(titleButtons[i]->Hwnd(), titleShown[i] ? SW_SHOW : SW_HIDE);
    ::EnableWindow(titleButtons[i]->Hwnd(), titleShown[i] ? TRUE : FALSE);
  }
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
